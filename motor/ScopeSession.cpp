#include "ScopeSession.h"

#include "CANWorker.h"

#include <DataObject.h>

ScopeSession::ScopeSession(CANWorker* worker, QObject* parent)
    : QObject(parent)
    , worker_(worker)
    , engine_(worker->engine())
{
    limit_.setSingleShot(true);
    limit_.setTimerType(Qt::PreciseTimer); // a coarse timer may fire 5 % early
    connect(&limit_, &QTimer::timeout, this, &ScopeSession::onLimit);
    // In order and with the error bits of their moment, as the worker sees them.
    connect(worker->engine(), &otaThread::sendState, this, &ScopeSession::onStatus, Qt::QueuedConnection);
}

void ScopeSession::onStatus(const OtaStatus& s)
{
    if (starting_) {
        switch (s.code) {
        case OTA_STA_PARA_UPDATE_SUCCESS_FRESET:
            // The worker sends the channel groups next; each has the engine's limit again.
            limit_.start((channels_ + 3) / 4 * ExchangeLimitMs + SetupGraceMs);
            break;
        case OTA_STA_PARA_UPDATE_SUCCESS_CHSET:
            conclude(Confirmed, s.errors);
            break;
        case OTA_STA_PARA_UPDATE_ERROR:
            // Another motor's sample error while the engine still waits for our answer ends nothing.
            if (s.step != STEP_SCOPE_CONFIG)
                conclude(Refused, s.errors);
            break;
        case OTA_STA_PARA_UPDATE_OVER_TIME:
            conclude(TimedOut, s.errors);
            break;
        default:
            break;
        }
    } else if (stopping_) {
        if (s.code == OTA_STA_PARA_UPDATE_SUCCESS_END)
            endStop(true);
        else if (s.code == OTA_STA_PARA_UPDATE_OVER_TIME)
            endStop(false);
    }
}

void ScopeSession::onLimit()
{
    if (starting_) {
        conclude(TimedOut, 0);
    } else if (stopping_) {
        // The engine gives up on a silent motor by itself; this is the backstop should it not.
        // A step the user started since is left alone.
        otaThread* eng = worker_->engine();
        if (eng->step() == STEP_SCOPE_STOP)
            eng->startStep(STEP_STOP);
        endStop(false);
    }
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

void ScopeSession::runStep(quint32 step)
{
    // The recorded motor stays the target even when the user activates another one meanwhile.
    otaThread* eng = worker_->engine();
    eng->setDevice0(mcuId_, canId_);
    eng->startStep(step);
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
    runStep(STEP_SCOPE_SET_FRE);
    limit_.start((1 + (channels_ + 3) / 4) * ExchangeLimitMs + SetupGraceMs);
    return true;
}

void ScopeSession::conclude(Verdict verdict, quint32 errorBits)
{
    limit_.stop();
    starting_ = false;
    otaThread* eng = worker_->engine();
    if (verdict != Confirmed) {
        // The motor would stream a layout the decoder does not expect: no start.
        eng->closeSampleFile();
        emit setupFailed(verdict == Refused, errorBits);
        return;
    }
    sampling_ = true;
    runStep(STEP_SCOPE_START);
    emit started(channels_);
}

bool ScopeSession::stop()
{
    const bool active = starting_ || sampling_;
    limit_.stop();
    starting_ = false;
    sampling_ = false;
    worker_->engine()->closeSampleFile();
    if (!active)
        return false;
    stopping_ = true;
    runStep(STEP_SCOPE_STOP);
    limit_.start(StopLimitMs);
    return true;
}

void ScopeSession::endStop(bool confirmed)
{
    limit_.stop();
    stopping_ = false;
    emit stopped(confirmed);
}
