#include "otaThread.h"

#include "AdapterLink.h"
#include "CrashHandler.h"

#include <QDebug>

#include <chrono>

namespace {
struct WaitSpec
{
    quint32 sleep; // ms slept per poll
    quint32 add; // ms counted per poll
    quint32 limit; // ends when the counted time exceeds it
};

bool waitSpec(quint32 step, WaitSpec* w)
{
    switch (step) {
    case STEP_INIT:
        *w = {20, 20, 500};
        return true;
    case STEP_INCONFIG:
        *w = {20, 20, 200};
        return true;
    case STEP_CONFIG:
        *w = {20, 20, 500};
        return true;
    case STEP_IN_OTA:
        *w = {100, 100, 8000};
        return true;
    case STEP_SEND_INFO:
        *w = {100, 100, 2000};
        return true;
    case STEP_SET_CAN_ID:
    case STEP_SET_RST_MODE:
    case STEP_SET_MOTOR_MODE:
    case STEP_SET_BRAKE_MODE:
    case STEP_SET_CALI_ENCODER_MODE:
    case STEP_SET_ZERO_MECH_MODE:
        *w = {100, 100, 2000};
        return true;
    case STEP_ASK_PARA_STR_INFO:
    case STEP_READ_PARA_STR:
    case STEP_SCOPE_CONFIG:
        *w = {50, 50, 1000};
        return true;
    case STEP_WRITE_PARA_STR:
        *w = {50, 100, 1000};
        return true;
    default:
        return false;
    }
}

QString hexNum(quint32 v)
{
    return QString::number(v, 16);
}
} // namespace

otaThread::otaThread(bool debugPack, bool debugStep, QObject* parent)
    : QObject(parent)
    , debugPack_(debugPack)
    , debugStep_(debugStep)
{
    qRegisterMetaType<OtaStatus>("OtaStatus");
    qRegisterMetaType<const ScopeBuffers*>("const ScopeBuffers*");
}

otaThread::~otaThread()
{
    if (loop_.joinable()) {
        startStep(STEP_QUIT);
        wait();
    }
}

void otaThread::start(QThread::Priority)
{
    if (loop_.joinable())
        return;
    running_ = true;
    loop_ = std::thread([this] {
        ve::CrashHandler::prepareThread(); // a stack overflow here still leaves a report
        run();
        running_ = false;
    });
}

void otaThread::wait()
{
    if (loop_.joinable() && std::this_thread::get_id() != loop_.get_id())
        loop_.join();
}

// ---- thread-safe accessors -------------------------------------------------------------------

quint32 otaThread::step() const
{
    std::lock_guard<std::mutex> g(m_);
    return step_;
}

quint32 otaThread::status() const
{
    std::lock_guard<std::mutex> g(m_);
    return status_;
}

quint32 otaThread::elapsed() const
{
    std::lock_guard<std::mutex> g(m_);
    return elapsed_;
}

void otaThread::setTarget(quint8 canId)
{
    std::lock_guard<std::mutex> g(m_);
    target_ = canId;
}

quint8 otaThread::target() const
{
    std::lock_guard<std::mutex> g(m_);
    return target_;
}

void otaThread::setNewCanId(quint8 canId)
{
    std::lock_guard<std::mutex> g(m_);
    newCanId_ = canId;
}

void otaThread::setDevice0(quint64 mcuId, quint8 canId)
{
    std::lock_guard<std::mutex> g(m_);
    devices_[0] = {mcuId, canId};
    if (deviceCount_ == 0)
        deviceCount_ = 1;
    selected_ = 0;
    target_ = canId;
}

void otaThread::clearDevices()
{
    std::lock_guard<std::mutex> g(m_);
    deviceCount_ = 0;
}

int otaThread::deviceCount() const
{
    std::lock_guard<std::mutex> g(m_);
    return deviceCount_;
}

otaThread::Device otaThread::device(int index) const
{
    std::lock_guard<std::mutex> g(m_);
    return (index >= 0 && index < deviceCount_) ? devices_[size_t(index)] : Device();
}

void otaThread::setControl(float pos, float vel, float kp, float kd, float torque)
{
    std::lock_guard<std::mutex> g(m_);
    ctrl_[0] = pos;
    ctrl_[1] = vel;
    ctrl_[2] = kp;
    ctrl_[3] = kd;
    ctrl_[4] = torque;
}

void otaThread::setRunMode(quint16 mode)
{
    std::lock_guard<std::mutex> g(m_);
    runMode_ = mode;
}

quint16 otaThread::runMode() const
{
    std::lock_guard<std::mutex> g(m_);
    return runMode_;
}

void otaThread::setZeroArg(quint32 first)
{
    std::lock_guard<std::mutex> g(m_);
    zeroArg_[0] = first;
}

void otaThread::sendFrame(const CanPack& frame)
{
    {
        std::lock_guard<std::mutex> g(m_);
        sendLocked(frame);
    }
    deliver();
}

MotorFeedback otaThread::feedback() const
{
    std::lock_guard<std::mutex> g(m_);
    return feedback_;
}

void otaThread::setTransfer(int group, quint16 index)
{
    std::lock_guard<std::mutex> g(m_);
    xferGroup_ = group;
    xferIndex_ = index;
}

int otaThread::transferGroup() const
{
    std::lock_guard<std::mutex> g(m_);
    return xferGroup_;
}

quint16 otaThread::transferIndex() const
{
    std::lock_guard<std::mutex> g(m_);
    return xferIndex_;
}

quint16 otaThread::transferCode() const
{
    std::lock_guard<std::mutex> g(m_);
    return xferCode_;
}

quint32 otaThread::errorSet() const
{
    std::lock_guard<std::mutex> g(m_);
    return errors_;
}

void otaThread::setScopeFrequency(quint16 hz)
{
    std::lock_guard<std::mutex> g(m_);
    scopeFreq_ = hz;
}

quint16 otaThread::scopeFrequency() const
{
    std::lock_guard<std::mutex> g(m_);
    return scopeFreq_;
}

int otaThread::configureScopeChannels(const std::array<quint16, ScopeDecoder::Slots>& types)
{
    std::lock_guard<std::mutex> g(m_);
    scopeSlotList_.clear();
    std::array<quint32, ScopeDecoder::Slots> expected {};
    for (int s = 0; s < ScopeDecoder::Slots; ++s) {
        quint16 code = 0;
        quint8 type = 0;
        if (types[size_t(s)] != 0)
            params_.mapChannel(types[size_t(s)], &code, &type);
        scopeCodes_[size_t(s)] = code;
        expected[size_t(s)] = type;
        if (code != 0)
            scopeSlotList_.append(quint8(s));
    }
    decoder_.setChannels(scopeSlotList_, expected);
    scopeCount_ = scopeSlotList_.size();
    scopeCursor_ = 0;
    return scopeCount_;
}

int otaThread::scopeChannelCount() const
{
    std::lock_guard<std::mutex> g(m_);
    return scopeCount_;
}

void otaThread::setScopeCursor(int position)
{
    std::lock_guard<std::mutex> g(m_);
    scopeCursor_ = position;
}

bool otaThread::scopeRunning() const
{
    std::lock_guard<std::mutex> g(m_);
    return scopeRunning_;
}

QVector<quint8> otaThread::scopeSlots() const
{
    std::lock_guard<std::mutex> g(m_);
    return scopeSlotList_;
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

void otaThread::setImage(const QByteArray& image)
{
    std::lock_guard<std::mutex> g(m_);
    image_ = image;
}

quint32 otaThread::framesSent() const
{
    std::lock_guard<std::mutex> g(m_);
    return framesSent_;
}

quint32 otaThread::frameCount() const
{
    std::lock_guard<std::mutex> g(m_);
    return frameCount_;
}

// ---- steps ------------------------------------------------------------------------------------

void otaThread::startStep(quint32 n)
{
    {
        std::lock_guard<std::mutex> g(m_);
        startStepLocked(n);
    }
    cv_.notify_all();
    deliver();
}

CanPack otaThread::frameLocked() const
{
    return CanPack(target_);
}

void otaThread::startStepLocked(quint32 n)
{
    ack_ = false;
    elapsed_ = 0;
    ++gen_;
    if (n > STEP_QUIT) {
        step_ = STEP_STOP;
        return;
    }
    quint32 next = n;
    switch (n) {
    case STEP_STOP:
        rx_.clear();
        break;
    case STEP_INIT:
        rx_.clear();
        sendRawLocked(AdapterLink::probeCommand());
        break;
    case STEP_INCONFIG:
        rx_.clear();
        configIndex_ = 0;
        sendRawLocked(AdapterLink::enterConfigCommand());
        break;
    case STEP_CONFIG:
        rx_.clear();
        sendRawLocked(AdapterLink::configCommand(configIndex_));
        break;
    case STEP_IN_OTA:
        sendLocked(CanProtocol::otaStart(target_, devices_[selected_].mcuId));
        break;
    case STEP_SEND_INFO:
        imageSize_ = quint32(image_.size());
        if (imageSize_ == 0) {
            step_ = STEP_STOP;
            setStatusLocked(OTA_STA_BINFILE_EMPTY);
            return;
        }
        if (imageSize_ > MaxImage) {
            step_ = STEP_STOP;
            setStatusLocked(OTA_STA_BINFILE_SIZE_OVER_LIMIT);
            return;
        }
        frameCount_ = (imageSize_ + 7) / 8;
        framesSent_ = 0;
        sendLocked(CanProtocol::otaInfo(target_, imageSize_, frameCount_));
        break;
    case STEP_SEND_BIN: {
        quint8 bytes[8];
        const quint32 at = framesSent_ * 8;
        for (quint32 k = 0; k < 8; ++k)
            bytes[k]
                = at + k < imageSize_ && at + k < quint32(image_.size()) ? quint8(image_[int(at + k)]) : 0xFF;
        sendLocked(CanProtocol::otaData(target_, quint16(framesSent_), bytes));
        break;
    }
    case STEP_SEND_END:
        sendLocked(CanProtocol::otaEnd(target_, frameCount_));
        break;
    case STEP_GET_DEV_INFO:
        passCounter_ = 0;
        passNumber_ = 0;
        lastProbed_ = 0;
        break;
    case STEP_SET_CAN_ID:
        sendLocked(CanProtocol::setCanId(target_, newCanId_, devices_[selected_].mcuId));
        break;
    case STEP_SET_RST_MODE:
        sendLocked(CanProtocol::modeChange(CANCOM_MOTOR_RESET, target_));
        break;
    case STEP_SET_MOTOR_MODE:
        sendLocked(CanProtocol::modeChange(CANCOM_MOTOR_IN, target_));
        break;
    case STEP_SET_BRAKE_MODE:
        sendLocked(CanProtocol::modeChange(CANCOM_MOTOR_BRAKE, target_));
        break;
    case STEP_SET_CALI_ENCODER_MODE:
        sendLocked(CanProtocol::modeChange(CANCOM_MOTOR_CALI, target_));
        break;
    case STEP_SET_ZERO_MECH_MODE:
        sendLocked(CanProtocol::mechanicalZero(target_, zeroArg_[0], zeroArg_[1]));
        break;
    case STEP_MOTOR_CTRL_SINGLE:
        sendLocked(CanProtocol::mitControl(target_, ctrl_[0], ctrl_[1], ctrl_[2], ctrl_[3], ctrl_[4]));
        break;
    case STEP_MOTOR_CTRL_CONTINUOUS:
        break;
    case STEP_ASK_PARA_STR_INFO:
        params_.beginDescription();
        errors_ = 0;
        sendLocked(CanProtocol::paramDescribe(target_, devices_[selected_].mcuId));
        break;
    case STEP_READ_PARA_STR_START:
        xferGroup_ = 0;
        xferIndex_ = 0;
        Q_FALLTHROUGH();
    case STEP_READ_PARA_STR:
        next = STEP_READ_PARA_STR;
        xferCode_ = ParamTable::code(xferGroup_, xferIndex_);
        framesRecv_ = 0;
        errors_ = 0;
        std::memset(xferBuf_, 0, sizeof(xferBuf_));
        sendLocked(CanProtocol::paramRead(target_, xferCode_));
        break;
    case STEP_WRITE_PARA_STR_START: {
        int g = 0;
        int i = 0;
        while (i < params_.count(0) && !params_.entry(0, i).modified)
            ++i;
        if (i >= params_.count(0)) {
            g = 2;
            i = 0;
            while (i < params_.count(2) && !params_.entry(2, i).modified)
                ++i;
        }
        xferGroup_ = g;
        xferIndex_ = quint16(i);
    }
        Q_FALLTHROUGH();
    case STEP_WRITE_PARA_STR:
        next = STEP_WRITE_PARA_STR;
        step_ = next;
        startWriteLocked();
        return;
    case STEP_SAVE_PARA_STR:
    case STEP_RECOVER_FAC: {
        const quint8 sub = n == STEP_SAVE_PARA_STR ? 2 : 3;
        errors_ = 0;
        bytesLeft_ = 0;
        lastWrite_ = {};
        lastWrite_.sub = sub;
        sendLocked(CanProtocol::paramWrite(target_, sub, 0, 0, 0, nullptr, 0));
        next = n == STEP_SAVE_PARA_STR ? STEP_WRITE_PARA_STR : STEP_STOP;
        break;
    }
    case STEP_SCOPE_SET_FRE:
        sendLocked(CanProtocol::scopeConfigure(target_, scopeFreq_));
        next = STEP_SCOPE_CONFIG;
        break;
    case STEP_SCOPE_SET_CHANNAL:
        sendChannelsLocked();
        next = STEP_SCOPE_CONFIG;
        break;
    case STEP_SCOPE_START:
        sendLocked(CanProtocol::scopeCommand(target_, 2));
        break;
    case STEP_SCOPE_STOP:
        sendLocked(CanProtocol::scopeCommand(target_, 3));
        break;
    case STEP_SCOPE_CONFIG:
    case STEP_QUIT:
    default:
        break;
    }
    step_ = next;
}

void otaThread::startWriteLocked()
{
    errors_ = 0;
    quint32 transferError = 0;
    const int g = xferGroup_;
    const int i = xferIndex_;
    int size = 0;
    if (i >= params_.count(g)) {
        transferError = 1;
    } else if (g == 0) {
        xferType_ = 10;
        size = 16;
        std::memcpy(xferBuf_, params_.entry(0, i).buffer, 16);
    } else if (g == 2) {
        xferType_ = params_.entry(2, i).type;
        size = CanProtocol::typeSize(xferType_);
        std::memcpy(xferBuf_, params_.entry(2, i).buffer, 16);
    } else {
        transferError = 2;
    }
    if (transferError) {
        errors_ |= 1u << transferError;
        step_ = STEP_STOP;
        setStatusLocked(OTA_STA_WRITE_PARA_ERROR);
        return;
    }
    xferCode_ = ParamTable::code(g, i);
    seq_ = 0;
    bytesSent_ = 0;
    bytesLeft_ = size;
    sendWriteFrameLocked();
}

void otaThread::sendWriteFrameLocked()
{
    const int n = qMin(bytesLeft_, 4);
    const CanPack f
        = CanProtocol::paramWrite(target_, 0, xferCode_, xferType_, seq_, xferBuf_ + bytesSent_, n);
    bytesSent_ += n;
    bytesLeft_ -= n;
    lastWrite_.sub = 0;
    lastWrite_.code = xferCode_;
    lastWrite_.type = xferType_;
    lastWrite_.seq = seq_;
    sendLocked(f);
}

void otaThread::sendChannelsLocked()
{
    quint16 codes[4] = {0, 0, 0, 0};
    const int p = scopeCursor_;
    for (int k = 0; k < 4; ++k)
        if (p + k < scopeSlotList_.size())
            codes[k] = scopeCodes_[scopeSlotList_[p + k]];
    sendLocked(CanProtocol::scopeChannels(target_, p, scopeCount_, codes));
    scopeCursor_ = p + 4;
}

void otaThread::setStatusLocked(quint32 code)
{
    status_ = code;
    OutItem item {OutItem::Status, {}, {}, 0};
    OtaStatus& s = item.status;
    s.code = code;
    s.step = step_;
    s.recvCanId = lastRecvId_;
    s.mcuId = announced_.mcuId;
    s.canId = announced_.canId;
    s.framesSent = framesSent_;
    s.frameCount = frameCount_;
    s.rotorAngle = rotorAngle_;
    s.statorAngle = statorAngle_;
    s.sensorValue = sensorValue_;
    s.caliNumber = caliNumber_;
    s.caliIndex = caliIndex_;
    s.correction = correction_;
    s.caliCanId = caliCanId_;
    s.electricalOffset = electricalOffset_;
    s.transferCode = xferCode_;
    s.errors = errors_;
    s.feedback = feedback_;
    s.faultWord = faultWord_;
    s.warningWord = warningWord_;
    out_.push_back(std::move(item));
}

void otaThread::sendLocked(const CanPack& f)
{
    const QByteArray bytes = AdapterLink::envelope(f);
    if (lastTreeSendId_ != f.dst()) {
        lastTreeSendId_ = f.dst();
        out_.push_back({OutItem::SendId, {}, {}, f.dst()});
    }
    out_.push_back({OutItem::Write, {}, bytes, 0});
    if (debugPack_)
        qDebug().noquote() << "send pack >>>>>" << AdapterLink::hex(bytes) << "\n>> ex mode"
                           << hexNum(f.type()) << "ex data" << hexNum(f.area2()) << "ex id"
                           << hexNum(f.dst());
}

void otaThread::sendRawLocked(const QByteArray& bytes)
{
    out_.push_back({OutItem::Write, {}, bytes, 0});
}

// ---- the loop ---------------------------------------------------------------------------------

void otaThread::run()
{
    quint32 prev = STEP_STOP;
    std::unique_lock<std::mutex> lk(m_);
    for (;;) {
        const quint32 cur = step_;
        if (debugStep_ && (prev != STEP_STOP || cur != STEP_STOP))
            qDebug().noquote() << "---- run step:" << OtaStatus::stepName(prev) << "->"
                               << OtaStatus::stepName(cur);
        prev = cur;
        WaitSpec w;
        if (cur == STEP_QUIT) {
            return;
        } else if (cur == STEP_GET_DEV_INFO) {
            scanOnceLocked();
            lk.unlock();
            deliver();
            lk.lock();
        } else if (cur == STEP_MOTOR_CTRL_CONTINUOUS) {
            sendLocked(CanProtocol::mitControl(target_, ctrl_[0], ctrl_[1], ctrl_[2], ctrl_[3], ctrl_[4]));
            lk.unlock();
            deliver();
            lk.lock();
            const quint64 gen = gen_;
            cv_.wait_for(lk, std::chrono::milliseconds(50), [&] { return gen_ != gen; });
        } else if (cur == STEP_SCOPE_STOP) {
            const quint64 gen = gen_;
            cv_.wait_for(lk, std::chrono::milliseconds(2), [&] { return gen_ != gen; });
            if (gen_ == gen && step_ == STEP_SCOPE_STOP) {
                if (!scopeRunning_)
                    step_ = STEP_STOP;
                else
                    sendLocked(CanProtocol::scopeCommand(target_, 3));
                lk.unlock();
                deliver();
                lk.lock();
            }
        } else if (waitSpec(cur, &w)) {
            const quint64 gen = gen_;
            cv_.wait_for(lk, std::chrono::milliseconds(w.sleep), [&] { return gen_ != gen; });
            // A step started meanwhile starts its own count; a step ended by an answer has nothing to poll.
            if (gen_ != gen || step_ != cur)
                continue;
            elapsed_ += w.add;
            if (ack_)
                onAckLocked(cur);
            else if (elapsed_ > w.limit)
                onTimeoutLocked(cur);
            lk.unlock();
            deliver();
            lk.lock();
        } else {
            // Idle: sleep until a new step is started.
            elapsed_ = 0;
            const quint64 gen = gen_;
            cv_.wait(lk, [&] { return gen_ != gen || step_ != cur; });
        }
    }
}

void otaThread::scanOnceLocked()
{
    if (passCounter_ % 16 == 0) {
        ++passNumber_;
        passCounter_ = 0;
    }
    const quint8 id = quint8((passCounter_ * 8 + passNumber_) % 256);
    ++passCounter_;
    lastProbed_ = id;
    if (id <= 127)
        sendLocked(CanProtocol::discovery(id));
    else
        step_ = STEP_STOP;
}

void otaThread::onAckLocked(quint32 step)
{
    switch (step) {
    case STEP_INIT:
        step_ = STEP_STOP;
        setStatusLocked(OTA_STA_CONNECT_SUCCESS);
        break;
    case STEP_INCONFIG:
        step_ = STEP_STOP;
        setStatusLocked(OTA_STA_INCONFIG_SUCCESS);
        break;
    case STEP_CONFIG:
        ++configIndex_;
        if (configIndex_ >= AdapterLink::ConfigCommandCount) {
            step_ = STEP_STOP;
            setStatusLocked(OTA_STA_CONFIG_SUCCESS);
        } else {
            startStepLocked(STEP_CONFIG);
        }
        break;
    case STEP_IN_OTA:
        step_ = STEP_SEND_INFO;
        ack_ = false;
        elapsed_ = 0;
        ++gen_;
        setStatusLocked(OTA_STA_IN_OTA_MODE_SUCCESS);
        break;
    case STEP_SEND_INFO:
        ack_ = false;
        break;
    case STEP_SET_CAN_ID:
    case STEP_SET_RST_MODE:
    case STEP_SET_MOTOR_MODE:
    case STEP_SET_BRAKE_MODE:
    case STEP_SET_CALI_ENCODER_MODE:
    case STEP_SET_ZERO_MECH_MODE: {
        static const quint32 ok[]
            = {OTA_STA_SET_ID_SUCCESS, OTA_STA_RST_MODE_SUCCESS, OTA_STA_MOTOR_MODE_SUCCESS,
                OTA_STA_BRAKE_MODE_SUCCESS, OTA_STA_CALI_MODE_SUCCESS, OTA_STA_ZERO_MODE_SUCCESS};
        step_ = STEP_STOP;
        setStatusLocked(ok[step - STEP_SET_CAN_ID]);
        break;
    }
    case STEP_ASK_PARA_STR_INFO:
        if (params_.lastSub() == 9) {
            step_ = STEP_STOP;
            break;
        }
        Q_FALLTHROUGH();
    case STEP_READ_PARA_STR:
    case STEP_WRITE_PARA_STR:
    case STEP_SCOPE_CONFIG:
        ack_ = false;
        elapsed_ = 0;
        break;
    default:
        break;
    }
}

void otaThread::onTimeoutLocked(quint32 step)
{
    quint32 code = 0;
    switch (step) {
    case STEP_INIT:
        code = OTA_STA_CONNECT_OVER_TIME;
        break;
    case STEP_INCONFIG:
        code = OTA_STA_INCONFIG_OVER_TIME;
        break;
    case STEP_CONFIG:
        code = OTA_STA_CONFIG_OVER_TIME;
        break;
    case STEP_IN_OTA:
        code = OTA_STA_IN_OTA_MODE_OVER_TIME;
        break;
    case STEP_SEND_INFO:
        code = OTA_STA_OTA_INFO_OVER_TIME;
        break;
    case STEP_SET_CAN_ID:
        code = OTA_STA_SET_ID_OVER_TIME;
        break;
    case STEP_SET_RST_MODE:
        code = OTA_STA_RST_MODE_OVER_TIME;
        break;
    case STEP_SET_MOTOR_MODE:
        code = OTA_STA_MOTOR_MODE_OVER_TIME;
        break;
    case STEP_SET_BRAKE_MODE:
        code = OTA_STA_BRAKE_MODE_OVER_TIME;
        break;
    case STEP_SET_CALI_ENCODER_MODE:
        code = OTA_STA_CALI_MODE_OVER_TIME;
        break;
    case STEP_SET_ZERO_MECH_MODE:
        code = OTA_STA_ZERO_MODE_OVER_TIME;
        break;
    case STEP_ASK_PARA_STR_INFO:
        code = errors_ ? OTA_STA_GET_PARA_INFO_ERROR : OTA_STA_GET_PARA_INFO_OVER_TIME;
        break;
    case STEP_READ_PARA_STR:
        code = OTA_STA_READ_PARA_OVER_TIME;
        break;
    case STEP_WRITE_PARA_STR:
        code = OTA_STA_WRITE_PARA_OVER_TIME;
        break;
    case STEP_SCOPE_CONFIG:
        code = OTA_STA_PARA_UPDATE_OVER_TIME;
        break;
    default:
        return;
    }
    step_ = STEP_STOP;
    setStatusLocked(code);
}

// ---- delivery on the owner thread -------------------------------------------------------------

void otaThread::deliver()
{
    if (QThread::currentThread() == thread()) {
        flush();
        return;
    }
    if (!flushPosted_.exchange(true))
        QMetaObject::invokeMethod(this, "flush", Qt::QueuedConnection);
}

void otaThread::flush()
{
    flushPosted_.store(false);
    for (;;) {
        OutItem item;
        {
            std::lock_guard<std::mutex> g(m_);
            if (out_.empty())
                return;
            item = std::move(out_.front());
            out_.pop_front();
        }
        switch (item.kind) {
        case OutItem::Status:
            emit sendState(item.status);
            break;
        case OutItem::Write:
            emit WriteToSerial(item.bytes);
            break;
        case OutItem::SendId:
            emit sendCanId(int(item.id));
            break;
        case OutItem::RecvId:
            emit recvCanId(int(item.id));
            break;
        case OutItem::ScopeNotify:
            emit scopeToShow(&decoder_.buffers());
            break;
        }
    }
}
