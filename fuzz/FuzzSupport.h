#pragma once

#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

// Quiet logging for the targets: every rejected input logs a warning, and
// printing each would slow the fuzzer to a crawl. (scripts/fuzz.sh runs them
// where a file named "log" keeps the day's log file from being written.)
inline void fuzzQuietLogging()
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
}

// A broken property: report and abort, so the fuzzer keeps the input.
#define FUZZ_CHECK(cond)                                                                                     \
    do {                                                                                                     \
        if (!(cond)) {                                                                                       \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__);              \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)
