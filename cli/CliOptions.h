#pragma once

#include "CliStatus.h"

#include <QStringList>

// The command line: one command, its arguments and the options (which may appear anywhere).
struct CliOptions
{
    QString command;
    QStringList args;
    QString port; // empty: the first adapter port found
    int canId = -1; // -1: the only motor on the bus
    int timeoutMs = 3000; // longest wait for any one answer
    bool json = false;
    bool csv = false;
    bool save = false;
    bool acceptUnconfirmed = false; // flash: a transfer whose end frame went unanswered succeeds
    bool help = false;
    bool version = false;
    QStringList channels;
    int frequency = 100;
    double duration = 1.0;
    QString out;

    // Fills opts from argv (without the program name). Usage errors come back as code 2.
    static CliStatus parse(const QStringList& argv, CliOptions* opts);
    static QStringList commands();
    // Text of `servobench-cli --help` and of `servobench-cli COMMAND --help`.
    static QString usage();
    static QString commandHelp(const QString& command);
};
