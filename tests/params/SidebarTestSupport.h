#pragma once

#include "BenchRig.h"

class Sidebar;

// The motion panel in the rig's window; devices come from the simulator or are made by hand.
class SidebarRig : public BenchRig
{
public:
    // No simulator: devices are made by hand with addDevice().
    SidebarRig();
    explicit SidebarRig(const sim::SimConfig& cfg);

    // As BenchRig::connect, then the simulator's trace starts empty.
    bool connect(int count);
    ve::DataObject* addDevice(const QString& name, int canId, bool connected = true);
    ve::DataObject* current() const;
    using BenchRig::makeCurrent;
    void makeCurrent(ve::DataObject* node);

    // Frames the simulator received, as its trace describes them ("type 1 ext .. src fd dst 01
    // len 8 data ..."), with their time in seconds; and the ones matching a fragment.
    struct Frame
    {
        double at;
        QString text;
    };
    QList<Frame> frames(const QString& fragment = QString()) const;
    int count(const QString& fragment) const { return frames(fragment).size(); }
    // Waits until `count(fragment)` reaches n.
    bool waitFrames(const QString& fragment, int n, int ms = 5000) const;

    Sidebar* sidebar = nullptr;

private:
    void setUp();
};
