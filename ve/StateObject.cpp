#include "StateObject.h"

#include "StateManager.h"

namespace ve {

StateObject::StateObject(const QString& name, QObject* parent)
    : QObject(parent)
    , m_name(name)
{ }

StateObject* StateObject::previousState() const
{
    return m_previous ? m_previous.data() : state()->emptyState();
}

StateObject* StateObject::nextState() const
{
    return m_next ? m_next.data() : state()->emptyState();
}

void StateObject::setPreviousState(StateObject* state, bool link)
{
    m_previous = state;
    if (link && state)
        state->setNextState(this, false);
}

void StateObject::setNextState(StateObject* state, bool link)
{
    m_next = state;
    if (link && state)
        state->setPreviousState(this, false);
}

void StateObject::setVar(const QVariant& value)
{
    m_var = value;
}

} // namespace ve
