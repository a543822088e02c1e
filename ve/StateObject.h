#pragma once

#include "VeGlobal.h"

#include <QObject>
#include <QPointer>
#include <QVariant>

namespace ve {

// A named state of an owner (see StateManager). States may be linked into
// chains or rings. Links are guarded: a linked state that is deleted reads
// as no link, so a chain never leads to a dangling state.
class VE_EXPORT StateObject : public QObject
{
    Q_OBJECT
public:
    explicit StateObject(const QString& name, QObject* parent = nullptr);

    QString name() const { return m_name; }
    QVariant var() const { return m_var; }
    // The linked state, or the manager's empty state when there is none.
    StateObject* previousState() const;
    StateObject* nextState() const;

public slots:
    virtual bool isEmptyState() const { return false; }
    // With link, the other state is linked back to this one.
    virtual void setPreviousState(ve::StateObject* state, bool link = true);
    virtual void setNextState(ve::StateObject* state, bool link = true);
    virtual void setVar(const QVariant& value);

signals:
    // Entered; with the state that was left.
    void rein(ve::StateObject* left);
    // Left; with the state that is entered.
    void raus(ve::StateObject* entered);

private:
    QString m_name;
    QPointer<StateObject> m_previous;
    QPointer<StateObject> m_next;
    QVariant m_var;
};

} // namespace ve

Q_DECLARE_METATYPE(ve::StateObject*)
