#include "ParamTransfer.h"

#include "CANWorker.h"

#include <DataManager.h>
#include <DataObject.h>

ParamTransfer::ParamTransfer(CANWorker* worker, ve::DataObject* device, QObject* parent)
    : QObject(parent)
    , worker_(worker)
    , device_(device)
{
    device->insert(this, QStringLiteral("_trigger.param.upload"));
    device->insert(this, QStringLiteral("_trigger.param.download"));
    connect(device->r(QStringLiteral("_trigger.param.upload")), &ve::DataObject::changed, this,
        &ParamTransfer::onUpload);
    connect(device->r(QStringLiteral("_trigger.param.download")), &ve::DataObject::changed, this,
        &ParamTransfer::onDownload);
    connect(
        worker->engine(), &otaThread::sendState, this, [this](const OtaStatus& s) { onStatus(s.code); },
        Qt::QueuedConnection);
}

void ParamTransfer::message(const QString& text)
{
    ve::d().rootDobj()->set(this, QStringLiteral("wnd.status.msg"), text, true);
}

void ParamTransfer::end(bool ok)
{
    mode_ = Idle;
    emit finished(ok);
}

bool ParamTransfer::upload()
{
    if (!device_)
        return false;
    worker_->setCurrentDevice(device_);
    mode_ = Uploading;
    if (!worker_->readParam(true)) {
        mode_ = Idle;
        return false;
    }
    return true;
}

bool ParamTransfer::download()
{
    if (!device_)
        return false;
    worker_->setCurrentDevice(device_);
    mode_ = Downloading;
    if (!worker_->writeParam(true)) {
        mode_ = Idle;
        return false;
    }
    return true;
}

void ParamTransfer::onStatus(quint32 code)
{
    if (mode_ == Idle)
        return;
    switch (code) {
    case OTA_STA_READ_PARA_OVER_TIME:
    case OTA_STA_READ_PARA_ERROR:
    case OTA_STA_WRITE_PARA_OVER_TIME:
    case OTA_STA_WRITE_PARA_ERROR:
        end(false);
        break;
    case OTA_STA_SAVE_PARA_SUCCESS:
        if (mode_ == Downloading)
            end(true);
        break;
    default:
        break;
    }
}

void ParamTransfer::onUpload()
{
    if (mode_ != Uploading)
        return;
    otaThread* eng = worker_->engine();
    const quint16 code = eng->transferCode();
    const int s = code >> 12;
    const int i = code & 0xFFF;
    const bool shown = eng->withParams([&](ParamTable& t) {
        if (s >= 4 || i >= t.count(s))
            return false;
        ParamEntry& e = t.entry(s, i);
        if (s == 2)
            e.valueText = ParamTable::valueToText(e.type, e.current);
        e.modified = false;
        return true;
    });
    if (shown)
        emit rowUpdated(s, i);

    // One group at most per answer: an empty group still costs one request for its index 0.
    int group = eng->transferGroup();
    int index = eng->transferIndex() + 1;
    const int count = eng->withParams([&](ParamTable& t) { return int(t.count(group)); });
    if (index >= count) {
        index = 0;
        ++group;
        if (group == 4)
            message(tr("Upload parameters table successfully!"));
    }
    eng->setTransfer(group, quint16(index));
    if (group < 4) {
        worker_->setCurrentDevice(device_);
        worker_->readParam(false);
    } else {
        end(true);
    }
}

void ParamTransfer::onDownload()
{
    if (mode_ != Downloading)
        return;
    otaThread* eng = worker_->engine();
    if (eng->transferGroup() > 3)
        return;
    const quint16 code = eng->transferCode();
    const int s = code >> 12;
    const int i = code & 0xFFF;
    int group = eng->transferGroup();
    int index = eng->transferIndex();
    const bool found = eng->withParams([&](ParamTable& t) {
        if (t.valid(s, i) && (s == 0 || s == 2)) {
            ParamEntry& e = t.entry(s, i);
            if (s == 0) {
                e.buffer[16] = 0;
                e.valueText = QString::fromUtf8(reinterpret_cast<const char*>(e.buffer));
            } else {
                std::memcpy(e.current, e.buffer, 8);
                e.valueText = ParamTable::valueToText(e.type, e.current);
            }
            e.modified = false;
        }
        // The next modified entry after the transfer position; groups 1 and 3 are never written.
        for (++index;; ++index) {
            if (index >= t.count(group)) {
                if (group == 0) {
                    group = 2;
                    index = -1;
                    continue;
                }
                return false;
            }
            if (t.entry(group, index).modified)
                return true;
        }
    });
    emit committed(s, i);
    worker_->setCurrentDevice(device_);
    if (found) {
        eng->setTransfer(group, quint16(index));
        worker_->runStep(STEP_WRITE_PARA_STR);
    } else {
        worker_->runStep(STEP_SAVE_PARA_STR);
        message(tr("Download parameters table successfully!"));
    }
}
