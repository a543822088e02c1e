#pragma once

#include "StateObject.h"

namespace ve {

// The null state: no links, no value.
class VE_EXPORT EmptyStateObject : public StateObject
{
    Q_OBJECT
public:
    explicit EmptyStateObject(QObject* parent = nullptr);

    bool isEmptyState() const override { return true; }
    void setPreviousState(ve::StateObject*, bool = true) override { }
    void setNextState(ve::StateObject*, bool = true) override { }
    void setVar(const QVariant&) override { }
};

} // namespace ve
