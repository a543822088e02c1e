#pragma once

#include "BenchRig.h"

class DeviceWidget;

// The device tree in the rig's window.
class DeviceRig : public BenchRig
{
public:
    explicit DeviceRig(const sim::SimConfig& cfg);

    // Connects through the detection dialog and waits for `count` motors and the end of the scan.
    bool connectFromDialog(int count);

    DeviceWidget* tree = nullptr;
};
