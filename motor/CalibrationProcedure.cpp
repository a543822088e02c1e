#include "CalibrationProcedure.h"

#include "CANWorker.h"

CalibrationProcedure::CalibrationProcedure(CANWorker* worker, QObject* parent)
    : QObject(parent)
    , worker_(worker)
{
    limit_.setSingleShot(true);
    // A coarse timer may fire up to 5 % early, well before the 8000 ms the motor is given.
    limit_.setTimerType(Qt::PreciseTimer);
    connect(&limit_, &QTimer::timeout, this, &CalibrationProcedure::onTimeout);
    // Queued like the worker's own reaction, so the statuses arrive here one by one in the
    // order they were set, each with the values of its moment.
    connect(
        worker->engine(), &otaThread::sendState, this, &CalibrationProcedure::onStatus, Qt::QueuedConnection);
}

bool CalibrationProcedure::start()
{
    if (phase_ != Idle || !worker_->currentDevice())
        return false;
    enter(Preparing, tr("Preparing calibration..."));
    if (!worker_->command(CANWorker::ENCODER_CALIBRATION)) {
        phase_ = Idle;
        emit blockText(QStringLiteral(""));
        return false;
    }
    limit_.start(EnterLimitMs);
    return true;
}

void CalibrationProcedure::enter(Phase phase, const QString& text)
{
    phase_ = phase;
    emit blockText(text);
}

void CalibrationProcedure::onStatus(const OtaStatus& s)
{
    if (phase_ == Idle)
        return;
    switch (s.code) {
    case OTA_STA_ENCODER_CALI_ING:
    case OTA_STA_ENCODER_CALI_RESULT:
    case OTA_STA_ENCODER_CALI_DONE:
        break;
    case OTA_STA_CALI_MODE_SUCCESS:
    case OTA_STA_MOTOR_FEEDBACK:
    case OTA_STA_MOTOR_FAULTWARN:
        // The motor is alive, but these say nothing about the progress.
        if (phase_ != Preparing)
            limit_.start(silenceMs_);
        return;
    default:
        return;
    }
    // Only a progress report starts the run; a report left from an earlier run does not.
    if (phase_ == Preparing && s.code != OTA_STA_ENCODER_CALI_ING)
        return;
    emit report(s);
    if (phase_ == Preparing)
        enter(Calibrating, tr("Calibrating encoder..."));
    if (phase_ == Calibrating && s.code != OTA_STA_ENCODER_CALI_ING)
        enter(Saving, tr("Saving calibration result..."));
    if (s.code == OTA_STA_ENCODER_CALI_DONE) {
        end(true, double(s.electricalOffset));
        return;
    }
    limit_.start(silenceMs_);
}

void CalibrationProcedure::onTimeout()
{
    if (phase_ != Idle)
        end(false, 0);
}

void CalibrationProcedure::end(bool ok, double offset)
{
    limit_.stop();
    enter(Idle, QStringLiteral(""));
    emit finished(ok, ok ? QString() : tr("Calibration failed!"), offset);
}
