#include "CalibrationProcedure.h"

#include "CANWorker.h"

#include <DataManager.h>
#include <DataObject.h>

CalibrationProcedure::CalibrationProcedure(CANWorker* worker, QObject* parent)
    : QObject(parent)
    , worker_(worker)
{
    poll_.setInterval(2);
    connect(&poll_, &QTimer::timeout, this, &CalibrationProcedure::poll);
}

void CalibrationProcedure::block(const QString& text)
{
    ve::d().rootDobj()->set(
        this, QStringLiteral("trigger.block"), text.isEmpty() ? QVariant() : QVariant(text), true);
    emit blockText(text);
}

bool CalibrationProcedure::start()
{
    if (phase_ != Idle || !worker_->currentDevice())
        return false;
    block(tr("Preparing calibration..."));
    if (!worker_->command(CANWorker::ENCODER_CALIBRATION)) {
        block(QString());
        return false;
    }
    phase_ = Preparing;
    clock_.start();
    poll_.start();
    return true;
}

void CalibrationProcedure::poll()
{
    const quint32 status = worker_->engine()->status();
    switch (phase_) {
    case Preparing:
        if (status == OTA_STA_ENCODER_CALI_ING) {
            block(tr("Calibrating encoder..."));
            phase_ = Calibrating;
        } else if (clock_.elapsed() > 8000) {
            poll_.stop();
            phase_ = Idle;
            block(QString());
            emit finished(false, tr("Calibration failed!"));
        }
        break;
    case Calibrating:
        if (status != OTA_STA_ENCODER_CALI_ING) {
            block(tr("Saving calibration result..."));
            phase_ = Saving;
        }
        break;
    case Saving:
        if (status != OTA_STA_ENCODER_CALI_RESULT) {
            poll_.stop();
            phase_ = Idle;
            block(QString());
            emit finished(true, QString());
        }
        break;
    case Idle:
        poll_.stop();
        break;
    }
}
