#pragma once

#include "DataObject.h"

#include <QJsonValue>

namespace ve {

// Owner of the global data tree: the root "@m" and the empty node "@e".
class VE_EXPORT DataManager
{
public:
    static DataManager& instance();

    DataObject* rootDobj() const { return m_root; }
    DataObject* emptyDobj() const { return m_empty; }
    static QString separator();

    DataObject* regist(QObject* changer, const QString& path);
    bool cancel(QObject* changer, const QString& path);
    DataObject* create(const QString& name, DataObject* parent = nullptr);

    // JSON files
    static QJsonValue readFromJson(const QString& path);
    static QVariant readFromJsonAsVariant(const QString& path);
    static bool writeToJson(const QString& path, const QJsonValue& value, bool makeDir = true);
    static QString convertToUtf8(const QByteArray& data);

    // XML files
    static bool writeToXmlFile(
        const QString& path, DataObject* node, bool makeDir = true, bool skipHidden = true);
    static bool readFromXmlFile(QObject* changer, DataObject* node, const QString& path);

    // Binary files (qCompress form)
    static bool writeToBin(
        const QString& path, const QByteArray& data, int compressionLevel = -1, bool makeDir = true);
    static QByteArray readFromBin(const QString& path);

    DataManager(const DataManager&) = delete;
    DataManager& operator=(const DataManager&) = delete;

private:
    DataManager();
    ~DataManager();

    DataObject* m_root;
    DataObject* m_empty;
};

// The manager, or the node at path below base (the root when base is null).
VE_EXPORT DataManager& d();
VE_EXPORT DataObject* d(const QString& path, DataObject* base = nullptr);

// "#index" for index >= 0, else name.
VE_EXPORT QString dIndex(int index, const QString& name = QString());

// Parts joined with the path separator.
VE_EXPORT QString dName(const QString& a, const QString& b);
VE_EXPORT QString dName(const QString& a, const QString& b, const QString& c);
VE_EXPORT QString dName(const QString& a, const QString& b, const QString& c, const QString& d);
VE_EXPORT QString dName(
    const QString& a, const QString& b, const QString& c, const QString& d, const QString& e);
VE_EXPORT QString dName(const QString& a, const QString& b, const QString& c, const QString& d,
    const QString& e, const QString& f);
VE_EXPORT QString dName(const QString& a, const QString& b, const QString& c, const QString& d,
    const QString& e, const QString& f, const QString& g);

} // namespace ve
