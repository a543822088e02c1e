#include "ParamTransfer.h"

#include "CANWorker.h"
#include "ParamRow.h"

#include <DataManager.h>
#include <DataObject.h>

#include <QList>

#include <cstring>

namespace {
// Every live transfer: the engine runs one chain at a time, so starting one ends the others.
// Created, used and destroyed on the GUI thread only. Never destroyed itself: transfers are
// children of device nodes, which the data tree may delete after static destructors ran.
QList<ParamTransfer*>& transfers()
{
    static auto* all = new QList<ParamTransfer*>;
    return *all;
}
} // namespace

ParamTransfer::ParamTransfer(CANWorker* worker, ve::DataObject* device, QObject* parent)
    : QObject(parent)
    , worker_(worker)
    , device_(device)
{
    transfers().append(this);
    // The engine limits each request to about a second; this catches a request whose step
    // another command replaced, which no status will ever end.
    watchdog_.setSingleShot(true);
    watchdog_.setInterval(3000);
    connect(&watchdog_, &QTimer::timeout, this, &ParamTransfer::onSilence);
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

ParamTransfer::~ParamTransfer()
{
    transfers().removeAll(this);
}

ParamTransfer* ParamTransfer::of(CANWorker* worker, ve::DataObject* device)
{
    if (!device || device->isEmpty())
        return nullptr;
    for (ParamTransfer* t : device->findChildren<ParamTransfer*>(QString(), Qt::FindDirectChildrenOnly))
        if (t->worker_ == worker)
            return t;
    return new ParamTransfer(worker, device, device);
}

bool ParamTransfer::ownsTable() const
{
    if (!device_)
        return false;
    const int id = device_->r(QStringLiteral("info.can_id"))->getInt(0);
    return id > 0 && worker_->engine()->withParams([id](ParamTable& t) { return t.describedBy() == id; });
}

void ParamTransfer::message(const QString& text, const QString& tag)
{
    ve::d().rootDobj()->set(this, QStringLiteral("wnd.status.msg"),
        tag.isEmpty() ? text : QStringLiteral("<%1> %2").arg(tag, text), true);
}

void ParamTransfer::begin(Mode mode)
{
    for (ParamTransfer* t : transfers())
        if (t != this && t->worker_ == worker_)
            t->cancel();
    mode_ = mode;
}

template <class F>
bool ParamTransfer::request(F&& send)
{
    if (!device_)
        return false;
    ve::DataObject* previous = worker_->currentDevice();
    worker_->setCurrentDevice(device_);
    const bool sent = send();
    worker_->setCurrentDevice(previous);
    if (sent)
        watchdog_.start();
    return sent;
}

void ParamTransfer::end(bool ok)
{
    const Mode was = mode_;
    mode_ = Idle;
    watchdog_.stop();
    if (was == Describing)
        emit described(ok);
    else if (was == Resetting || was == Reloading)
        emit resetDone(ok);
    else
        emit finished(ok);
}

void ParamTransfer::cancel()
{
    if (mode_ != Idle)
        end(false);
}

bool ParamTransfer::describe()
{
    if (!device_)
        return false;
    begin(Describing);
    if (!request([this] { return worker_->command(CANWorker::LOAD_PARAM); })) {
        mode_ = Idle;
        return false;
    }
    return true;
}

bool ParamTransfer::upload()
{
    if (!device_ || !ownsTable())
        return false;
    begin(Uploading);
    if (!request([this] { return worker_->readParam(true); })) {
        mode_ = Idle;
        return false;
    }
    return true;
}

bool ParamTransfer::download()
{
    if (!device_ || !ownsTable())
        return false;
    begin(Downloading);
    if (!request([this] { return worker_->writeParam(true); })) {
        mode_ = Idle;
        return false;
    }
    return true;
}

bool ParamTransfer::factoryReset()
{
    if (!device_)
        return false;
    begin(Resetting);
    if (!request([this] { return worker_->runStep(STEP_RECOVER_FAC); })) {
        mode_ = Idle;
        return false;
    }
    return true;
}

void ParamTransfer::onSilence()
{
    if (mode_ == Idle)
        return;
    const QString code = ParamRow::codeText(worker_->engine()->transferCode());
    const QString name = worker_->deviceName(device_);
    if (mode_ == Uploading)
        message(tr("Upload parameters from %1 stopped: no answer to %2").arg(name, code),
            QStringLiteral("ERROR"));
    else if (mode_ == Downloading)
        message(tr("Download parameters to %1 stopped: no answer to %2").arg(name, code),
            QStringLiteral("ERROR"));
    else if (mode_ == Saving)
        message(tr("%1 did not confirm saving the parameters").arg(name), QStringLiteral("ERROR"));
    else if (mode_ == Resetting)
        message(tr("%1 did not confirm the factory reset").arg(name), QStringLiteral("ERROR"));
    else
        message(tr("%1 did not describe its parameters").arg(name), QStringLiteral("ERROR"));
    end(false);
}

void ParamTransfer::onStatus(quint32 code)
{
    if (mode_ == Idle)
        return;
    switch (code) {
    case OTA_STA_READ_PARA_OVER_TIME:
    case OTA_STA_READ_PARA_ERROR:
        if (mode_ == Uploading)
            end(false);
        break;
    case OTA_STA_WRITE_PARA_OVER_TIME:
    case OTA_STA_WRITE_PARA_ERROR:
        if (mode_ == Downloading || mode_ == Saving || mode_ == Resetting)
            end(false);
        break;
    case OTA_STA_WRITE_PARA_SUCCESS:
        if (mode_ == Resetting) {
            // The motor holds its factory values now: nothing edited against the old ones may
            // be written later, and the table must show what the motor has.
            worker_->engine()->withParams([](ParamTable& t) {
                for (int g : {0, 2})
                    for (int i = 0; i < t.count(g); ++i)
                        t.entry(g, i).modified = false;
            });
            mode_ = Reloading;
            if (!request([this] { return worker_->command(CANWorker::LOAD_PARAM); }))
                end(false);
        }
        break;
    case OTA_STA_SAVE_PARA_SUCCESS:
        if (mode_ == Saving) {
            message(tr("Download parameters table successfully!"));
            end(true);
        }
        break;
    case OTA_STA_GET_PARA_INFO_SUCCESS:
        // Anything but a description of ours: a new one replaced the table under the chain.
        end(mode_ == Reloading || mode_ == Describing);
        break;
    case OTA_STA_GET_PARA_INFO_ERROR:
        if (mode_ == Describing || mode_ == Reloading)
            reportIncomplete();
        end(false);
        break;
    case OTA_STA_GET_PARA_INFO_OVER_TIME:
        end(false);
        break;
    default:
        break;
    }
}

void ParamTransfer::reportIncomplete()
{
    // The worker stays silent on an incomplete description; without this line the user would
    // look at an empty table with no reason given.
    const quint32 bits = worker_->engine()->errorSet();
    QString text = tr("The parameter description of %1 is incomplete (error bits 0x%2).")
                       .arg(worker_->deviceName(device_))
                       .arg(bits, 0, 16);
    worker_->engine()->withParams([&text](ParamTable& t) {
        for (int g = 0; g < ParamTable::GroupCount; ++g)
            if (t.dropped(g))
                text += QLatin1Char(' ')
                    + tr("It describes %1 entries of group %2, which holds %3.")
                          .arg(t.dropped(g) + t.count(g))
                          .arg(g)
                          .arg(ParamTable::groupSize(g));
    });
    message(text, QStringLiteral("ERROR"));
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
        if (!request([this] { return worker_->readParam(false); }))
            end(false);
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
        if (t.valid(s, i) && i < t.count(s) && (s == 0 || s == 2)) {
            ParamEntry& e = t.entry(s, i);
            if (s == 0) {
                e.buffer[16] = 0;
                e.valueText = QString::fromUtf8(reinterpret_cast<const char*>(e.buffer));
            } else {
                std::memset(e.current, 0, sizeof(e.current));
                std::memcpy(e.current, e.buffer, sizeof(e.current));
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
    bool sent = false;
    if (found) {
        eng->setTransfer(group, quint16(index));
        sent = request([this] { return worker_->runStep(STEP_WRITE_PARA_STR); });
    } else {
        // Success is told only when the motor confirms the save.
        mode_ = Saving;
        sent = request([this] { return worker_->runStep(STEP_SAVE_PARA_STR); });
    }
    if (!sent)
        end(false);
}

ve::DataObject* ParamTransfer::device() const
{
    return device_.data();
}
