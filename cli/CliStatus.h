#pragma once

#include <QString>

// Outcome of a command: the process exit code and, on failure, the one line for standard error.
struct CliStatus
{
    enum Code
    {
        Success = 0,
        MotorFailed = 1, // the motor refused or reported failure
        Usage = 2, // bad command line or input rejected before anything was sent
        PortError = 3, // no port, port cannot be opened, serial error, silent adapter
        TimedOut = 4, // the motor did not answer in time
    };

    int code = Success;
    QString message;

    bool ok() const { return code == Success; }
    static CliStatus success() { return {}; }
    static CliStatus fail(int code, const QString& message) { return {code, message}; }
};
