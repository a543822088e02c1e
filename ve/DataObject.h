#pragma once

#include "VeGlobal.h"

#include <QHash>
#include <QJsonValue>
#include <QObject>
#include <QStringList>
#include <QVariant>

#include <mutex>

class QXmlStreamReader;
class QXmlStreamWriter;

namespace ve {

// One node of the application's data tree: a value plus an ordered set of
// uniquely named children. Lookups never return null; they return the
// manager's empty node so that calls can be chained without checks.
//
// Threads: each node's child chain and name index are guarded by its own
// lock, so children of one node may be inserted, removed and listed from
// several threads. Values are not locked. Signals are emitted outside the
// lock on the changing thread. A node pointer stays valid only while no
// other thread may delete that node.
class VE_EXPORT DataObject : public QObject
{
    Q_OBJECT
public:
    enum ActivateType
    {
        ValueChanged = 0,
        ChildInserted = 1,
        ChildRemoved = 2,
        ChildrenReordered = 3
    };
    Q_ENUM(ActivateType)

    // parent is not recorded: a node gets its parent only by insert().
    DataObject(const QString& name, DataObject* parent = nullptr);
    ~DataObject() override;

    // navigation
    DataObject* pdobj() const;
    DataObject* pdobj(int level) const;
    DataObject* p(int level) const { return pdobj(level); }
    DataObject* cdobj(const QString& name, bool raw = false) const;
    DataObject* c(const QString& name, bool raw = false) const { return cdobj(name, raw); }
    DataObject* cdobj(int index) const;
    DataObject* c(int index) const { return cdobj(index); }
    DataObject* b(const QString& name, bool raw = false) const;
    DataObject* bdobj(int offset) const;
    DataObject* b(int offset) const { return bdobj(offset); }
    DataObject* nextBdobj() const;
    DataObject* prevBdobj() const;
    DataObject* first() const;
    DataObject* last() const;
    DataObject* rdobj(const QString& path) const;
    DataObject* r(const QString& path) const { return rdobj(path); }
    bool hasCdobj(const QString& name, bool raw = false) const;
    bool hasCdobj(DataObject* child) const;
    bool hasRdobj(const QString& path) const;
    bool isRdobjOf(DataObject* ancestor) const;
    int size() const;
    int indexInPdobj() const;
    QList<DataObject*> cdobjs() const;
    QStringList cdobjNames(bool raw = false) const;
    QString name() const { return m_name; }
    QString rname() const;
    QString fullName(DataObject* base = nullptr) const;
    static QString generateId(DataObject* parent);
    static int indexOfRname(const QString& s);
    bool isRelative() const;
    virtual bool isEmpty() const;

    // values
    virtual QVariant get(const QVariant& def = QVariant()) const;
    bool getBool(bool def = false) const;
    int getInt(int def = 0) const;
    double getDouble(double def = 0.0) const;
    QString getString(const QString& def = QString()) const;
    QList<QVariant> getList() const;
    virtual DataObject* set(
        QObject* changer, const QString& path, const QVariant& value, bool create = false);
    virtual DataObject* set(QObject* changer, const QVariant& value);
    void setList(QObject* changer, const QList<QVariant>& list, bool create = false);
    void setList(QObject* changer, const QString& path, const QList<QVariant>& list, bool create = false);

    // structure
    virtual bool insert(QObject* changer, const QString& path, bool replace = false);
    virtual bool insert(QObject* changer, DataObject* child, bool replace = false, int index = -1);
    virtual DataObject* append(QObject* changer, const QString& name = QString());
    virtual bool remove(QObject* changer, const QString& path, bool del = true);
    virtual bool remove(QObject* changer, DataObject* child, bool del = true);
    bool reorder(QObject* changer, int from, int to);
    bool reorder(QObject* changer, const QStringList& names);
    void clear(QObject* changer, bool del = true, bool keepChildren = false);
    virtual void copyFrom(QObject* changer, DataObject* src, bool add = true, bool removeExtra = false);
    void quiet(bool on, bool recursive = false);
    bool isQuiet() const { return m_quiet; }
    void watch(bool on, bool recursive = false);
    bool isWatching() const { return m_watching; }
    void activate(QObject* changer, DataObject* changed_mobj, ActivateType type);

    // JSON and XML
    virtual void importFromJson(QObject* changer, const QJsonValue& value, bool add = true,
        bool overwrite = true, bool removeExtra = false);
    virtual QJsonValue exportToJson(bool skipHidden = false) const;
    virtual void importFromXml(QObject* changer, QXmlStreamReader& reader, bool add = true,
        bool overwrite = true, bool strict = true);
    virtual void exportToXml(QXmlStreamWriter& writer, bool isRoot = true, bool skipHidden = false) const;
    QString exportToXmlStr(int indent = 4, bool skipHidden = false) const;
    void importFromXmlStr(
        QObject* changer, const QString& text, bool add = true, bool overwrite = true, bool strict = true);

    // binary and variant
    virtual void importFromBin(QObject* changer, const QByteArray& data, bool add = true,
        bool overwrite = true, bool removeExtra = false);
    virtual QByteArray exportToBin(bool skipHidden = false) const;
    QVariant exportToVariant(bool skipHidden = false) const;
    void importFromVariant(QObject* changer, const QVariant& value, bool add = true, bool overwrite = true,
        bool removeExtra = false);
    void dump(DataObject* base = nullptr) const;

public slots:
    void trigger();

signals:
    void activated(ve::DataObject* changed_mobj, int type, QObject* changer);
    void changed(const QVariant& var, const QVariant& old_var, QObject* changer);
    void added(const QString& rname, QObject* changer);
    void removed(const QString& rname, QObject* changer);
    void gonnaInsert(ve::DataObject* target, ve::DataObject* ref, QObject* changer);
    void gonnaRemove(ve::DataObject* target, ve::DataObject* ref, QObject* changer);

protected:
    static DataObject* empty();
    // Emitted after an import into a branch: the branch was re-read.
    void finishImport(QObject* changer);

private:
    // Imports take names, positions and nesting from files that may be broken
    // or hostile: a position past the next element, a name that would be a
    // path, and nesting deeper than this are warned about and skipped.
    static constexpr int kMaxImportDepth = 64;
    bool insertImported(QObject* changer, const QString& path, bool single, bool replace, int depth);
    void importJsonAt(
        QObject* changer, const QJsonValue& value, bool add, bool overwrite, bool removeExtra, int depth);
    void importVariantAt(
        QObject* changer, const QVariant& value, bool add, bool overwrite, bool removeExtra, int depth);
    void importBinAt(
        QObject* changer, const QByteArray& data, bool add, bool overwrite, bool removeExtra, int depth);

    DataObject* childAtLocked(int index) const;
    int positionLocked(const DataObject* child) const;
    void linkLocked(DataObject* child, int index);
    void unlinkLocked(DataObject* child);
    static bool isHiddenName(const QString& name);

    DataObject* m_parent = nullptr;
    DataObject* m_prev = nullptr;
    DataObject* m_next = nullptr;
    DataObject* m_first = nullptr;
    DataObject* m_last = nullptr;
    QHash<QString, DataObject*> m_index;
    QString m_name;
    QVariant m_value;
    bool m_quiet = false;
    bool m_watching = false;
    // std::mutex rather than QMutex so that ThreadSanitizer sees the locking.
    mutable std::mutex m_lock;
};

} // namespace ve

Q_DECLARE_METATYPE(ve::DataObject*)
