#pragma once

#include "VeGlobal.h"

namespace ve {

// Writes a crash report when the process dies of a fault signal, an abort
// or an uncaught exception, and then lets it die of that signal.
//
// The report comes in two phases. The first uses only async-signal-safe
// calls (the thread line, the exception code, the raw stack), so something
// is recorded even when the crash happened inside malloc or a lock. The
// second resolves the stack, lists the modules and copies every branch of
// the data tree to "./crash/<branch>.icex"; it may block on what the crash
// left behind, so a watchdog alarm ends the process if it takes too long.
class VE_EXPORT CrashHandler
{
public:
    // Installs the handlers once; later calls do nothing. Handlers found in
    // place (a sanitizer's, for example) run after the report.
    static void install();
    static bool isInstalled();

    // Gives the calling thread an alternate signal stack, so a stack
    // overflow in it still leaves a report. The main thread gets one in
    // install(); every long-lived thread of the framework calls this when it
    // starts. The stack is released when the thread ends.
    static void prepareThread();

    // How long the second phase may take before the watchdog ends the process.
    static void setWatchdogSeconds(unsigned seconds);
};

} // namespace ve
