#include "DataObject.h"

#include "DataManager.h"
#include "Logging.h"

#include <QUuid>

#include <memory>
#include <vector>

namespace ve {

namespace {

// A view of part of a path as a QString without copying the characters.
QString pathPart(const QString& path, int start, int end)
{
    return QString::fromRawData(path.constData() + start, end - start);
}

QString positionName(int index)
{
    return QLatin1Char('#') + QString::number(index);
}

} // namespace

DataObject::DataObject(const QString& name, DataObject* parent)
    : QObject(nullptr)
    , m_name(name)
{
    // The parent is set by insertion alone: an uninserted node has none, and
    // its destructor must not touch a node that may already be gone.
    Q_UNUSED(parent);
}

DataObject::~DataObject()
{
    // A node deleted directly (not through remove) must not stay in its
    // parent's chain as a dangling pointer.
    if (m_parent) {
        std::lock_guard<std::mutex> guard(m_parent->m_lock);
        if (m_parent->m_index.value(m_name) == this)
            m_parent->unlinkLocked(this);
        m_parent = nullptr;
    }
    // The subtree is taken apart without recursion, so that no depth of tree
    // can overflow the stack: every descendant is detached breadth first and
    // deleted deepest first, children before their parents.
    std::vector<DataObject*> nodes;
    auto detachChildren = [&nodes](DataObject* node) {
        std::lock_guard<std::mutex> guard(node->m_lock);
        for (DataObject* c = node->m_first; c; c = c->m_next)
            nodes.push_back(c);
        node->m_first = node->m_last = nullptr;
        node->m_index.clear();
    };
    detachChildren(this);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        nodes[i]->m_parent = nullptr;
        detachChildren(nodes[i]);
    }
    for (auto it = nodes.rbegin(); it != nodes.rend(); ++it)
        delete *it;
}

DataObject* DataObject::empty()
{
    return DataManager::instance().emptyDobj();
}

// ---------------------------------------------------------------- navigation

DataObject* DataObject::pdobj() const
{
    return m_parent ? m_parent : empty();
}

DataObject* DataObject::pdobj(int level) const
{
    if (level < 0)
        return empty();
    DataObject* node = m_parent;
    for (int i = 0; node && i < level; ++i)
        node = node->m_parent;
    return node ? node : empty();
}

DataObject* DataObject::cdobj(const QString& name, bool raw) const
{
    if (!raw) {
        const int n = indexOfRname(name);
        if (n >= 0)
            return cdobj(n);
    }
    std::lock_guard<std::mutex> guard(m_lock);
    DataObject* child = m_index.value(name, nullptr);
    return child ? child : empty();
}

DataObject* DataObject::cdobj(int index) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return childAtLocked(index);
}

DataObject* DataObject::childAtLocked(int index) const
{
    const int count = m_index.size();
    if (index < 0 || index >= count)
        return empty();
    DataObject* node;
    if (index <= count / 2) {
        node = m_first;
        for (int i = 0; i < index; ++i)
            node = node->m_next;
    } else {
        node = m_last;
        for (int i = count - 1; i > index; --i)
            node = node->m_prev;
    }
    return node;
}

int DataObject::positionLocked(const DataObject* child) const
{
    int position = 0;
    for (const DataObject* n = child->m_prev; n; n = n->m_prev)
        ++position;
    return position;
}

DataObject* DataObject::b(const QString& name, bool raw) const
{
    return pdobj()->cdobj(name, raw);
}

DataObject* DataObject::bdobj(int offset) const
{
    DataObject* node = const_cast<DataObject*>(this);
    if (offset == 0)
        return node;
    if (!m_parent)
        return empty();
    std::lock_guard<std::mutex> guard(m_parent->m_lock);
    for (; node && offset > 0; --offset)
        node = node->m_next;
    for (; node && offset < 0; ++offset)
        node = node->m_prev;
    return node ? node : empty();
}

DataObject* DataObject::nextBdobj() const
{
    return bdobj(1);
}

DataObject* DataObject::prevBdobj() const
{
    return bdobj(-1);
}

DataObject* DataObject::first() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_first ? m_first : empty();
}

DataObject* DataObject::last() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_last ? m_last : empty();
}

DataObject* DataObject::rdobj(const QString& path) const
{
    if (path.isEmpty())
        return empty();
    const DataObject* node = this;
    int start = 0;
    for (;;) {
        const int dot = path.indexOf(QLatin1Char('.'), start);
        const int end = dot < 0 ? path.size() : dot;
        node = node->cdobj(pathPart(path, start, end));
        if (node->isEmpty() || dot < 0)
            return const_cast<DataObject*>(node);
        start = dot + 1;
    }
}

bool DataObject::hasCdobj(const QString& name, bool raw) const
{
    if (name.isEmpty())
        return size() > 0;
    if (!raw) {
        const int n = indexOfRname(name);
        if (n >= 0)
            return n < size();
    }
    std::lock_guard<std::mutex> guard(m_lock);
    return m_index.contains(name);
}

bool DataObject::hasCdobj(DataObject* child) const
{
    if (!child)
        return false;
    std::lock_guard<std::mutex> guard(m_lock);
    return m_index.contains(child->m_name);
}

bool DataObject::hasRdobj(const QString& path) const
{
    return !rdobj(path)->isEmpty();
}

bool DataObject::isRdobjOf(DataObject* ancestor) const
{
    if (!ancestor)
        return false;
    for (DataObject* node = m_parent; node; node = node->m_parent) {
        if (node == ancestor)
            return true;
    }
    return false;
}

int DataObject::size() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_index.size();
}

int DataObject::indexInPdobj() const
{
    if (!m_parent)
        return -1;
    std::lock_guard<std::mutex> guard(m_parent->m_lock);
    return m_parent->positionLocked(this);
}

QList<DataObject*> DataObject::cdobjs() const
{
    QList<DataObject*> list;
    std::lock_guard<std::mutex> guard(m_lock);
    list.reserve(m_index.size());
    for (DataObject* c = m_first; c; c = c->m_next)
        list.append(c);
    return list;
}

QStringList DataObject::cdobjNames(bool raw) const
{
    QStringList names;
    std::lock_guard<std::mutex> guard(m_lock);
    names.reserve(m_index.size());
    int position = 0;
    for (DataObject* c = m_first; c; c = c->m_next, ++position)
        names.append(!raw && c->isRelative() ? positionName(position) : c->m_name);
    return names;
}

QString DataObject::rname() const
{
    return isRelative() ? positionName(indexInPdobj()) : m_name;
}

QString DataObject::fullName(DataObject* base) const
{
    DataObject* stop = base ? base : DataManager::instance().rootDobj();
    QStringList parts;
    const DataObject* node = this;
    for (;;) {
        parts.prepend(node->rname());
        DataObject* parent = node->m_parent;
        if (!parent || parent == stop)
            break;
        node = parent;
    }
    return parts.join(DataManager::separator());
}

QString DataObject::generateId(DataObject* parent)
{
    const QString base = QLatin1Char('#') + QUuid::createUuid().toString();
    if (!parent)
        return base;
    std::lock_guard<std::mutex> guard(parent->m_lock);
    QString id = base;
    for (int i = 1; parent->m_index.contains(id); ++i)
        id = QStringLiteral("%1_%2").arg(base).arg(i);
    return id;
}

int DataObject::indexOfRname(const QString& s)
{
    if (s.size() < 2 || s.at(0) != QLatin1Char('#'))
        return -1;
    // Digits only: toInt alone would take "#+1" or "#1 " as position 1.
    for (int i = 1; i < s.size(); ++i) {
        if (s.at(i) < QLatin1Char('0') || s.at(i) > QLatin1Char('9'))
            return -1;
    }
    bool ok = false;
    const int n = s.midRef(1).toInt(&ok, 10);
    return ok && n >= 0 ? n : -1;
}

bool DataObject::isRelative() const
{
    return !m_name.isEmpty() && m_name.at(0) == QLatin1Char('#');
}

bool DataObject::isEmpty() const
{
    return false;
}

bool DataObject::isHiddenName(const QString& name)
{
    return name.startsWith(QLatin1Char('_'));
}

// -------------------------------------------------------------------- values

QVariant DataObject::get(const QVariant& def) const
{
    return m_value.isNull() ? def : m_value;
}

bool DataObject::getBool(bool def) const
{
    const QVariant v = get(QVariant());
    return !v.isNull() && v.canConvert<bool>() ? v.toBool() : def;
}

int DataObject::getInt(int def) const
{
    const QVariant v = get(QVariant());
    return !v.isNull() && v.canConvert<int>() ? v.toInt() : def;
}

double DataObject::getDouble(double def) const
{
    const QVariant v = get(QVariant());
    return !v.isNull() && v.canConvert<double>() ? v.toDouble() : def;
}

QString DataObject::getString(const QString& def) const
{
    const QVariant v = get(QVariant());
    return !v.isNull() && v.canConvert<QString>() ? v.toString() : def;
}

QList<QVariant> DataObject::getList() const
{
    QList<QVariant> list;
    for (DataObject* c : cdobjs())
        list.append(c->get(QVariant()));
    return list;
}

DataObject* DataObject::set(QObject* changer, const QVariant& value)
{
    const QVariant old = m_value;
    m_value = value;
    if (!m_quiet) {
        const QVariant now = value;
        emit changed(now, old, changer);
        if (m_watching) {
            emit activated(this, ValueChanged, changer);
            if (m_parent && m_parent->m_watching)
                m_parent->activate(changer, this, ValueChanged);
        }
    }
    return this;
}

DataObject* DataObject::set(QObject* changer, const QString& path, const QVariant& value, bool create)
{
    DataObject* target = rdobj(path);
    if (target->isEmpty() && create) {
        insert(changer, path, false);
        target = rdobj(path);
    }
    if (target->isEmpty())
        logWarning() << "<m><" << changer << "> set unreachable module: \"" << path << "\" with: " << value;
    else
        target->set(changer, value);
    return this;
}

void DataObject::setList(QObject* changer, const QList<QVariant>& list, bool create)
{
    for (int i = 0; i < list.size(); ++i)
        set(changer, positionName(i), list.at(i), create);
}

void DataObject::setList(QObject* changer, const QString& path, const QList<QVariant>& list, bool create)
{
    for (int i = 0; i < list.size(); ++i)
        set(changer, path + DataManager::separator() + positionName(i), list.at(i), create);
}

void DataObject::trigger()
{
    set(sender(), get(QVariant()));
}

// ----------------------------------------------------------------- structure

bool DataObject::insert(QObject* changer, const QString& path, bool replace)
{
    const QStringList parts = path.split(DataManager::separator());
    for (const QString& part : parts) {
        if (part.isEmpty()) {
            logError().space() << "<mobj><" << changer << "> attempt to insert an invalid path:" << path;
            return false;
        }
    }
    DataObject* node = this;
    for (const QString& part : parts) {
        if (node->isEmpty())
            return false;
        if (!node->hasCdobj(part, false)) {
            const int n = indexOfRname(part);
            if (n < 0) {
                auto* child = new DataObject(part);
                if (!node->insert(changer, child, replace, -1)) {
                    delete child;
                    return false;
                }
            } else {
                while (node->size() <= n) {
                    auto* child = new DataObject(generateId(node));
                    if (!node->insert(changer, child, replace, -1)) {
                        delete child;
                        return false;
                    }
                }
            }
        }
        node = node->cdobj(part, false);
    }
    return true;
}

bool DataObject::insert(QObject* changer, DataObject* child, bool replace, int index)
{
    if (!child || child->isEmpty()) {
        logError().space() << "<mobj><" << changer << "> attempt to insert a null module obj";
        return false;
    }
    // Linking a node into itself, its own subtree or a second parent would
    // corrupt both chains.
    // Only a node with children can be an ancestor; the walk up is skipped
    // for the usual new leaf, which keeps building a deep branch linear.
    if (child == this || (child->m_first && isRdobjOf(child))) {
        logError().space() << "<mobj><" << changer
                           << "> attempt to insert a module obj into itself:" << child->m_name;
        return false;
    }
    DataObject* owner = child->m_parent;
    if (owner && owner->cdobj(child->m_name, true) == child) {
        if (owner == this)
            logError().space() << "<mobj><" << changer
                               << "> attempt to insert an existed module obj: " << child->m_name;
        else
            logError().space() << "<mobj><" << changer
                               << "> attempt to insert a module obj owned by another:" << child->m_name;
        return false;
    }
    if (child->m_name.isEmpty()) {
        child->m_name = generateId(this);
    } else if (hasCdobj(child->m_name, true)) {
        if (!replace) {
            logError().space() << "<mobj><" << changer
                               << "> attempt to insert an existed module obj: " << child->m_name;
            return false;
        }
        if (!remove(changer, cdobj(child->m_name, true), true))
            return false;
    }
    if (!m_quiet)
        emit gonnaInsert(child, this, changer);
    int position;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        // Another thread may have taken the name since the check above.
        if (m_index.contains(child->m_name))
            position = -1;
        else {
            position = index < 0 || index > m_index.size() ? m_index.size() : index;
            child->m_parent = this;
            child->m_watching = m_watching;
            linkLocked(child, position);
        }
    }
    if (position < 0) {
        logError().space() << "<mobj><" << changer
                           << "> attempt to insert an existed module obj: " << child->m_name;
        return false;
    }
    if (!m_quiet)
        emit added(child->isRelative() ? positionName(position) : child->m_name, changer);
    if (m_watching)
        activate(changer, child, ChildInserted);
    return true;
}

void DataObject::linkLocked(DataObject* child, int index)
{
    const int count = m_index.size();
    if (count == 0) {
        child->m_prev = child->m_next = nullptr;
        m_first = m_last = child;
    } else if (index >= count) {
        child->m_prev = m_last;
        child->m_next = nullptr;
        m_last->m_next = child;
        m_last = child;
    } else if (index == 0) {
        child->m_prev = nullptr;
        child->m_next = m_first;
        m_first->m_prev = child;
        m_first = child;
    } else {
        DataObject* before = childAtLocked(index - 1);
        child->m_prev = before;
        child->m_next = before->m_next;
        before->m_next->m_prev = child;
        before->m_next = child;
    }
    m_index.insert(child->m_name, child);
}

void DataObject::unlinkLocked(DataObject* child)
{
    if (child->m_prev)
        child->m_prev->m_next = child->m_next;
    else
        m_first = child->m_next;
    if (child->m_next)
        child->m_next->m_prev = child->m_prev;
    else
        m_last = child->m_prev;
    child->m_prev = child->m_next = nullptr;
    m_index.remove(child->m_name);
}

DataObject* DataObject::append(QObject* changer, const QString& name)
{
    auto* child = new DataObject(name.isEmpty() ? generateId(this) : name);
    if (!insert(changer, child, false, -1)) {
        delete child;
        return empty();
    }
    return child;
}

bool DataObject::remove(QObject* changer, const QString& path, bool del)
{
    DataObject* node = rdobj(path);
    if (node->isEmpty() || !node->m_parent)
        return false;
    return node->m_parent->remove(changer, node, del);
}

bool DataObject::remove(QObject* changer, DataObject* child, bool del)
{
    if (!child || child->isEmpty()) {
        logError().space() << "<mobj><" << changer << "> attempt to remove a null module obj";
        return false;
    }
    if (cdobj(child->m_name, true) != child) {
        logError().space() << "<mobj><" << changer
                           << "> attempt to remove an unexisted module obj: " << child->m_name;
        return false;
    }
    if (!m_quiet)
        emit gonnaRemove(child, this, changer);
    QString r;
    bool removed_ = false;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        // Another thread may have removed it since the check above.
        if (m_index.value(child->m_name) == child) {
            r = child->isRelative() ? positionName(positionLocked(child)) : child->m_name;
            unlinkLocked(child);
            child->m_parent = nullptr;
            removed_ = true;
        }
    }
    if (!removed_) {
        logError().space() << "<mobj><" << changer
                           << "> attempt to remove an unexisted module obj: " << child->m_name;
        return false;
    }
    if (!m_quiet)
        emit removed(r, changer);
    if (m_watching)
        activate(changer, child, ChildRemoved);
    if (del)
        delete child;
    return true;
}

bool DataObject::reorder(QObject* changer, int from, int to)
{
    if (from == to || size() < 2)
        return false;
    DataObject* child = cdobj(from);
    if (child->isEmpty())
        return false;
    if (!remove(changer, child, false))
        return false;
    if (!insert(changer, child, false, to)) {
        // Put it back where it was rather than lose it; only a name taken
        // meanwhile can stop that, and then it cannot stay in the tree.
        if (!DataObject::insert(changer, child, false, from)) {
            logError().space() << "<mobj><" << changer
                               << "> lost a module obj while reordering:" << child->m_name;
            delete child;
        }
        return false;
    }
    return true;
}

bool DataObject::reorder(QObject* changer, const QStringList& names)
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        const int count = m_index.size();
        if (names.isEmpty() || count < 2 || names.size() > count)
            return false;
        QList<DataObject*> order;
        order.reserve(count);
        for (const QString& name : names) {
            const int n = indexOfRname(name);
            DataObject* node = n >= 0 ? childAtLocked(n) : m_index.value(name, nullptr);
            if (node && !node->isEmpty() && !order.contains(node))
                order.append(node);
        }
        for (DataObject* c = m_first; c; c = c->m_next) {
            if (!order.contains(c))
                order.append(c);
        }
        for (int i = 0; i < order.size(); ++i) {
            order[i]->m_prev = i > 0 ? order[i - 1] : nullptr;
            order[i]->m_next = i + 1 < order.size() ? order[i + 1] : nullptr;
        }
        m_first = order.first();
        m_last = order.last();
    }
    if (m_watching && !m_quiet) {
        emit activated(this, ChildrenReordered, changer);
        if (m_parent && m_parent->m_watching)
            m_parent->activate(changer, this, ChildrenReordered);
    }
    return true;
}

void DataObject::clear(QObject* changer, bool del, bool keepChildren)
{
    for (DataObject* child : cdobjs()) {
        if (keepChildren)
            child->clear(changer, del, true);
        else
            remove(changer, child, del);
    }
    set(changer, QVariant());
}

void DataObject::copyFrom(QObject* changer, DataObject* src, bool add, bool removeExtra)
{
    if (!src)
        return;
    // Copying an ancestor into its descendant would grow without end, and
    // copying a descendant with removeExtra would delete the source while it
    // is read: copy from a detached snapshot instead.
    if (isRdobjOf(src) || src->isRdobjOf(this)) {
        std::unique_ptr<DataObject> snapshot(new DataObject(src->m_name));
        snapshot->copyFrom(nullptr, src, true, false);
        copyFrom(changer, snapshot.get(), add, removeExtra);
        return;
    }
    if (removeExtra) {
        for (DataObject* child : cdobjs()) {
            if (!src->hasCdobj(child->rname(), false))
                remove(changer, child, true);
        }
    }
    for (const QString& name : src->cdobjNames(false)) {
        if (add && !hasCdobj(name, false))
            insert(changer, name, false);
        cdobj(name)->copyFrom(changer, src->cdobj(name), add, removeExtra);
    }
    set(changer, src->get(QVariant()));
}

void DataObject::quiet(bool on, bool recursive)
{
    m_quiet = on;
    if (recursive) {
        for (DataObject* child : cdobjs())
            child->quiet(on, true);
    }
}

void DataObject::watch(bool on, bool recursive)
{
    m_watching = on;
    if (recursive) {
        for (DataObject* child : cdobjs())
            child->watch(on, true);
    }
}

void DataObject::activate(QObject* changer, DataObject* changed_mobj, ActivateType type)
{
    if (m_quiet || isEmpty())
        return;
    emit activated(changed_mobj, type, changer);
    for (DataObject* node = m_parent; node && node->m_watching && !node->m_quiet; node = node->m_parent)
        emit node->activated(changed_mobj, type, changer);
}

void DataObject::finishImport(QObject* changer)
{
    if (m_quiet || isEmpty())
        return;
    const QVariant v = m_value;
    emit changed(v, v, changer);
    if (m_watching) {
        emit activated(this, ValueChanged, changer);
        if (m_parent && m_parent->m_watching)
            m_parent->activate(changer, this, ValueChanged);
    }
}

} // namespace ve
