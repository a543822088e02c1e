#include "EmptyDataObject.h"

namespace ve {

EmptyDataObject::EmptyDataObject()
    : DataObject(QStringLiteral("@e"))
{ }

bool EmptyDataObject::isEmpty() const
{
    return true;
}

QVariant EmptyDataObject::get(const QVariant&) const
{
    return QVariant();
}

DataObject* EmptyDataObject::set(QObject*, const QString&, const QVariant&, bool)
{
    return this;
}

DataObject* EmptyDataObject::set(QObject*, const QVariant&)
{
    return this;
}

bool EmptyDataObject::insert(QObject*, const QString&, bool)
{
    return false;
}

bool EmptyDataObject::insert(QObject*, DataObject*, bool, int)
{
    return false;
}

DataObject* EmptyDataObject::append(QObject*, const QString&)
{
    return this;
}

bool EmptyDataObject::remove(QObject*, const QString&, bool)
{
    return false;
}

bool EmptyDataObject::remove(QObject*, DataObject*, bool)
{
    return false;
}

void EmptyDataObject::copyFrom(QObject*, DataObject*, bool, bool) { }

void EmptyDataObject::importFromJson(QObject*, const QJsonValue&, bool, bool, bool) { }

QJsonValue EmptyDataObject::exportToJson(bool) const
{
    return QJsonValue(QJsonValue::Null);
}

void EmptyDataObject::importFromXml(QObject*, QXmlStreamReader&, bool, bool, bool) { }

void EmptyDataObject::exportToXml(QXmlStreamWriter&, bool, bool) const { }

void EmptyDataObject::importFromBin(QObject*, const QByteArray&, bool, bool, bool) { }

QByteArray EmptyDataObject::exportToBin(bool) const
{
    return QByteArray();
}

} // namespace ve
