#pragma once

#include "OtaStatus.h"

#include <QObject>
#include <QTimer>

class CANWorker;

// Encoder calibration of the current device. Follows the engine's statuses in the order they
// were set: up to 8000 ms for the first progress report, then the progress rows, the result
// rows and the final offset. The mode acknowledgement and motor feedback may arrive between
// progress reports and neither start nor end a phase. A motor that stops reporting while it
// calibrates or saves ends the run as failed instead of keeping the caller waiting for ever.
class CalibrationProcedure : public QObject
{
    Q_OBJECT
public:
    static constexpr int EnterLimitMs = 8000;
    static constexpr int DefaultSilenceLimitMs = 15000;

    explicit CalibrationProcedure(CANWorker* worker, QObject* parent = nullptr);
    // Sends the calibration command; false (nothing sent) when busy or without a current device.
    bool start();
    bool running() const { return phase_ != Idle; }
    void setSilenceLimitMs(int ms) { silenceMs_ = ms; }
    int silenceLimitMs() const { return silenceMs_; }

signals:
    // "Preparing calibration...", "Calibrating encoder...", "Saving calibration result...", and
    // an empty text when the run ends.
    void blockText(QString text);
    // Every progress (30), result (31) and final (32) report of the run, in order.
    void report(OtaStatus status);
    // ok with the electrical offset the motor reported, or the error text "Calibration failed!".
    void finished(bool ok, QString text, double electricalOffset);

private:
    enum Phase
    {
        Idle,
        Preparing,
        Calibrating,
        Saving
    };
    void onStatus(const OtaStatus& s);
    void onTimeout();
    void enter(Phase phase, const QString& text);
    void end(bool ok, double offset);

    CANWorker* worker_;
    QTimer limit_;
    Phase phase_ = Idle;
    int silenceMs_ = DefaultSilenceLimitMs;
};
