#include "FirmwareUpdate.h"

#include "CANWorker.h"

#include <DataManager.h>
#include <DataObject.h>

#include <QFile>

namespace {
// The engine gives the motor 8000 ms to enter update mode; its status may come a little later.
constexpr int EnterLimitMs = 8000 + 2000;
} // namespace

FirmwareUpdate::FirmwareUpdate(CANWorker* worker, QObject* parent)
    : QObject(parent)
    , worker_(worker)
{
    limit_.setSingleShot(true);
    // A coarse timer may fire up to 5 % early: the limits are promised as they stand.
    limit_.setTimerType(Qt::PreciseTimer);
    connect(&limit_, &QTimer::timeout, this, &FirmwareUpdate::onLimit);
    // Queued like the worker's reaction: the statuses arrive one by one, in order.
    connect(worker->engine(), &otaThread::sendState, this, &FirmwareUpdate::onStatus, Qt::QueuedConnection);
    // Queued: the worker is still closing the port (Disconnect, or a failed adapter) when told.
    connect(
        worker->port(), &QIODevice::aboutToClose, this, &FirmwareUpdate::onPortClosed, Qt::QueuedConnection);
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
    frames_ = quint32((qint64(image.size()) + 7) / 8);
    best_ = 0;
    confirmed_ = false;
    block(tr("Erasing flash..."));
    if (!worker_->command(CANWorker::UPDATE)) {
        block(QString());
        emit finished(false, tr("No activated device!"));
        return false;
    }
    phase_ = Entering;
    since_.start();
    limit_.start(EnterLimitMs);
    if (!worker_->isConnected())
        QMetaObject::invokeMethod(this, &FirmwareUpdate::onPortClosed, Qt::QueuedConnection);
    return true;
}

void FirmwareUpdate::progressChanged()
{
    block(tr("Sending file... %1%").arg(ve::d("temp_device.update_progress")->getInt()));
}

void FirmwareUpdate::startSending()
{
    block(tr("Sending file... %1%").arg(0));
    progressConn_ = connect(ve::d("temp_device.update_progress"), &ve::DataObject::changed, this,
        &FirmwareUpdate::progressChanged);
    phase_ = Sending;
    since_.restart();
    sinceProgress_.start();
    armSendingLimit();
    worker_->engine()->startStep(STEP_SEND_INFO);
}

void FirmwareUpdate::onStatus(const OtaStatus& s)
{
    switch (phase_) {
    case Idle:
        return;
    case Entering:
        if (s.code == OTA_STA_IN_OTA_MODE_SUCCESS) {
            startSending();
        } else if (s.code == OTA_STA_IN_OTA_MODE_OVER_TIME) {
            finish(false, tr("Enter update mode overtime!"));
        }
        return;
    case Sending:
    case Ending:
        break;
    }
    switch (s.code) {
    case OTA_STA_SEND_BIN_OK:
    case OTA_STA_SEND_BIN_RETRY:
        // Progress is a frame the motor never took before; resuming at an earlier one is not.
        if (s.framesSent > best_) {
            best_ = s.framesSent;
            sinceProgress_.restart();
        }
        break;
    case OTA_STA_SEND_BIN_DONE:
        phase_ = Ending;
        since_.restart();
        limit_.start(EndAnswerMs);
        break;
    case OTA_STA_SUCCESS:
        if (phase_ == Ending) {
            confirmed_ = true;
            finish(true, tr("Update successfully!"));
        }
        break;
    case OTA_STA_FAILED:
        finish(false, tr("Update failed!"));
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
        break;
    }
}

void FirmwareUpdate::onPortClosed()
{
    if (phase_ == Idle)
        return;
    // Whatever was sent, the motor's verdict can not arrive.
    worker_->engine()->startStep(STEP_STOP);
    finish(false, phase_ == Entering ? tr("Erasing flash failed!") : tr("Update failed!"));
}

void FirmwareUpdate::armSendingLimit()
{
    // Progress is not tracked by re-arming per frame (thousands a second): the timer fires at
    // the nearer of the two limits as they stood, and re-arms when progress moved it.
    const qint64 ceiling = qint64(stallLimit_) + qint64(frames_) * CeilingPerFrameMs;
    const qint64 left = qMin(stallLimit_ - sinceProgress_.elapsed(), ceiling - since_.elapsed());
    limit_.start(int(qMax<qint64>(left, 0)) + 1);
}

void FirmwareUpdate::onLimit()
{
    switch (phase_) {
    case Idle:
        return;
    case Entering:
        // The request was replaced by another step: no firmware status will come.
        finish(false, tr("Erasing flash failed!"));
        return;
    case Sending: {
        const qint64 ceiling = qint64(stallLimit_) + qint64(frames_) * CeilingPerFrameMs;
        if (sinceProgress_.elapsed() > stallLimit_ || since_.elapsed() > ceiling) {
            worker_->engine()->startStep(STEP_STOP);
            finish(false, tr("Update timeout!"));
        } else {
            armSendingLimit();
        }
        return;
    }
    case Ending:
        // Motors that never answer the end frame keep the verdict of the last data frame.
        finish(true, tr("Update successfully!"));
        return;
    }
}

void FirmwareUpdate::finish(bool ok, const QString& text)
{
    if (phase_ == Idle)
        return;
    limit_.stop();
    disconnect(progressConn_);
    block(QString());
    phase_ = Idle;
    emit finished(ok, text);
}
