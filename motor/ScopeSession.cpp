#include "ScopeSession.h"

#include "CANWorker.h"

#include <DataObject.h>

ScopeSession::ScopeSession(CANWorker* worker, QObject* parent)
    : QObject(parent)
    , worker_(worker)
    , engine_(worker->engine())
{
    poll_.setInterval(2);
    connect(&poll_, &QTimer::timeout, this, &ScopeSession::poll);
    stopPoll_.setInterval(20);
    connect(&stopPoll_, &QTimer::timeout, this, &ScopeSession::onStopPoll);
    // In order and with the error bits of their moment, as the worker sees them.
    connect(worker->engine(), &otaThread::sendState, this, &ScopeSession::onStatus, Qt::QueuedConnection);
}

void ScopeSession::onStatus(const OtaStatus& s)
{
    if (!starting_)
        return;
    if (s.code == OTA_STA_PARA_UPDATE_SUCCESS_CHSET)
        verdict_ = Confirmed;
    else if (s.code == OTA_STA_PARA_UPDATE_ERROR)
        verdict_ = Refused;
    else if (s.code == OTA_STA_PARA_UPDATE_OVER_TIME)
        verdict_ = TimedOut;
    else if (s.code == OTA_STA_PARA_UPDATE_SUCCESS_FRESET)
        verdict_ = None; // the channel set-up follows
    else
        return;
    errorBits_ = s.errors;
}

ScopeSession::~ScopeSession()
{
    if (engine_ && engine_->sampleFileOpen())
        engine_->closeSampleFile();
}

QString ScopeSession::proposedFileName(const QDateTime& now)
{
    return QStringLiteral("./%1%2.txt")
        .arg(QStringLiteral("wave_"), now.toString(QStringLiteral("yyyy_MM_dd_hhmmss")));
}

std::array<quint16, ScopeDecoder::Slots> ScopeSession::slotTypes(const QVariantList& types)
{
    std::array<quint16, ScopeDecoder::Slots> out {};
    for (int k = 0; k < ScopeDecoder::Slots && k < types.size(); ++k)
        out[size_t(k)] = quint16(types[k].toUInt());
    return out;
}

bool ScopeSession::runStep(quint32 step)
{
    // The recorded motor stays the target even when the user activates another one meanwhile.
    otaThread* eng = worker_->engine();
    eng->setDevice0(mcuId_, canId_);
    eng->startStep(step);
    return true;
}

bool ScopeSession::start(
    quint16 frequency, const std::array<quint16, ScopeDecoder::Slots>& types, const QString& samplePath)
{
    otaThread* eng = worker_->engine();
    ve::DataObject* device = device_ ? device_.data() : worker_->currentDevice();
    if (starting_ || sampling_ || !device || device->isEmpty())
        return false;
    bool any = false;
    for (quint16 t : types)
        any = any || t != 0;
    if (!any)
        return false; // a start without channels would record time-only lines
    canId_ = quint8(device->r(QStringLiteral("info.can_id"))->getInt(0));
    mcuId_ = device->r(QStringLiteral("info.mcu_id"))->get().toULongLong();
    eng->setScopeFrequency(frequency);
    channels_ = eng->configureScopeChannels(types);
    if (channels_ == 0)
        return false;
    // A file that cannot be opened leaves saving off; recording goes on.
    if (!samplePath.isEmpty() && !eng->sampleFileOpen())
        eng->openSampleFile(samplePath);
    starting_ = true;
    stopping_ = false;
    stopPoll_.stop();
    verdict_ = None;
    errorBits_ = 0;
    verdictWait_.invalidate();
    idleSince_.invalidate();
    runStep(STEP_SCOPE_SET_FRE);
    poll_.start();
    return true;
}

void ScopeSession::poll()
{
    otaThread* eng = worker_->engine();
    const quint32 step = eng->step();
    const quint32 status = eng->status();
    // After the frequency reply the worker's queued reaction sends the first channel group;
    // until it has, the engine is idle with that status and the wait goes on.
    const bool waiting = step == STEP_SCOPE_CONFIG || step == STEP_SCOPE_SET_CHANNAL
        || (step == STEP_STOP && status == OTA_STA_PARA_UPDATE_SUCCESS_FRESET);
    if (waiting) {
        if (step != STEP_STOP) {
            idleSince_.invalidate();
            return;
        }
        if (!idleSince_.isValid())
            idleSince_.start();
        if (idleSince_.elapsed() < 1000)
            return;
    }
    if (verdict_ == None) {
        // The engine is done; its last status is still on its way through the queue.
        if (!verdictWait_.isValid())
            verdictWait_.start();
        if (verdictWait_.elapsed() < 500)
            return;
        verdict_ = TimedOut;
    }
    poll_.stop();
    starting_ = false;
    if (verdict_ != Confirmed) {
        // The motor would stream a layout the decoder does not expect: no start.
        eng->closeSampleFile();
        emit setupFailed(verdict_ == Refused, errorBits_);
        return;
    }
    sampling_ = true;
    runStep(STEP_SCOPE_START);
    emit started(channels_);
}

bool ScopeSession::stop()
{
    const bool active = starting_ || sampling_;
    poll_.stop();
    starting_ = false;
    sampling_ = false;
    worker_->engine()->closeSampleFile();
    if (!active)
        return false;
    stopping_ = true;
    runStep(STEP_SCOPE_STOP);
    stopWatch_.start();
    stopPoll_.start();
    return true;
}

void ScopeSession::onStopPoll()
{
    otaThread* eng = worker_->engine();
    const bool ended = eng->step() != STEP_SCOPE_STOP;
    if (!ended && stopWatch_.elapsed() < StopLimitMs)
        return;
    stopPoll_.stop();
    stopping_ = false;
    // The engine gives up on a silent motor by itself; this is the backstop should it not.
    if (!ended)
        eng->startStep(STEP_STOP);
    // The engine leaves the stop step sampling only when the motor never confirmed.
    emit stopped(!eng->scopeRunning());
}
