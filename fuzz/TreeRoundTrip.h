#pragma once

#include "DataObject.h"

#include <memory>

// A fresh, detached node for one input.
inline std::unique_ptr<ve::DataObject> freshNode()
{
    return std::make_unique<ve::DataObject>(QStringLiteral("fuzz"));
}
