// The data tree's JSON, XML, variant and binary forms and its log dump.
#include "DataObject.h"

#include "DataManager.h"
#include "Logging.h"

#include <QDataStream>
#include <QJsonArray>
#include <QJsonObject>
#include <QMetaType>
#include <QPoint>
#include <QPointF>
#include <QSize>
#include <QSizeF>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <memory>
#include <vector>

namespace ve {

namespace {

// Value of an XML "value" attribute: QSize, QPoint and their float forms as
// "a,b"; anything QVariant turns into text as that text. Null when the value
// has no text form.
QString xmlValueText(const QVariant& value, bool* ok)
{
    *ok = true;
    switch (value.userType()) {
    case QMetaType::QSize: {
        const QSize s = value.toSize();
        return QStringLiteral("%1,%2").arg(s.width()).arg(s.height());
    }
    case QMetaType::QPoint: {
        const QPoint p = value.toPoint();
        return QStringLiteral("%1,%2").arg(p.x()).arg(p.y());
    }
    case QMetaType::QSizeF: {
        const QSizeF s = value.toSizeF();
        return QStringLiteral("%1,%2").arg(s.width(), 0, 'g', -1).arg(s.height(), 0, 'g', -1);
    }
    case QMetaType::QPointF: {
        const QPointF p = value.toPointF();
        return QStringLiteral("%1,%2").arg(p.x(), 0, 'g', -1).arg(p.y(), 0, 'g', -1);
    }
    default:
        break;
    }
    if (value.canConvert<QString>())
        return value.toString();
    *ok = false;
    return QString();
}

// The "a,b" form split at its first comma; a missing part is empty text.
QVariant xmlPairValue(int type, const QString& text, bool* ok)
{
    const int comma = text.indexOf(QLatin1Char(','));
    const QString a = comma < 0 ? text : text.left(comma);
    const QString b = comma < 0 ? QString() : text.mid(comma + 1);
    bool okA = false;
    bool okB = false;
    QVariant v;
    switch (type) {
    case QMetaType::QSize:
        v = QSize(a.toInt(&okA), b.toInt(&okB));
        break;
    case QMetaType::QPoint:
        v = QPoint(a.toInt(&okA), b.toInt(&okB));
        break;
    case QMetaType::QSizeF:
        v = QSizeF(a.toDouble(&okA), b.toDouble(&okB));
        break;
    default:
        v = QPointF(a.toDouble(&okA), b.toDouble(&okB));
        break;
    }
    *ok = okA && okB;
    return *ok ? v : QVariant(QVariant::Type(type));
}

bool isExcludedBinType(int type)
{
    return type == QMetaType::UnknownType || type == QMetaType::VoidStar || type == QMetaType::QObjectStar
        || type == QMetaType::Void || type == QMetaType::Nullptr;
}

} // namespace

// ---------------------------------------------------------------------- JSON

void DataObject::importFromJson(
    QObject* changer, const QJsonValue& value, bool add, bool overwrite, bool removeExtra)
{
    if (value.isArray()) {
        const QJsonArray array = value.toArray();
        if (removeExtra) {
            while (size() > array.size())
                remove(changer, last(), true);
        }
        if (add) {
            while (size() < array.size()) {
                if (append(changer, QString())->isEmpty())
                    break;
            }
        }
        const QList<DataObject*> children = cdobjs();
        const int n = qMin(children.size(), array.size());
        for (int i = 0; i < n; ++i)
            children.at(i)->importFromJson(changer, array.at(i), add, overwrite, removeExtra);
        finishImport(changer);
    } else if (value.isObject()) {
        const QJsonObject object = value.toObject();
        if (removeExtra) {
            for (DataObject* child : cdobjs()) {
                if (!object.contains(child->name()))
                    remove(changer, child, true);
            }
        }
        if (add) {
            for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
                if (rdobj(it.key())->isEmpty())
                    insert(changer, it.key(), overwrite);
            }
        }
        for (auto it = object.constBegin(); it != object.constEnd(); ++it)
            rdobj(it.key())->importFromJson(changer, it.value(), add, overwrite, removeExtra);
        finishImport(changer);
    } else {
        if (!overwrite)
            return;
        if (removeExtra) {
            for (DataObject* child : cdobjs())
                remove(changer, child, true);
        }
        // Every JSON number is a double in the tree, integral ones too (Qt
        // would hand integers out as qlonglong).
        set(changer, value.isDouble() ? QVariant(value.toDouble()) : value.toVariant());
    }
}

QJsonValue DataObject::exportToJson(bool skipHidden) const
{
    const QList<DataObject*> children = cdobjs();
    if (children.isEmpty())
        return QJsonValue::fromVariant(get(QVariant()));
    if (children.first()->isRelative()) {
        QJsonArray array;
        for (DataObject* child : children)
            array.append(child->exportToJson(skipHidden));
        return array;
    }
    QJsonObject object;
    for (DataObject* child : children) {
        if (skipHidden && isHiddenName(child->name()))
            continue;
        object.insert(child->name(), child->exportToJson(skipHidden));
    }
    return object;
}

// ----------------------------------------------------------------------- XML

void DataObject::exportToXml(QXmlStreamWriter& writer, bool isRoot, bool skipHidden) const
{
    if (isRoot)
        writer.writeStartElement(QStringLiteral("m"));
    else if (isRelative())
        writer.writeStartElement(QStringLiteral("l"));
    else {
        writer.writeStartElement(QStringLiteral("c"));
        writer.writeAttribute(QStringLiteral("name"), name());
    }
    const QVariant value = get(QVariant());
    if (!value.isNull()) {
        writer.writeAttribute(QStringLiteral("type"), QString::number(value.userType()));
        bool ok = false;
        const QString text = xmlValueText(value, &ok);
        if (ok)
            writer.writeAttribute(QStringLiteral("value"), text);
    }
    for (DataObject* child : cdobjs()) {
        if (skipHidden && isHiddenName(child->name()))
            continue;
        child->exportToXml(writer, false, skipHidden);
    }
    writer.writeEndElement();
}

void DataObject::importFromXml(
    QObject* changer, QXmlStreamReader& reader, bool add, bool overwrite, bool strict)
{
    // Iterative walk: a stack of the nodes entered, with the number of child
    // elements imported so far and the value waiting for each end element.
    struct Level
    {
        DataObject* node;
        int count;
        QVariant pending;
    };
    std::vector<Level> stack;
    stack.push_back({this, 0, QVariant()});
    while (!reader.atEnd() && !stack.empty()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QXmlStreamAttributes attributes = reader.attributes();
            QVariant var;
            if (attributes.hasAttribute(QStringLiteral("value"))) {
                const QString text = attributes.value(QStringLiteral("value")).toString();
                if (attributes.hasAttribute(QStringLiteral("type"))) {
                    const int type = attributes.value(QStringLiteral("type")).toInt();
                    bool ok = false;
                    if (type == QMetaType::QSize || type == QMetaType::QSizeF || type == QMetaType::QPoint
                        || type == QMetaType::QPointF) {
                        var = xmlPairValue(type, text, &ok);
                    } else {
                        var = text;
                        ok = var.convert(type);
                    }
                    if (!ok)
                        logWarning() << "<m><" << changer << "> cannot convert in xml: ("
                                     << reader.lineNumber() << ", " << reader.columnNumber() << ")";
                } else {
                    var = text;
                }
            }
            Level& current = stack.back();
            const QStringRef element = reader.name();
            QString childName;
            if (element == QLatin1String("m")) {
                if (overwrite) {
                    const bool wasQuiet = m_quiet;
                    m_quiet = true;
                    set(changer, var);
                    m_quiet = wasQuiet;
                }
                stack.front().pending = var;
                continue;
            } else if (element == QLatin1String("c")) {
                childName = attributes.value(QStringLiteral("name")).toString();
                if (childName.isEmpty()) {
                    logWarning() << "<m><" << changer << "> no name specified in xml: ("
                                 << reader.lineNumber() << ", " << reader.columnNumber() << ")";
                    reader.skipCurrentElement();
                    continue;
                }
            } else if (element == QLatin1String("l")) {
                childName = QLatin1Char('#') + QString::number(current.count);
            } else {
                childName = element.toString();
                if (strict) {
                    logWarning() << "<m><" << changer << "> non-standard xml element: \"" << childName
                                 << "\"";
                    reader.skipCurrentElement();
                    continue;
                }
            }
            DataObject* parent = current.node;
            if (!parent->hasCdobj(childName, false)) {
                if (!add) {
                    logWarning() << "<m><" << changer << "> importing xml element not exist: \"" << childName
                                 << "\"";
                    reader.skipCurrentElement();
                    continue;
                }
                if (!parent->insert(changer, childName, overwrite)) {
                    reader.skipCurrentElement();
                    continue;
                }
            }
            // A name with a separator was inserted as a nested path and is
            // not a direct child: nothing to descend into.
            DataObject* child = parent->cdobj(childName, false);
            if (child->isEmpty()) {
                reader.skipCurrentElement();
                continue;
            }
            ++current.count;
            stack.push_back({child, 0, overwrite ? var : QVariant()});
        } else if (token == QXmlStreamReader::EndElement) {
            Level level = stack.back();
            stack.pop_back();
            if (overwrite)
                level.node->set(changer, level.pending);
        }
    }
    finishImport(changer);
}

QString DataObject::exportToXmlStr(int indent, bool skipHidden) const
{
    QString text;
    QXmlStreamWriter writer(&text);
    if (indent > 0) {
        writer.setAutoFormatting(true);
        writer.setAutoFormattingIndent(indent);
    }
    writer.writeStartDocument();
    exportToXml(writer, true, skipHidden);
    writer.writeEndDocument();
    return text;
}

void DataObject::importFromXmlStr(
    QObject* changer, const QString& text, bool add, bool overwrite, bool strict)
{
    QXmlStreamReader reader(text);
    importFromXml(changer, reader, add, overwrite, strict);
}

// ------------------------------------------------------------------- variant

QVariant DataObject::exportToVariant(bool skipHidden) const
{
    const QList<DataObject*> children = cdobjs();
    if (children.isEmpty())
        return get(QVariant());
    if (children.first()->isRelative()) {
        QVariantList list;
        for (DataObject* child : children)
            list.append(child->exportToVariant(skipHidden));
        return list;
    }
    QVariantMap map;
    for (DataObject* child : children) {
        if (skipHidden && isHiddenName(child->name()))
            continue;
        map.insert(child->name(), child->exportToVariant(skipHidden));
    }
    return map;
}

void DataObject::importFromVariant(
    QObject* changer, const QVariant& value, bool add, bool overwrite, bool removeExtra)
{
    if (isEmpty())
        return;
    const int type = value.userType();
    if (type == QMetaType::QVariantList) {
        const QVariantList list = value.toList();
        if (removeExtra) {
            while (size() > list.size())
                remove(changer, last(), true);
        }
        if (add) {
            while (size() < list.size()) {
                if (append(changer, QString())->isEmpty())
                    break;
            }
        }
        const QList<DataObject*> children = cdobjs();
        const int n = qMin(children.size(), list.size());
        for (int i = 0; i < n; ++i)
            children.at(i)->importFromVariant(changer, list.at(i), add, overwrite, removeExtra);
        finishImport(changer);
    } else if (type == QMetaType::QVariantMap || type == QMetaType::QVariantHash) {
        QList<QPair<QString, QVariant>> entries;
        if (type == QMetaType::QVariantMap) {
            const QVariantMap map = value.toMap();
            for (auto it = map.constBegin(); it != map.constEnd(); ++it)
                entries.append({it.key(), it.value()});
        } else {
            const QVariantHash hash = value.toHash();
            for (auto it = hash.constBegin(); it != hash.constEnd(); ++it)
                entries.append({it.key(), it.value()});
        }
        if (removeExtra) {
            for (DataObject* child : cdobjs()) {
                bool named = false;
                for (const auto& entry : entries)
                    named = named || entry.first == child->name();
                if (!named)
                    remove(changer, child, true);
            }
        }
        if (add) {
            for (const auto& entry : entries) {
                if (rdobj(entry.first)->isEmpty())
                    insert(changer, entry.first, overwrite);
            }
        }
        for (const auto& entry : entries)
            rdobj(entry.first)->importFromVariant(changer, entry.second, add, overwrite, removeExtra);
        finishImport(changer);
    } else {
        if (!overwrite)
            return;
        if (removeExtra) {
            for (DataObject* child : cdobjs())
                remove(changer, child, true);
        }
        set(changer, value);
    }
}

// -------------------------------------------------------------------- binary

QByteArray DataObject::exportToBin(bool skipHidden) const
{
    QByteArray data;
    QDataStream stream(&data, QIODevice::WriteOnly);
    const QVariant value = get(QVariant());
    const int type = value.userType();
    if (value.isNull() || isExcludedBinType(type)) {
        stream << qint8(0);
    } else if (type < QMetaType::User) {
        stream << qint8(1) << value;
    } else {
        const char* typeName = QMetaType::typeName(type);
        const int sizeOf = QMetaType::sizeOf(type);
        stream << qint8(2) << QString::fromLatin1(typeName) << qint32(QMetaType::type(typeName))
               << QByteArray(static_cast<const char*>(value.constData()), sizeOf);
    }
    QStringList names;
    QList<DataObject*> recorded;
    const QList<DataObject*> children = cdobjs();
    for (int i = 0; i < children.size(); ++i) {
        DataObject* child = children.at(i);
        if (skipHidden && isHiddenName(child->name()))
            continue;
        names.append(child->isRelative() ? QLatin1Char('#') + QString::number(i) : child->name());
        recorded.append(child);
    }
    stream << names;
    for (DataObject* child : recorded)
        stream << child->exportToBin(skipHidden);
    return data;
}

void DataObject::importFromBin(
    QObject* changer, const QByteArray& data, bool add, bool overwrite, bool removeExtra)
{
    QDataStream stream(data);
    qint8 tag = 0;
    stream >> tag;
    QVariant value;
    if (tag == 1) {
        stream >> value;
    } else if (tag == 2) {
        QString typeName;
        qint32 id = 0;
        QByteArray bytes;
        stream >> typeName >> id >> bytes;
        const int type = QMetaType::type(typeName.toLatin1().constData());
        if (type != id || type == QMetaType::UnknownType || bytes.size() != QMetaType::sizeOf(type)) {
            logWarning() << "<m> import invalid variant: " << fullName() << " with type \"" << typeName
                         << "\" and id = " << id;
        } else {
            value = QVariant(type, bytes.constData());
        }
    }
    if (stream.status() != QDataStream::Ok)
        value = QVariant();
    QStringList names;
    stream >> names;
    if (stream.status() != QDataStream::Ok)
        names.clear();
    if (removeExtra) {
        for (DataObject* child : cdobjs()) {
            if (!names.contains(child->rname()))
                remove(changer, child, true);
        }
    }
    for (const QString& name : names) {
        QByteArray bytes;
        stream >> bytes;
        if (!hasCdobj(name, false)) {
            if (!add || !insert(changer, name, false))
                continue;
        }
        cdobj(name, false)->importFromBin(changer, bytes, add, overwrite, removeExtra);
    }
    if (overwrite)
        set(changer, value);
    else
        finishImport(changer);
}

// ---------------------------------------------------------------------- dump

void DataObject::dump(DataObject* base) const
{
    logSpecial() << "<mobj>" << fullName(base) << ": " << get(QVariant())
                 << ", children: " << cdobjNames(false);
    for (DataObject* child : cdobjs())
        child->dump(nullptr);
}

} // namespace ve
