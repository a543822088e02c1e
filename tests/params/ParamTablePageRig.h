#pragma once

#include "RecordingDialogs.h"

#include <SimServer.h>

#include <QStringList>
#include <QVariantList>

#include <functional>
#include <memory>

class ConfigureTools;
class Editor;
class ParamTablePage;
class QWidget;
namespace ve {
class DataObject;
}

// The editor and the Configure strip in a window, connected over a pty to the simulator, with
// the recorded boxes, block-box texts and status lines.
class ParamTablePageRig
{
public:
    explicit ParamTablePageRig(const sim::SimConfig& cfg);
    ~ParamTablePageRig();

    // Connects and waits for `count` motors and the end of the scan.
    bool connect(int count);
    ve::DataObject* node(int canId) const;
    void makeCurrent(int canId);
    // Opens (or reopens) the current device's page through its trigger and waits for its rows.
    ParamTablePage* openPage(int canId);
    // Runs events until cond holds.
    static bool waitFor(const std::function<bool()>& cond, int ms = 10000);
    bool waitMessage(const QString& text, int ms = 10000) const;
    int motor(int canId) const { return sim->motorIndexByCanId(quint8(canId)); }
    QVariant simValue(int canId, const QString& name) const;

    std::unique_ptr<sim::SimServer> sim;
    QWidget* window = nullptr;
    Editor* editor = nullptr;
    ConfigureTools* tools = nullptr;
    RecordingDialogs* dialogs = nullptr;
    QVariantList blockTexts;
    QStringList messages;

private:
    QMetaObject::Connection m_block, m_status;
};
