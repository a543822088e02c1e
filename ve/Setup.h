#pragma once

#include "VeGlobal.h"

namespace ve {

// Installs the framework's process-wide services that must exist before
// anything else runs: the crash handler. Safe to call more than once.
VE_EXPORT void setup();

} // namespace ve
