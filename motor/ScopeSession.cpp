#include "ScopeSession.h"

#include "CANWorker.h"

ScopeSession::ScopeSession(CANWorker* worker, QObject* parent)
    : QObject(parent)
    , worker_(worker)
{
    poll_.setInterval(2);
    connect(&poll_, &QTimer::timeout, this, &ScopeSession::poll);
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
    if (worker_->engine()->sampleFileOpen())
        worker_->engine()->closeSampleFile();
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

bool ScopeSession::start(
    quint16 frequency, const std::array<quint16, ScopeDecoder::Slots>& types, const QString& samplePath)
{
    otaThread* eng = worker_->engine();
    if (starting_ || !worker_->currentDevice())
        return false;
    // A file that cannot be opened leaves saving off; recording goes on.
    if (!samplePath.isEmpty() && !eng->sampleFileOpen())
        eng->openSampleFile(samplePath);
    eng->setScopeFrequency(frequency);
    channels_ = eng->configureScopeChannels(types);
    starting_ = true;
    verdict_ = None;
    errorBits_ = 0;
    verdictWait_.invalidate();
    if (channels_ != 0 && worker_->runStep(STEP_SCOPE_SET_FRE)) {
        idleSince_.invalidate();
        poll_.start();
    } else {
        poll_.start();
        poll();
    }
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
    if (channels_ != 0 && waiting) {
        if (step != STEP_STOP) {
            idleSince_.invalidate();
            return;
        }
        if (!idleSince_.isValid())
            idleSince_.start();
        if (idleSince_.elapsed() < 1000)
            return;
    }
    if (channels_ != 0 && verdict_ == None) {
        // The engine is done; its last status is still on its way through the queue.
        if (!verdictWait_.isValid())
            verdictWait_.start();
        if (verdictWait_.elapsed() < 500)
            return;
        verdict_ = TimedOut;
    }
    poll_.stop();
    if (channels_ != 0 && verdict_ != Confirmed) {
        emit setupFailed(verdict_ == Refused, errorBits_);
        if (!starting_)
            return; // stopped from the signal
    }
    starting_ = false;
    worker_->runStep(STEP_SCOPE_START);
    emit started(channels_);
}

void ScopeSession::stop()
{
    poll_.stop();
    starting_ = false;
    worker_->runStep(STEP_SCOPE_STOP);
    worker_->engine()->closeSampleFile();
}
