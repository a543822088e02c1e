#pragma once

#include "BenchRig.h"

class ConfigureTools;
class Editor;
class ParamTablePage;

// The editor and the Configure strip in the rig's window.
class ParamTablePageRig : public BenchRig
{
public:
    explicit ParamTablePageRig(const sim::SimConfig& cfg);

    // Opens (or reopens) the current device's page through its trigger and waits for its rows.
    ParamTablePage* openPage(int canId);
    int motor(int canId) const { return sim->motorIndexByCanId(quint8(canId)); }
    QVariant simValue(int canId, const QString& name) const;

    Editor* editor = nullptr;
    ConfigureTools* tools = nullptr;
};
