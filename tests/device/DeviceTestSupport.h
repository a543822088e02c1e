#pragma once

#include "RecordingDialogs.h"

#include <SimServer.h>

#include <QStringList>
#include <QVariantList>

#include <memory>
#include <ostream>

// Readable failures for QString values and lists.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace ve {
class DataObject;
}
class DeviceWidget;
class QWidget;

// A window with the device tree, the simulator on a pty offered through SERVOBENCH_PORTS, and
// the texts the block box was given.
class DeviceRig
{
public:
    explicit DeviceRig(const sim::SimConfig& cfg);
    ~DeviceRig();

    static sim::SimConfig motors(std::initializer_list<int> canIds);

    // Connects through the detection dialog and waits for `count` motors and the end of the scan.
    bool connectFromDialog(int count);
    // The node of the motor with this CAN ID.
    ve::DataObject* node(int canId) const;
    void makeCurrent(int canId);
    // Status lines, when the worker is idle again.
    bool idle(int ms = 5000) const;
    // The block-box texts as strings, a null value as "<null>".
    QStringList blocks() const;

    std::unique_ptr<sim::SimServer> sim;
    QWidget* window = nullptr;
    DeviceWidget* tree = nullptr;
    RecordingDialogs* dialogs = nullptr;
    QVariantList blockTexts;
    QStringList messages;

private:
    QByteArray m_oldPorts;
    QMetaObject::Connection m_block, m_status;
};
