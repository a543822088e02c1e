#pragma once

#include "DataObject.h"

namespace ve {

// The one node every failed lookup returns: it holds nothing, accepts
// nothing and exports nothing, so chained calls need no null checks.
class VE_EXPORT EmptyDataObject : public DataObject
{
    Q_OBJECT
public:
    EmptyDataObject();

    bool isEmpty() const override;
    QVariant get(const QVariant& def = QVariant()) const override;
    using DataObject::set;
    DataObject* set(
        QObject* changer, const QString& path, const QVariant& value, bool create = false) override;
    DataObject* set(QObject* changer, const QVariant& value) override;
    bool insert(QObject* changer, const QString& path, bool replace = false) override;
    bool insert(QObject* changer, DataObject* child, bool replace = false, int index = -1) override;
    DataObject* append(QObject* changer, const QString& name = QString()) override;
    bool remove(QObject* changer, const QString& path, bool del = true) override;
    bool remove(QObject* changer, DataObject* child, bool del = true) override;
    void copyFrom(QObject* changer, DataObject* src, bool add = true, bool removeExtra = false) override;
    void importFromJson(QObject* changer, const QJsonValue& value, bool add = true, bool overwrite = true,
        bool removeExtra = false) override;
    QJsonValue exportToJson(bool skipHidden = false) const override;
    void importFromXml(QObject* changer, QXmlStreamReader& reader, bool add = true, bool overwrite = true,
        bool strict = true) override;
    void exportToXml(QXmlStreamWriter& writer, bool isRoot = true, bool skipHidden = false) const override;
    void importFromBin(QObject* changer, const QByteArray& data, bool add = true, bool overwrite = true,
        bool removeExtra = false) override;
    QByteArray exportToBin(bool skipHidden = false) const override;
};

} // namespace ve
