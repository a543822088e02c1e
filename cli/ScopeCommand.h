#pragma once

#include "CliStatus.h"

struct CliOptions;
class MotorLink;

// scope: records channels through the oscilloscope for a time into the sample file, or a CSV.
class ScopeCommand
{
public:
    static CliStatus run(const CliOptions& o, MotorLink& link);
};
