#pragma once

#include "CliStatus.h"

struct CliOptions;
class MotorLink;

// params, get, set, save, factory-reset, backup, restore, diff.
class ParamCommands
{
public:
    static bool handles(const QString& command);
    static CliStatus run(const CliOptions& o, MotorLink& link);
};
