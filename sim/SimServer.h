#pragma once

#include "SimConfig.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

namespace sim {

class SimServerPrivate;

// The simulated USB-CAN adapter with its motors, served on a pseudo-terminal.
//
// start() opens a pty in raw mode (the server keeps its own slave descriptor open so a
// client may close and reopen the port), optionally links cfg.linkPath to it and serves
// it on a thread of its own until stop() or destruction. A client opens portPath() like
// any serial port.
//
// Every accessor is thread-safe: it takes the lock the serving thread holds while it
// handles bytes, so a test may assert while the server runs. Motors are addressed by
// their position in SimConfig::motors (stable even when a motor's CAN ID changes).
//
// On the wire: the adapter answers "OK\r\n" (or "ERROR\r\n") to AT commands and carries
// CAN frames in the "AT" envelope; bytes arriving while the client's line speed differs
// from the adapter's configured rate are ignored. Parameter names (for parameterCode())
// are those of SimParamTable, e.g. "mechPos", "loc_kp", "CAN_ID". Trace lines read
// "rx <envelope hex> | <fields>", "tx <envelope hex> | <fields>", "tx text OK",
// "adapter: ...", "motor <id>: ...", "firmware: ...", "scope: ...", "drop ...".
//
//     sim::SimConfig cfg;                       // one motor, CAN ID 1, 921600 baud
//     cfg.motors = {{1, 0}, {2, 0x1122334455667788}};
//     sim::SimServer server(cfg);
//     QString error;
//     if (!server.start(&error)) ...
//     QSerialPort port(server.portPath());      // open at 921600, talk, close, reopen
//     ...
//     server.motorModeState(0);                 // 2 after a type-3 frame
class SimServer
{
public:
    explicit SimServer(const SimConfig& cfg);
    ~SimServer(); // stops the server
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Opens the pty and starts the serving thread. False with *error set on failure.
    bool start(QString* error = nullptr);
    // Stops the thread, closes the pty and removes the symlink. Safe to call twice.
    void stop();
    bool isRunning() const;
    QString portPath() const; // the slave device, e.g. /dev/pts/7

    // Called on the serving thread for lines a user should see (firmware image size and
    // CRC-32, ...). Set before start().
    void setMessageHandler(std::function<void(const QString&)> handler);

    // SimTrace of what was received and sent (also written to cfg.tracePath when set).
    QStringList traceLines() const;
    void clearTrace();

    // Counters of CAN frames in envelopes: received from the client / sent to it
    // (dropped frames are not counted as sent).
    quint64 framesReceived() const;
    quint64 framesSent() const;

    // What the link model implies (zero without it): busyUs is the time something was on the
    // wire, in the adapter or in USB transit since the last reset, the floor any host could reach
    // for the same traffic; each host turnaround is the gap from the link falling idle after
    // bytes to the host to the host's next bytes (gaps of a second or more are not turnarounds).
    struct LinkStats
    {
        double busyUs = 0;
        int turnarounds = 0;
        double turnaroundP50Us = 0;
        double turnaroundP99Us = 0;
        // The simulator's own wake-up lateness for the answers: part of every round trip, not
        // of the host's turnaround.
        double lateP50Us = 0;
        double lateP99Us = 0;
    };
    LinkStats linkStats() const;
    void resetLinkStats();

    // SimAdapter state.
    quint32 adapterBaud() const; // current configured serial rate
    bool adapterInConfigMode() const;
    quint32 adapterCanBaud() const;

    // Last complete firmware image (any motor) and its CRC-32; count of images received.
    QByteArray lastFirmwareImage() const;
    quint32 lastFirmwareCrc() const;
    int firmwareImageCount() const;

    // Motors.
    int motorCount() const;
    int motorIndexByCanId(quint8 canId) const; // -1 when none
    quint8 motorCanId(int motor) const;
    quint64 motorMcuId(int motor) const;
    int motorModeState(int motor) const; // 0 reset, 1 calibration, 2 motor, 3 brake
    int motorRunMode(int motor) const; // run mode (0 MIT ... 8 open loop, 7 jog)
    bool motorScopeRunning(int motor) const;
    // A parameter's current value by code (group << 12 | index): a QString for text
    // groups 0 and 1, a qlonglong / qulonglong / double for typed values. Invalid when the
    // code does not exist.
    QVariant parameterValue(int motor, quint16 code) const;
    // The code of a parameter by name, or -1.
    int parameterCode(int motor, const QString& name) const;

    // The MCU ID given to a motor configured with mcuId 0.
    static quint64 defaultMcuId(quint8 canId);

private:
    std::unique_ptr<SimServerPrivate> d;
};

} // namespace sim
