#pragma once

#include "StateObject.h"

#include <QHash>
#include <QStringList>

namespace ve {

class EmptyStateObject;
class StateWatcher;

// Named states per owner, the owner's current state and a watcher of its
// changes. Used from one thread (the user interface's); takes no locks.
//
// Every pointer the manager hands out or keeps may be deleted elsewhere
// (cancel, the owner's destruction): it keeps them guarded, and an owner's
// states go with the owner.
class VE_EXPORT StateManager : public QObject
{
    Q_OBJECT
public:
    static StateManager* instance();
    ~StateManager() override;

    StateObject* regist(QObject* owner, const QString& name, bool make_current = false);
    // connection 0: no links; 1: a chain in list order; 2: a ring.
    bool regist(QObject* owner, const QStringList& names, bool make_current = false, int connection = 0);
    StateObject* get(QObject* owner, const QString& name) const;
    StateObject* current(QObject* owner) const;
    StateWatcher* watcher(QObject* owner) const;
    void change(QObject* owner, const QString& name);
    void change(QObject* owner, StateObject* state);
    void toNext(QObject* owner);
    void toPrevious(QObject* owner);
    // An empty name cancels all of the owner's states.
    bool cancel(QObject* owner, const QString& name = QString());

    StateObject* emptyState() const;
    StateWatcher* emptyWatcher() const;

private:
    struct Owner
    {
        QHash<QString, QPointer<StateObject>> states;
        QPointer<StateObject> current;
        QPointer<StateWatcher> watcher;
        QMetaObject::Connection destroyed;
    };

    StateManager();
    Owner& ownerEntry(QObject* owner);
    void forget(QObject* owner);

    QHash<QObject*, Owner> m_owners;
    EmptyStateObject* m_emptyState;
    StateWatcher* m_emptyWatcher;
};

VE_EXPORT StateManager* state();

} // namespace ve
