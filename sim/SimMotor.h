#pragma once

#include "SimCanFrame.h"
#include "SimFirmwareReceiver.h"
#include "SimParamTable.h"
#include "SimRotor.h"
#include "SimScopeStreamer.h"

#include <functional>
#include <vector>

namespace sim {

struct MotorConfig;
struct FaultConfig;

// One simulated servo on the bus: answers the frames addressed to it, runs its rotor
// model and streams calibration and oscilloscope frames from tick().
class SimMotor
{
public:
    using TraceFn = std::function<void(const QString&)>;
    using ImageFn = std::function<void(quint8 canId, const QByteArray& image)>;

    enum ModeState
    {
        ResetMode = 0,
        CalibrationMode = 1,
        MotorMode = 2,
        BrakeMode = 3
    };

    SimMotor(quint8 canId, quint64 mcuId, const FaultConfig& faults, int calibrationMs, TraceFn trace,
        ImageFn image);

    // Handles a frame from the bus. Frames not for this motor are ignored.
    void handle(const SimCanFrame& f, qint64 nowUs, std::vector<SimCanFrame>* out);
    // Advances the rotor and the streams to nowUs.
    void tick(qint64 nowUs, std::vector<SimCanFrame>* out);
    // When tick() should run next.
    qint64 nextWakeUs(qint64 nowUs) const;

    quint8 canId() const { return canId_; }
    quint64 mcuId() const { return mcuId_; }
    int modeState() const { return mode_; }
    int runMode() const { return int(table_.number("run_mode")); }
    bool scopeRunning() const { return scope_.running(); }
    const SimParamTable& params() const { return table_; }
    // A parameter's value with the live quantities brought up to date.
    QVariant parameterValue(quint16 code);
    const SimRotor& rotor() const { return rotor_; }
    SimCanFrame announcement() const;

private:
    SimCanFrame feedback() const;
    void setMode(ModeState m);
    void refreshLive();
    void step(double dt);
    double controlTorque(double t);
    void describe(std::vector<SimCanFrame>* out);
    void read(const SimCanFrame& f, std::vector<SimCanFrame>* out);
    void write(const SimCanFrame& f, std::vector<SimCanFrame>* out);
    void sdo(const SimCanFrame& f, std::vector<SimCanFrame>* out);
    void mit(const SimCanFrame& f);
    void startCalibration(qint64 nowUs);
    void calibrationTick(qint64 nowUs, std::vector<SimCanFrame>* out);
    void checkFaults(std::vector<SimCanFrame>* out);

    quint8 canId_;
    quint64 mcuId_;
    int calibrationMs_;
    TraceFn trace_;
    ImageFn image_;
    SimParamTable table_;
    SimRotor rotor_;
    SimScopeStreamer scope_;
    SimFirmwareReceiver firmware_;

    ModeState mode_ = ResetMode;
    quint8 faultFlags_ = 0;
    quint32 faultWord_ = 0;
    quint32 warnWord_ = 0;
    qint64 overTempSinceUs_ = -1;
    qint64 simUs_ = -1; // time the rotor model has reached
    qint64 bootUs_ = -1;

    // MIT set-points
    double mitPos_ = 0, mitVel_ = 0, mitKp_ = 0, mitKd_ = 0, mitTorque_ = 0;
    double speedIntegral_ = 0;
    bool jogging_ = false;

    // parameter write in progress
    quint16 writeCode_ = 0;
    int writeNext_ = 0;
    QByteArray writeBuf_;

    // encoder calibration
    qint64 caliStartUs_ = -1;
    int caliSent_ = 0; // progress frames and rows sent
};

} // namespace sim
