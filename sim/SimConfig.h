#pragma once

#include <QString>
#include <QVector>
#include <QtGlobal>

#include <initializer_list>

namespace sim {

// One simulated motor on the bus.
struct MotorConfig
{
    quint8 canId = 1; // 1..127
    quint64 mcuId = 0; // 0: derived from the CAN ID (see SimServer::defaultMcuId)
};

// Fault injection. Every field defaults to "no fault".
struct FaultConfig
{
    bool adapterSilent = false; // the adapter answers nothing, forwards nothing
    QVector<quint8> silentMotors; // CAN IDs that never answer; 0 in the list silences every motor
    int dropEvery = 0; // drop every n-th frame a motor sends (0: none)
    int delayMs = 0; // every motor frame leaves this much later
    int firmwareRetryAt = -1; // firmware frame index that is refused once with a retry request
    bool firmwareFailEnd = false; // the end-of-transfer frame is always answered with failure
    bool firmwareRetryForever = false; // firmwareRetryAt is refused every time, not once
    bool firmwareSilentEnd = false; // the end-of-transfer frame is never answered
    int scopeWrongTypeChannel = -1; // channel position whose type echo is wrong (0-based)
    bool linkModel = false; // wire time of 921600 baud serial and 1 Mbit/s CAN
    int usbLatencyUs = 0; // with linkModel: USB turnaround added in each direction
};

struct SimConfig
{
    QVector<MotorConfig> motors {MotorConfig {}}; // default: one motor, CAN ID 1
    quint32 adapterBaud = 921600; // the adapter's configured serial rate
    FaultConfig faults;
    QString linkPath; // optional symlink to the slave device
    QString tracePath; // optional trace file ("-" = standard error)
    QString firmwareOutPath; // optional file that receives each complete firmware image
    int calibrationMs = 3000; // length of an encoder calibration run
    int traceKeepLines = 20000; // trace lines kept in memory for traceLines()

    // A bus of motors with these CAN IDs and derived MCU IDs, everything else default.
    static SimConfig forCanIds(std::initializer_list<int> canIds)
    {
        SimConfig cfg;
        cfg.motors.clear();
        for (int id : canIds) {
            MotorConfig m;
            m.canId = quint8(id);
            cfg.motors.append(m);
        }
        return cfg;
    }
};

} // namespace sim
