#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

// Once per process, before the first input (every target calls it through a
// static): the targets' warnings are dropped, since every rejected input logs
// one and printing each would slow the fuzzer to a crawl. (scripts/fuzz.sh runs
// them where a file named "log" keeps the day's log file from being written.)
// With TZ unset the C library checks /etc/localtime for a change at every local
// time a log line stamps; naming that same file stops the check and changes no
// time (Qt reads ":/etc/localtime" as "the system zone" too).
inline bool fuzzSetUp()
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    if (qEnvironmentVariableIsEmpty("TZ"))
        qputenv("TZ", QByteArrayLiteral(":/etc/localtime"));
    return true;
}

// A broken property: report and abort, so the fuzzer keeps the input.
#define FUZZ_CHECK(cond)                                                                                     \
    do {                                                                                                     \
        if (!(cond)) {                                                                                       \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__);              \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)
