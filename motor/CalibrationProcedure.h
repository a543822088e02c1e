#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class CANWorker;

// Encoder calibration of the current device: waits up to 8000 ms for the progress state, then
// for the progress and the result rows to end, with the block-box texts of each phase.
class CalibrationProcedure : public QObject
{
    Q_OBJECT
public:
    explicit CalibrationProcedure(CANWorker* worker, QObject* parent = nullptr);
    bool start();
    bool running() const { return phase_ != Idle; }

signals:
    void blockText(QString text);
    // ok, or the error text "Calibration failed!".
    void finished(bool ok, QString text);

private:
    enum Phase
    {
        Idle,
        Preparing,
        Calibrating,
        Saving
    };
    void poll();
    void block(const QString& text);

    CANWorker* worker_;
    QTimer poll_;
    QElapsedTimer clock_;
    Phase phase_ = Idle;
};
