#pragma once

#include "RecordingDialogs.h"

namespace apptest {
// Installs recording dialogs (returned) and restores the template's values.
RecordingDialogs* reset();
} // namespace apptest
