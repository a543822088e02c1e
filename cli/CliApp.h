#pragma once

#include <QStringList>

// Runs one command line and returns the process exit code.
class CliApp
{
public:
    static int run(const QStringList& argv);
};
