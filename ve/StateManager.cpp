#include "StateManager.h"

#include "EmptyStateObject.h"
#include "StateWatcher.h"

namespace ve {

StateManager::StateManager()
    : m_emptyState(new EmptyStateObject(this))
    , m_emptyWatcher(new StateWatcher(this))
{
    qRegisterMetaType<ve::StateObject*>("ve::StateObject*");
}

StateManager::~StateManager()
{
    for (auto it = m_owners.begin(); it != m_owners.end(); ++it)
        QObject::disconnect(it->destroyed);
}

StateManager* StateManager::instance()
{
    static StateManager manager;
    return &manager;
}

StateManager* state()
{
    return StateManager::instance();
}

StateObject* StateManager::emptyState() const
{
    return m_emptyState;
}

StateWatcher* StateManager::emptyWatcher() const
{
    return m_emptyWatcher;
}

StateManager::Owner& StateManager::ownerEntry(QObject* owner)
{
    auto it = m_owners.find(owner);
    if (it != m_owners.end())
        return *it;
    Owner& entry = m_owners[owner];
    // An owner that goes takes its states along; its address may be reused
    // by a new object that must not inherit them.
    if (owner)
        entry.destroyed = connect(owner, &QObject::destroyed, this, [this, owner] { cancel(owner); });
    return entry;
}

void StateManager::forget(QObject* owner)
{
    auto it = m_owners.find(owner);
    if (it == m_owners.end())
        return;
    QObject::disconnect(it->destroyed);
    m_owners.erase(it);
}

StateObject* StateManager::regist(QObject* owner, const QString& name, bool make_current)
{
    Owner& entry = ownerEntry(owner);
    if (!entry.watcher)
        entry.watcher = new StateWatcher(this);
    StateObject* s = entry.states.value(name);
    if (!s) {
        s = new StateObject(name, this);
        entry.states.insert(name, s);
    }
    if (make_current)
        entry.current = s;
    return s;
}

bool StateManager::regist(QObject* owner, const QStringList& names, bool make_current, int connection)
{
    if (names.isEmpty())
        return false;
    QList<StateObject*> states;
    for (int i = 0; i < names.size(); ++i)
        states.append(regist(owner, names.at(i), i == 0 && make_current));
    if (connection == 1 || connection == 2) {
        for (int i = 0; i + 1 < states.size(); ++i) {
            states.at(i)->setNextState(states.at(i + 1), false);
            states.at(i + 1)->setPreviousState(states.at(i), false);
        }
    }
    if (connection == 2) {
        states.last()->setNextState(states.first(), false);
        states.first()->setPreviousState(states.last(), false);
    }
    return true;
}

StateObject* StateManager::get(QObject* owner, const QString& name) const
{
    const auto it = m_owners.constFind(owner);
    if (it == m_owners.constEnd())
        return m_emptyState;
    StateObject* s = it->states.value(name);
    return s ? s : m_emptyState;
}

StateObject* StateManager::current(QObject* owner) const
{
    const auto it = m_owners.constFind(owner);
    if (it == m_owners.constEnd() || !it->current)
        return m_emptyState;
    return it->current;
}

StateWatcher* StateManager::watcher(QObject* owner) const
{
    const auto it = m_owners.constFind(owner);
    if (it == m_owners.constEnd() || !it->watcher)
        return m_emptyWatcher;
    return it->watcher;
}

void StateManager::change(QObject* owner, const QString& name)
{
    change(owner, get(owner, name));
}

void StateManager::change(QObject* owner, StateObject* state)
{
    if (!state)
        return;
    // Slots run on every signal below and may cancel states or the owner.
    QPointer<StateObject> entered(state);
    QPointer<StateObject> left(current(owner));
    if (!left->isEmptyState())
        emit left->raus(entered);
    if (!entered)
        return;
    ownerEntry(owner).current = entered.data();
    if (!entered->isEmptyState())
        emit entered->rein(left ? left.data() : m_emptyState);
    const auto it = m_owners.constFind(owner);
    if (it != m_owners.constEnd() && it->watcher)
        emit it->watcher->changed(left ? left.data() : m_emptyState, entered ? entered.data() : m_emptyState);
}

void StateManager::toNext(QObject* owner)
{
    change(owner, current(owner)->nextState());
}

void StateManager::toPrevious(QObject* owner)
{
    change(owner, current(owner)->previousState());
}

bool StateManager::cancel(QObject* owner, const QString& name)
{
    auto it = m_owners.find(owner);
    if (it == m_owners.end() || it->states.isEmpty())
        return false;
    if (name.isEmpty()) {
        const QList<QPointer<StateObject>> states = it->states.values();
        QPointer<StateWatcher> watcher = it->watcher;
        forget(owner);
        for (const QPointer<StateObject>& s : states)
            delete s.data();
        delete watcher.data();
        return true;
    }
    if (!it->states.contains(name))
        return false;
    QPointer<StateObject> s = it->states.take(name);
    if (it->current == s)
        it->current = nullptr;
    if (it->states.isEmpty()) {
        QPointer<StateWatcher> watcher = it->watcher;
        forget(owner);
        delete watcher.data();
    }
    // Links to it and other owners' current entries are guarded and clear
    // themselves.
    delete s.data();
    return true;
}

} // namespace ve
