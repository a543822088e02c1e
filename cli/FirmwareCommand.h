#pragma once

#include "CliStatus.h"

struct CliOptions;
class MotorLink;

// flash FILE: the firmware transfer, a progress bar on a terminal and the motor's verdict.
class FirmwareCommand
{
public:
    // Reads and checks the image before anything is sent; usage errors for unreadable, empty
    // or oversized files.
    static CliStatus loadImage(const QString& path, QByteArray* image);
    static CliStatus run(const CliOptions& o, MotorLink& link);
};
