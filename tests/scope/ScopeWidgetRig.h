#pragma once

#include "RecordingDialogs.h"

#include <SimServer.h>

#include <QStringList>

#include <memory>

class AnalyzeTools;
class OscilloscopePage;
class QWidget;
namespace ve {
class DataObject;
}

// The program's services connected to the simulator on a pty, one motor whose parameter table
// is loaded and published, an Analyze strip and the recorded dialogs and status lines.
class ScopeWidgetRig
{
public:
    explicit ScopeWidgetRig(const sim::SimConfig& cfg = sim::SimConfig());
    ~ScopeWidgetRig();

    bool ready() const { return m_ready; }
    // Opens the oscilloscope page of the motor as the editor would and makes it the edit page.
    OscilloscopePage* openPage();
    // Slot k records the published parameter `name` ("" clears it).
    void choose(int slot, const QString& name);
    int channel(const QString& name) const;
    bool waitMessage(const QString& text, int ms = 5000) const;

    std::unique_ptr<sim::SimServer> sim;
    ve::DataObject* device = nullptr;
    QWidget* window = nullptr;
    AnalyzeTools* strip = nullptr;
    RecordingDialogs* dialogs = nullptr;
    QStringList messages;

private:
    bool m_ready = false;
    QMetaObject::Connection m_status;
};
