#pragma once

#include "RecordingDialogs.h"

#include <SimServer.h>

#include <QStringList>

#include <memory>
#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace ve {
class DataObject;
}
class CANWorker;
class Sidebar;
class QWidget;

// A window holding the motion panel, with the program's worker and, when given a bus, the
// simulator on a pty. Status lines and boxes are recorded.
class SidebarRig
{
public:
    // No simulator: devices are made by hand with addDevice().
    SidebarRig();
    explicit SidebarRig(const sim::SimConfig& cfg);
    ~SidebarRig();

    CANWorker* worker() const;
    // Connects to the simulator and waits for `count` motors and the end of the scan.
    bool connect(int count);
    // The node of the motor with this CAN ID (simulator) or of this name (hand-made).
    ve::DataObject* node(int canId) const;
    ve::DataObject* addDevice(const QString& name, int canId, bool connected = true);
    ve::DataObject* current() const;
    void makeCurrent(ve::DataObject* node);
    QStringList messagesContaining(const QString& text) const;

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
    static void pause(int ms);

    std::unique_ptr<sim::SimServer> sim;
    QWidget* window = nullptr;
    Sidebar* sidebar = nullptr;
    RecordingDialogs* dialogs = nullptr;
    QStringList messages;

private:
    void setUp();
    QMetaObject::Connection m_status;
};
