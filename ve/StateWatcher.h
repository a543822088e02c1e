#pragma once

#include "StateObject.h"

namespace ve {

// Reports every change of an owner's current state.
class VE_EXPORT StateWatcher : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    void changed(ve::StateObject* left, ve::StateObject* entered);
};

} // namespace ve
