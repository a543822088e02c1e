#pragma once

#include "RecordingDialogs.h"

#include <SimServer.h>

#include <QStringList>
#include <QVariantList>

#include <functional>
#include <memory>
#include <optional>
#include <ostream>

// Readable failures for QString values and lists.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

class CANWorker;
class QWidget;
namespace ve {
class DataObject;
}

// The program's services on the template's settings, the simulator on a pty (offered through
// SERVOBENCH_PORTS) unless none is given, an empty window for the pieces under test, and what a
// user would have seen: boxes, block-box texts and status lines. The window is shown by the
// rig that fills it.
class BenchRig
{
public:
    explicit BenchRig(const std::optional<sim::SimConfig>& cfg);
    virtual ~BenchRig();

    // The template's tree without devices, nothing current, and recording dialogs (returned)
    // installed: what every widget test starts from, with or without a rig.
    static RecordingDialogs* freshTree();

    static CANWorker* worker();
    // Connects the worker to the simulator and waits for `count` motors and the end of the scan.
    bool connect(int count, int ms = 10000);
    // Waits for `count` motors, the end of the scan and the simulator to have read every probe
    // (on a loaded machine the last ones are still in the pty when the engine stops).
    bool waitScanned(int count, int ms = 10000) const;
    ve::DataObject* node(int canId) const;
    void makeCurrent(int canId);
    // Until the worker's engine is idle again.
    bool idle(int ms = 5000) const;
    bool waitMessage(const QString& text, int ms = 10000) const;
    // The block-box texts as strings, a null value as "<null>".
    QStringList blocks() const;
    // Runs events, sleeping on the event loop, until cond holds.
    static bool waitFor(const std::function<bool()>& cond, int ms = 10000);
    static void pause(int ms);

    std::unique_ptr<sim::SimServer> sim;
    QWidget* window = nullptr;
    RecordingDialogs* dialogs = nullptr;
    QVariantList blockTexts;
    QStringList messages;

protected:
    // The block box over the window, for pieces that run long procedures.
    void addBlockBox();

private:
    QByteArray m_oldPorts;
    QMetaObject::Connection m_block, m_status;
};
