#include "FirmwareUpdate.h"

#include "CANWorker.h"

#include <DataManager.h>
#include <DataObject.h>

#include <QFile>

FirmwareUpdate::FirmwareUpdate(CANWorker* worker, QObject* parent)
    : QObject(parent)
    , worker_(worker)
{
    poll_.setInterval(2);
    connect(&poll_, &QTimer::timeout, this, &FirmwareUpdate::poll);
}

bool FirmwareUpdate::startFile(const QString& path)
{
    QFile f(path);
    QByteArray image;
    if (f.open(QIODevice::ReadOnly))
        image = f.readAll();
    return start(image);
}

void FirmwareUpdate::block(const QString& text)
{
    ve::d().rootDobj()->set(
        this, QStringLiteral("trigger.block"), text.isEmpty() ? QVariant() : QVariant(text), true);
    emit blockText(text);
}

bool FirmwareUpdate::start(const QByteArray& image)
{
    if (phase_ != Idle)
        return false;
    if (!worker_->currentDevice()) {
        emit finished(false, tr("No activated device!"));
        return false;
    }
    worker_->engine()->setImage(image);
    block(tr("Erasing flash..."));
    if (!worker_->command(CANWorker::UPDATE)) {
        block(QString());
        emit finished(false, tr("No activated device!"));
        return false;
    }
    phase_ = Entering;
    poll_.start();
    return true;
}

void FirmwareUpdate::progressChanged()
{
    block(tr("Sending file... %1%").arg(ve::d("temp_device.update_progress")->getInt()));
}

void FirmwareUpdate::poll()
{
    otaThread* eng = worker_->engine();
    const quint32 step = eng->step();
    if (phase_ == Entering) {
        if (step == STEP_IN_OTA)
            return;
        if (step != STEP_SEND_INFO) {
            block(QString());
            finish(false,
                eng->status() == OTA_STA_IN_OTA_MODE_OVER_TIME ? tr("Enter update mode overtime!")
                                                               : tr("Erasing flash failed!"));
            return;
        }
        block(tr("Sending file... %1%").arg(0));
        progressConn_ = connect(ve::d("temp_device.update_progress"), &ve::DataObject::changed, this,
            &FirmwareUpdate::progressChanged);
        phase_ = Sending;
        endWait_.invalidate();
        lastFrames_ = 0;
        sinceProgress_.start();
        eng->startStep(STEP_SEND_INFO);
        return;
    }
    if (phase_ != Sending)
        return;
    if (step == STEP_SEND_INFO || step == STEP_SEND_BIN) {
        // A healthy transfer of a large image takes minutes: only a transfer that stopped
        // making progress is abandoned.
        const quint32 frames = eng->framesSent();
        if (frames != lastFrames_) {
            lastFrames_ = frames;
            sinceProgress_.restart();
        } else if (sinceProgress_.elapsed() > stallLimit_) {
            disconnect(progressConn_);
            block(QString());
            eng->startStep(STEP_STOP);
            finish(false, tr("Update timeout!"));
        }
        return;
    }
    // The motor judges the whole image only in its answer to the end frame; a failure there must
    // not be shown as success. Motors that never answer keep the verdict of the last data frame.
    const quint32 status = eng->status();
    if (step == STEP_SEND_END && status == OTA_STA_SEND_BIN_DONE) {
        if (!endWait_.isValid())
            endWait_.start();
        if (endWait_.elapsed() < EndAnswerMs)
            return;
    }
    disconnect(progressConn_);
    block(QString());
    switch (status) {
    case OTA_STA_SEND_BIN_DONE:
    case OTA_STA_SUCCESS:
        finish(true, tr("Update successfully!"));
        break;
    case OTA_STA_BINFILE_EMPTY:
        finish(false, tr("File contains no data!"));
        break;
    case OTA_STA_BINFILE_SIZE_OVER_LIMIT:
        finish(false, tr("File size over 512KB!"));
        break;
    case OTA_STA_OTA_INFO_OVER_TIME:
        finish(false, tr("Sending file info failed!"));
        break;
    default:
        finish(false, tr("Update failed!"));
        break;
    }
}

void FirmwareUpdate::finish(bool ok, const QString& text)
{
    poll_.stop();
    phase_ = Idle;
    emit finished(ok, text);
}
