// The engine's oscilloscope: channel mapping and set-up (frequency, then the channels four at a
// time), start and stop, and the answers and sample frames of the motor.
#include "otaThread.h"

void otaThread::setScopeFrequency(quint16 hz)
{
    std::lock_guard<std::mutex> g(m_);
    scope_.frequency = hz;
}

quint16 otaThread::scopeFrequency() const
{
    std::lock_guard<std::mutex> g(m_);
    return scope_.frequency;
}

int otaThread::configureScopeChannels(const std::array<quint16, ScopeDecoder::Slots>& types)
{
    std::lock_guard<std::mutex> g(m_);
    scope_.slotList.clear();
    std::array<quint32, ScopeDecoder::Slots> expected {};
    for (int s = 0; s < ScopeDecoder::Slots; ++s) {
        quint16 code = 0;
        quint8 type = 0;
        if (types[size_t(s)] != 0)
            params_.mapChannel(types[size_t(s)], &code, &type);
        scope_.codes[size_t(s)] = code;
        expected[size_t(s)] = type;
        if (code != 0)
            scope_.slotList.append(quint8(s));
    }
    decoder_.setChannels(scope_.slotList, expected);
    scope_.count = scope_.slotList.size();
    scope_.cursor = 0;
    return scope_.count;
}

int otaThread::scopeChannelCount() const
{
    std::lock_guard<std::mutex> g(m_);
    return scope_.count;
}

void otaThread::setScopeCursor(int position)
{
    std::lock_guard<std::mutex> g(m_);
    scope_.cursor = position;
}

bool otaThread::scopeRunning() const
{
    std::lock_guard<std::mutex> g(m_);
    return scope_.running;
}

QVector<quint8> otaThread::scopeSlots() const
{
    std::lock_guard<std::mutex> g(m_);
    return scope_.slotList;
}

bool otaThread::openSampleFile(const QString& path)
{
    std::lock_guard<std::mutex> g(m_);
    return decoder_.openFile(path);
}

void otaThread::closeSampleFile()
{
    std::lock_guard<std::mutex> g(m_);
    decoder_.closeFile();
}

bool otaThread::sampleSaving() const
{
    std::lock_guard<std::mutex> g(m_);
    return decoder_.saving();
}

bool otaThread::sampleFileOpen() const
{
    std::lock_guard<std::mutex> g(m_);
    return decoder_.fileOpen();
}

void otaThread::sendChannelsLocked()
{
    quint16 codes[4] = {0, 0, 0, 0};
    const int p = scope_.cursor;
    for (int k = 0; k < 4; ++k)
        if (p + k < scope_.slotList.size())
            codes[k] = scope_.codes[scope_.slotList[p + k]];
    sendLocked(CanProtocol::scopeChannels(target_, p, scope_.count, codes));
    scope_.cursor = p + 4;
}

void otaThread::matchScopeLocked(const CanPack& f)
{
    if (f.type() == CANCOM_PARA_UPDATE && fromTargetLocked(f))
        ack_ = true;
}

void otaThread::parseScopeLocked(const CanPack& f)
{
    const quint8 sub = f.ext() & 3;
    const quint8 err = (f.ext() >> 2) & 3;
    // Only the set-up's own answers end it, and only while it waits for them: samples keep
    // streaming while other conversations run, and the answer to a stop that was sent again
    // (or to an earlier start) may arrive after the next set-up began.
    const bool setUpAnswer = (sub == 0 || sub == 1) && step_ == STEP_SCOPE_CONFIG && fromTargetLocked(f);
    if ((sub == 0 || sub == 1) && !setUpAnswer)
        return;
    if (sub == 2 && err == 0) {
        scope_.running = true;
        if (decoder_.storeFrame(f.ext() >> 4, f.data))
            out_.push_back({OutItem::ScopeNotify, {}, {}, 0});
        return;
    }
    errors_ = 0;
    // The stop step ends when the loop sees that sampling stopped.
    if (setUpAnswer)
        step_ = STEP_STOP;
    switch (sub) {
    case 0:
        decoder_.setTickLength(f.f32le(0));
        scope_.replyWords[0] = f.u16le(4);
        scope_.replyWords[1] = f.u16le(6);
        if (err == 0) {
            setStatusLocked(OTA_STA_PARA_UPDATE_SUCCESS_FRESET);
        } else {
            errors_ |= 2;
            setStatusLocked(OTA_STA_PARA_UPDATE_ERROR);
        }
        break;
    case 1:
        decoder_.restartClock();
        if (err == 0) {
            if (scope_.cursor < scope_.count) {
                startStepLocked(STEP_SCOPE_SET_CHANNAL);
                break;
            }
            bool mismatch = false;
            for (int k = 0; k < scope_.slotList.size(); ++k) {
                const quint8 nibble = quint8((f.data[k / 2] >> ((k % 2) * 4)) & 0xF);
                const quint8 slot = scope_.slotList[k];
                decoder_.setReportedType(slot, nibble);
                if (nibble != decoder_.expectedType(slot))
                    mismatch = true;
            }
            decoder_.startRun(scope_.frequency);
            if (mismatch) {
                errors_ |= 64;
                setStatusLocked(OTA_STA_PARA_UPDATE_ERROR);
            } else {
                setStatusLocked(OTA_STA_PARA_UPDATE_SUCCESS_CHSET);
            }
        } else {
            errors_ |= quint32(2) << err; // 1, 2, 3 -> 4, 8, 16
            setStatusLocked(OTA_STA_PARA_UPDATE_ERROR);
        }
        break;
    case 2:
        scope_.running = true;
        errors_ |= 32;
        setStatusLocked(OTA_STA_PARA_UPDATE_ERROR);
        break;
    case 3:
        scope_.running = false;
        setStatusLocked(OTA_STA_PARA_UPDATE_SUCCESS_END);
        if (step_ == STEP_SCOPE_STOP)
            step_ = STEP_STOP; // confirmed: the stop ends with the answer
        break;
    }
}

bool otaThread::startScopeLocked(quint32 n, quint32* next)
{
    switch (n) {
    case STEP_SCOPE_SET_FRE:
        sendLocked(CanProtocol::scopeConfigure(target_, scope_.frequency));
        *next = STEP_SCOPE_CONFIG;
        break;
    case STEP_SCOPE_SET_CHANNAL:
        sendChannelsLocked();
        *next = STEP_SCOPE_CONFIG;
        break;
    case STEP_SCOPE_START:
        sendLocked(CanProtocol::scopeCommand(target_, 2));
        break;
    case STEP_SCOPE_STOP:
        scope_.stopSince = std::chrono::steady_clock::now();
        sendLocked(CanProtocol::scopeCommand(target_, 3));
        break;
    default:
        break;
    }
    return true;
}

void otaThread::stopTickLocked()
{
    if (!scope_.running) {
        // Nothing was sampling: the stop ends as if confirmed, so observers of the status
        // stream learn that it ended.
        step_ = STEP_STOP;
        setStatusLocked(OTA_STA_PARA_UPDATE_SUCCESS_END);
    } else if (std::chrono::steady_clock::now() - scope_.stopSince > std::chrono::milliseconds(StopLimitMs)) {
        // A motor that went silent (unplugged, powered off) never confirms the stop.
        step_ = STEP_STOP;
        setStatusLocked(OTA_STA_PARA_UPDATE_OVER_TIME);
    } else {
        sendLocked(CanProtocol::scopeCommand(target_, 3));
    }
}
