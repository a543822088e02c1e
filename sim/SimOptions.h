#pragma once

#include "SimConfig.h"

#include <QStringList>

class QCommandLineParser;

namespace sim {

// The command line of servobench-sim, turned into a SimConfig.
class SimOptions
{
public:
    // Declares every option (with its help text) on the parser.
    static void declare(QCommandLineParser* parser);
    // Reads the options of an already processed parser. False with *error on bad input.
    static bool read(const QCommandLineParser& parser, SimConfig* cfg, QString* error);
    // Convenience for tests: parse a full argument list (program name first).
    static bool parse(const QStringList& arguments, SimConfig* cfg, QString* error);
};

} // namespace sim
