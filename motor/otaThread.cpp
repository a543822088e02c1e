#include "otaThread.h"

#include "AdapterLink.h"
#include "CrashHandler.h"
#include "EngineSteps.h"

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

void otaThread::sendFrame(const CanPack& frame)
{
    {
        std::lock_guard<std::mutex> g(m_);
        sendLocked(frame);
    }
    deliver();
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
    // Each concern starts its own steps; the rest wait without sending.
    quint32 next = n;
    bool wait = true;
    switch (n) {
    case STEP_STOP:
        rx_.clear();
        break;
    case STEP_INIT:
    case STEP_INCONFIG:
    case STEP_CONFIG:
    case STEP_GET_DEV_INFO:
    case STEP_SET_CAN_ID:
        wait = startAdapterLocked(n, &next);
        break;
    case STEP_IN_OTA:
    case STEP_SEND_INFO:
    case STEP_SEND_BIN:
    case STEP_SEND_END:
        wait = startFirmwareLocked(n, &next);
        break;
    case STEP_SET_RST_MODE:
    case STEP_SET_MOTOR_MODE:
    case STEP_SET_BRAKE_MODE:
    case STEP_SET_CALI_ENCODER_MODE:
    case STEP_SET_ZERO_MECH_MODE:
    case STEP_MOTOR_CTRL_SINGLE:
    case STEP_MOTOR_CTRL_CONTINUOUS:
        wait = startMotionLocked(n, &next);
        break;
    case STEP_ASK_PARA_STR_INFO:
    case STEP_READ_PARA_STR_START:
    case STEP_READ_PARA_STR:
    case STEP_WRITE_PARA_STR_START:
    case STEP_WRITE_PARA_STR:
    case STEP_SAVE_PARA_STR:
    case STEP_RECOVER_FAC:
        wait = startParamsLocked(n, &next);
        break;
    case STEP_SCOPE_SET_FRE:
    case STEP_SCOPE_SET_CHANNAL:
    case STEP_SCOPE_START:
    case STEP_SCOPE_STOP:
        wait = startScopeLocked(n, &next);
        break;
    default:
        break;
    }
    if (wait)
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
    s.mcuId = link_.announced.mcuId;
    s.canId = link_.announced.canId;
    s.framesSent = fw_.framesSent;
    s.frameCount = fw_.frameCount;
    s.rotorAngle = cali_.rotorAngle;
    s.statorAngle = cali_.statorAngle;
    s.sensorValue = cali_.sensorValue;
    s.caliNumber = cali_.number;
    s.caliIndex = cali_.index;
    s.correction = cali_.correction;
    s.caliCanId = cali_.canId;
    s.electricalOffset = cali_.electricalOffset;
    s.transferCode = xfer_.code;
    s.errors = errors_;
    s.motorError = xfer_.motorError;
    s.feedback = motion_.feedback;
    s.faultWord = motion_.faultWord;
    s.warningWord = motion_.warningWord;
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
            sendControlLocked();
            lk.unlock();
            deliver();
            lk.lock();
            const quint64 gen = gen_;
            cv_.wait_for(lk, std::chrono::milliseconds(50), [&] { return gen_ != gen; });
        } else if (cur == STEP_SCOPE_STOP) {
            const quint64 gen = gen_;
            cv_.wait_for(lk, std::chrono::milliseconds(2), [&] { return gen_ != gen; });
            if (gen_ == gen && step_ == STEP_SCOPE_STOP) {
                stopTickLocked();
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

void otaThread::onAckLocked(quint32 step, const StepRule& rule)
{
    switch (rule.onAck) {
    case StepRule::End:
        step_ = STEP_STOP;
        setStatusLocked(rule.success);
        break;
    case StepRule::NextConfig:
        nextConfigLocked(rule);
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
