#include "otaThread.h"

#include "AdapterLink.h"
#include "CrashHandler.h"
#include "EngineSteps.h"
#include "ValueCodec.h"

#include <QDebug>

#include <chrono>
#include <utility>

namespace {
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

// ---- steps ------------------------------------------------------------------------------------

void otaThread::startStep(quint32 n)
{
    {
        std::lock_guard<std::mutex> g(m_);
        startStepLocked(n);
    }
    deliverAndWake();
}

void otaThread::deliverAndWake()
{
    // The frame goes out first: waking the loop costs a context switch the reply should not wait for.
    deliver();
    bool wake;
    {
        std::lock_guard<std::mutex> g(m_);
        wake = std::exchange(wakeLoop_, false);
    }
    if (wake)
        cv_.notify_one();
}

bool otaThread::loopMustWakeLocked(quint32 n) const
{
    switch (n) {
    case STEP_QUIT:
    case STEP_GET_DEV_INFO:
    case STEP_MOTOR_CTRL_CONTINUOUS:
    case STEP_SCOPE_STOP:
        return true; // the loop sends in these
    default:
        break;
    }
    // Steps driven by the answers alone need no loop (a firmware transfer restarts its step for
    // every frame); a restart of the step the loop already polls is picked up at its next poll.
    if (!StepRule::of(n))
        return false;
    return loopIdle_ || n != loopStep_;
}

CanPack otaThread::frameLocked() const
{
    return CanPack(target_);
}

void otaThread::startStepLocked(quint32 n)
{
    enterStepLocked(n);
    // Decided on the step it ended in: a start may move on (a read starts polling its answers)
    // or end at once.
    wakeLoop_ = wakeLoop_ || loopMustWakeLocked(step_);
}

void otaThread::enterStepLocked(quint32 n)
{
    xfer_.resetPending = n == STEP_RECOVER_FAC;
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
    case STEP_SEND_INFO:
    case STEP_SEND_BIN:
    case STEP_SEND_END:
        if (!startFirmwareLocked(n))
            return;
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
    case STEP_READ_PARA_STR_START:
    case STEP_READ_PARA_STR:
    case STEP_WRITE_PARA_STR_START:
    case STEP_WRITE_PARA_STR:
    case STEP_SAVE_PARA_STR:
    case STEP_RECOVER_FAC:
        if (!startParamsLocked(n, &next))
            return;
        break;
    case STEP_SCOPE_SET_FRE:
    case STEP_SCOPE_SET_CHANNAL:
    case STEP_SCOPE_START:
    case STEP_SCOPE_STOP:
        next = startScopeLocked(n);
        break;
    case STEP_SCOPE_CONFIG:
    case STEP_QUIT:
    default:
        break;
    }
    step_ = next;
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
    s.framesSent = fw_.framesSent;
    s.frameCount = fw_.frameCount;
    s.rotorAngle = rotorAngle_;
    s.statorAngle = statorAngle_;
    s.sensorValue = sensorValue_;
    s.caliNumber = caliNumber_;
    s.caliIndex = caliIndex_;
    s.correction = correction_;
    s.caliCanId = caliCanId_;
    s.electricalOffset = electricalOffset_;
    s.transferCode = xfer_.code;
    s.errors = errors_;
    s.motorError = xfer_.motorError;
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
        loopStep_ = cur;
        loopIdle_ = false;
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
                if (!scope_.running) {
                    step_ = STEP_STOP;
                } else if (std::chrono::steady_clock::now() - scope_.stopSince
                    > std::chrono::milliseconds(StopLimitMs)) {
                    // A motor that went silent (unplugged, powered off) never confirms the stop.
                    step_ = STEP_STOP;
                    setStatusLocked(OTA_STA_PARA_UPDATE_OVER_TIME);
                } else {
                    sendLocked(CanProtocol::scopeCommand(target_, 3));
                }
                lk.unlock();
                deliver();
                lk.lock();
            }
        } else if (const StepRule* rule = StepRule::of(cur)) {
            const quint64 gen = gen_;
            cv_.wait_for(lk, std::chrono::milliseconds(rule->sleepMs), [&] { return gen_ != gen; });
            // A step started meanwhile starts its own count; a step ended by an answer has nothing to poll.
            if (gen_ != gen || step_ != cur)
                continue;
            elapsed_ += rule->countMs;
            if (ack_)
                onAckLocked(cur, *rule);
            else if (elapsed_ > rule->limitMs)
                onTimeoutLocked(cur, *rule);
            lk.unlock();
            deliver();
            lk.lock();
        } else {
            // Idle: sleep until a new step is started.
            elapsed_ = 0;
            loopIdle_ = true;
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

void otaThread::onAckLocked(quint32 step, const StepRule& rule)
{
    switch (rule.onAck) {
    case StepRule::End:
        step_ = STEP_STOP;
        setStatusLocked(rule.success);
        break;
    case StepRule::NextConfig:
        ++configIndex_;
        if (configIndex_ >= AdapterLink::ConfigCommandCount) {
            step_ = STEP_STOP;
            setStatusLocked(rule.success);
        } else {
            startStepLocked(STEP_CONFIG);
        }
        break;
    case StepRule::EnterTransfer:
        step_ = STEP_SEND_INFO;
        ack_ = false;
        elapsed_ = 0;
        ++gen_;
        setStatusLocked(rule.success);
        break;
    case StepRule::WaitAgain:
        // The description stream's end frame ends its step without a further status.
        if (step == STEP_ASK_PARA_STR_INFO && params_.lastSub() == 9) {
            step_ = STEP_STOP;
            break;
        }
        ack_ = false;
        elapsed_ = 0;
        break;
    case StepRule::Ignore:
        ack_ = false;
        break;
    }
}

void otaThread::onTimeoutLocked(quint32 step, const StepRule& rule)
{
    step_ = STEP_STOP;
    if (step == STEP_ASK_PARA_STR_INFO && errors_)
        setStatusLocked(OTA_STA_GET_PARA_INFO_ERROR);
    else
        setStatusLocked(rule.timeout);
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
