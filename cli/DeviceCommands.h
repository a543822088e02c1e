#pragma once

#include "CliStatus.h"

struct CliOptions;
class MotorLink;

// scan, clear-alarm, mode, zero, set-id, calibrate, estop.
class DeviceCommands
{
public:
    static bool handles(const QString& command);
    static CliStatus scan(const CliOptions& o, MotorLink& link);
    // estop addresses every motor unless --id names one.
    static CliStatus estop(const CliOptions& o, MotorLink& link);
    static CliStatus run(const CliOptions& o, MotorLink& link);
};
