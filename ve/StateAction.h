#pragma once

#include "VeGlobal.h"

#include <QObject>

namespace ve {

// Part of the framework's interface; carries no behaviour of its own.
class VE_EXPORT StateAction : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
};

} // namespace ve
