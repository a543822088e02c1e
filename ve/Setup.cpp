#include "Setup.h"

#include "CrashHandler.h"

namespace ve {

void setup()
{
    CrashHandler::install();
}

} // namespace ve
