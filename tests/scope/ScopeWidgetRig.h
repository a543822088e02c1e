#pragma once

#include "BenchRig.h"

class AnalyzeTools;
class OscilloscopePage;

// One motor whose parameter table is loaded and published, and an Analyze strip in the rig's
// window.
class ScopeWidgetRig : public BenchRig
{
public:
    explicit ScopeWidgetRig(const sim::SimConfig& cfg = sim::SimConfig());
    ~ScopeWidgetRig() override;

    bool ready() const { return m_ready; }
    // Opens the oscilloscope page of the motor as the editor would and makes it the edit page.
    OscilloscopePage* openPage();
    // Slot k records the published parameter `name` ("" clears it).
    void choose(int slot, const QString& name);
    int channel(const QString& name) const;

    ve::DataObject* device = nullptr;
    AnalyzeTools* strip = nullptr;

private:
    bool m_ready = false;
};
