#include "SimServer.h"

#include "SimAdapter.h"
#include "SimFirmwareReceiver.h"
#include "SimMotor.h"
#include "SimPty.h"
#include "SimTrace.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/timerfd.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace sim {

namespace {
constexpr double SerialByteUs = 10.0 * 1e6 / 921600.0; // start, 8 data, stop bit
constexpr qint64 MaxSerialBacklogUs = 200000; // the adapter's transmit buffer
constexpr int MaxOutputBytes = 256 * 1024;

double canFrameUs(int len)
{
    // Extended data frame at 1 Mbit/s: 67 bits of framing plus the data, without stuffing.
    return 67.0 + 8.0 * len;
}

qint64 nowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

QString hex(const QByteArray& b)
{
    return QString::fromLatin1(b.toHex(' '));
}
} // namespace

class SimServerPrivate
{
public:
    struct Event
    {
        enum Kind
        {
            Deliver,
            SendFrame,
            SendText
        } kind;
        SimCanFrame frame;
        QByteArray bytes;
    };

    explicit SimServerPrivate(const SimConfig& c);

    void run();
    void onInput(const QByteArray& bytes, qint64 now);
    void deliver(const SimCanFrame& f, qint64 now);
    void scheduleMotorFrames(const std::vector<SimCanFrame>& frames, qint64 now);
    void schedule(qint64 at, Event e);
    void runDue(qint64 now);
    void flushOutput();
    void tickMotors(qint64 now);
    qint64 nextWake(qint64 now) const;
    void onImage(quint8 canId, const QByteArray& image);
    bool isSilent(const SimMotor& m) const;
    void wake();
    // Link-model accounting: [start, end] in microseconds is in flight on some part of the link.
    void busy(double start, double end);
    void noteInput(qint64 now);

    SimConfig cfg;
    SimTrace trace;
    std::function<void(const QString&)> messageHandler;

    mutable std::mutex mutex; // guards everything below
    SimAdapter adapter;
    std::vector<std::unique_ptr<SimMotor>> motors;
    std::map<std::pair<qint64, quint64>, Event> events;
    quint64 eventSeq = 0;
    QByteArray output;
    quint64 received = 0;
    quint64 sent = 0;
    quint64 motorFrameCount = 0;
    double rxFreeUs = 0, busFreeUs = 0, txFreeUs = 0;
    double busyUntilUs = 0, busyUs = 0;
    qint64 lastWriteUs = 0; // when the last bytes really went to the host (never before they were due)
    std::vector<qint64> turnaroundsUs;
    std::vector<qint64> lateUs; // how long after its due time an answer was really written
    QByteArray lastImage;
    quint32 lastCrc = 0;
    int imageCount = 0;
    QStringList messages;
    bool backlogReported = false;

    SimPty pty;
    QString linkCreated;
    std::thread thread;
    std::atomic<bool> stopRequested {false};
    std::atomic<bool> running {false};
    int wakeFds[2] = {-1, -1};
    int timerFd = -1; // absolute monotonic deadlines: no drift and no sleep granularity
};

SimServerPrivate::SimServerPrivate(const SimConfig& c)
    : cfg(c)
    , trace(c.tracePath, c.traceKeepLines)
    , adapter(c.adapterBaud, c.faults.adapterSilent, [this](const QString& l) { trace.add(l); })
{
    for (const MotorConfig& m : cfg.motors) {
        const quint64 mcu = m.mcuId ? m.mcuId : SimServer::defaultMcuId(m.canId);
        motors.push_back(std::make_unique<SimMotor>(
            m.canId, mcu, cfg.faults, cfg.calibrationMs, [this](const QString& l) { trace.add(l); },
            [this](quint8 id, const QByteArray& img) { onImage(id, img); }));
    }
}

bool SimServerPrivate::isSilent(const SimMotor& m) const
{
    for (quint8 id : cfg.faults.silentMotors)
        if (id == 0 || id == m.canId())
            return true;
    return false;
}

void SimServerPrivate::onImage(quint8 canId, const QByteArray& image)
{
    lastImage = image;
    lastCrc = SimFirmwareReceiver::crc32(image);
    ++imageCount;
    const QString line = QStringLiteral("firmware image from host for motor %1: %2 bytes, CRC-32 %3")
                             .arg(canId)
                             .arg(image.size())
                             .arg(lastCrc, 8, 16, QLatin1Char('0'));
    trace.add(line);
    messages << line;
    if (!cfg.firmwareOutPath.isEmpty()) {
        QFile f(cfg.firmwareOutPath);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(image) != image.size())
            messages << QStringLiteral("cannot write %1: %2").arg(cfg.firmwareOutPath, f.errorString());
    }
}

void SimServerPrivate::schedule(qint64 at, Event e)
{
    events.emplace(std::make_pair(at, eventSeq++), std::move(e));
}

void SimServerPrivate::busy(double start, double end)
{
    if (end <= busyUntilUs)
        return;
    busyUs += end - std::max(start, busyUntilUs);
    busyUntilUs = end;
}

void SimServerPrivate::noteInput(qint64 now)
{
    // The link had delivered everything and waited for the host. Counted from when the last
    // byte was really written, so the simulator's own late wake-up is not charged to the host.
    const double gap = double(now) - std::max(busyUntilUs, double(lastWriteUs));
    if (busyUntilUs > 0 && gap >= 0 && gap < 1e6)
        turnaroundsUs.push_back(qint64(gap));
}

void SimServerPrivate::onInput(const QByteArray& bytes, qint64 now)
{
    SimAdapter::Result r;
    adapter.receive(bytes, pty.lineBaud(), &r);
    const double usb = cfg.faults.usbLatencyUs;
    qint64 ready = now;
    if (cfg.faults.linkModel) {
        noteInput(now);
        const double start = std::max(double(now) + usb, rxFreeUs);
        rxFreeUs = start + bytes.size() * SerialByteUs;
        busy(double(now), rxFreeUs);
        ready = qint64(rxFreeUs);
    }
    for (const QByteArray& text : r.replies) {
        qint64 at = ready;
        if (cfg.faults.linkModel) {
            txFreeUs = std::max(double(at), txFreeUs) + text.size() * SerialByteUs;
            at = qint64(txFreeUs + usb);
            busy(double(ready), double(at));
        }
        schedule(at, Event {Event::SendText, {}, text});
    }
    for (const SimCanFrame& f : r.frames) {
        ++received;
        if (trace.enabled())
            trace.add(QStringLiteral("rx %1 | %2").arg(hex(f.toEnvelope()), f.describe()));
        if (!adapter.busUsable()) {
            trace.add(QStringLiteral("adapter: CAN bus at %1 bit/s, frame lost").arg(adapter.canBaud()));
            continue;
        }
        qint64 at = ready;
        if (cfg.faults.linkModel) {
            busFreeUs = std::max(double(at), busFreeUs) + canFrameUs(f.len);
            at = qint64(busFreeUs);
            busy(double(ready), busFreeUs);
        }
        if (at <= now)
            deliver(f, now);
        else
            schedule(at, Event {Event::Deliver, f, {}});
    }
}

void SimServerPrivate::deliver(const SimCanFrame& f, qint64 now)
{
    std::vector<SimCanFrame> out;
    for (auto& m : motors) {
        if (isSilent(*m))
            continue;
        m->handle(f, now, &out);
    }
    scheduleMotorFrames(out, now);
}

void SimServerPrivate::scheduleMotorFrames(const std::vector<SimCanFrame>& frames, qint64 now)
{
    for (const SimCanFrame& f : frames) {
        ++motorFrameCount;
        if (cfg.faults.dropEvery > 0 && motorFrameCount % quint64(cfg.faults.dropEvery) == 0) {
            trace.add(QStringLiteral("drop %1").arg(f.describe()));
            continue;
        }
        qint64 at = now + qint64(cfg.faults.delayMs) * 1000;
        QByteArray env = f.toEnvelope();
        if (cfg.faults.linkModel) {
            if (txFreeUs - now > MaxSerialBacklogUs) {
                if (!backlogReported)
                    trace.add(QStringLiteral("adapter: serial line saturated, frames lost"));
                backlogReported = true;
                continue;
            }
            backlogReported = false;
            const double from = double(at);
            busFreeUs = std::max(from, busFreeUs) + canFrameUs(f.len);
            txFreeUs = std::max(busFreeUs, txFreeUs) + env.size() * SerialByteUs;
            at = qint64(txFreeUs + cfg.faults.usbLatencyUs);
            busy(from, double(at));
        }
        schedule(at, Event {Event::SendFrame, f, std::move(env)});
    }
}

void SimServerPrivate::runDue(qint64 now)
{
    while (!events.empty() && events.begin()->first.first <= now) {
        const qint64 due = events.begin()->first.first;
        Event e = std::move(events.begin()->second);
        events.erase(events.begin());
        switch (e.kind) {
        case Event::Deliver:
            // The motors answer from when the frame was on the bus, not from when this thread
            // woke up: the wake-up's lateness would otherwise be added to every answer.
            deliver(e.frame, due);
            break;
        case Event::SendText:
            trace.add(QStringLiteral("tx text %1").arg(QString::fromLatin1(e.bytes).trimmed()));
            output.append(e.bytes);
            break;
        case Event::SendFrame: {
            if (cfg.faults.linkModel)
                lateUs.push_back(now - due);
            const quint32 line = pty.lineBaud();
            if (adapter.inConfigMode() || line != adapter.configuredBaud() || cfg.faults.adapterSilent) {
                trace.add(QStringLiteral("lost (adapter not forwarding) %1").arg(e.frame.describe()));
                break;
            }
            if (output.size() > MaxOutputBytes) {
                if (!backlogReported)
                    trace.add(QStringLiteral("client not reading, frames lost"));
                backlogReported = true;
                break;
            }
            ++sent;
            if (trace.enabled())
                trace.add(QStringLiteral("tx %1 | %2").arg(hex(e.bytes), e.frame.describe()));
            output.append(e.bytes);
            break;
        }
        }
    }
}

void SimServerPrivate::flushOutput()
{
    while (!output.isEmpty()) {
        const ssize_t n = ::write(pty.masterFd(), output.constData(), size_t(output.size()));
        if (n > 0) {
            output.remove(0, int(n));
            lastWriteUs = nowUs();
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break; // EAGAIN: the client's input queue is full; poll for POLLOUT
    }
}

void SimServerPrivate::tickMotors(qint64 now)
{
    for (auto& m : motors) {
        std::vector<SimCanFrame> out;
        m->tick(now, &out);
        if (!out.empty() && !isSilent(*m))
            scheduleMotorFrames(out, now);
    }
}

qint64 SimServerPrivate::nextWake(qint64 now) const
{
    qint64 next = now + 100000;
    if (!events.empty())
        next = std::min(next, events.begin()->first.first);
    for (const auto& m : motors)
        next = std::min(next, m->nextWakeUs(now));
    return next;
}

void SimServerPrivate::wake()
{
    if (wakeFds[1] >= 0) {
        const char c = 1;
        ssize_t r = ::write(wakeFds[1], &c, 1);
        Q_UNUSED(r);
    }
}

void SimServerPrivate::run()
{
    // Wake at the modelled instant, not up to the default 50 us later.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    QByteArray chunk(65536, '\0');
    while (!stopRequested.load()) {
        qint64 wakeAtUs;
        bool wantWrite;
        {
            std::lock_guard<std::mutex> lock(mutex);
            const qint64 now = nowUs();
            wakeAtUs = std::max<qint64>(now, nextWake(now));
            wantWrite = !output.isEmpty();
        }
        // steady_clock is CLOCK_MONOTONIC: the deadline is absolute, so wake-up latency never
        // accumulates into the model.
        itimerspec deadline {};
        deadline.it_value = {time_t(wakeAtUs / 1000000), long(wakeAtUs % 1000000) * 1000};
        ::timerfd_settime(timerFd, TFD_TIMER_ABSTIME, &deadline, nullptr);
        pollfd fds[3] = {{pty.masterFd(), short(POLLIN | (wantWrite ? POLLOUT : 0)), 0},
            {wakeFds[0], POLLIN, 0}, {timerFd, POLLIN, 0}};
        ::ppoll(fds, 3, nullptr, nullptr);
        if (fds[1].revents & POLLIN) {
            char buf[64];
            while (::read(wakeFds[0], buf, sizeof buf) > 0) { }
        }
        if (fds[2].revents & POLLIN) {
            quint64 expirations;
            ssize_t r = ::read(timerFd, &expirations, sizeof expirations);
            Q_UNUSED(r);
        }
        QByteArray input;
        if (fds[0].revents & POLLIN) {
            for (;;) {
                const ssize_t n = ::read(pty.masterFd(), chunk.data(), size_t(chunk.size()));
                if (n <= 0)
                    break;
                input.append(chunk.constData(), int(n));
            }
        }
        QStringList toPrint;
        {
            std::lock_guard<std::mutex> lock(mutex);
            const qint64 now = nowUs();
            runDue(now);
            if (!input.isEmpty())
                onInput(input, now);
            tickMotors(now);
            runDue(now);
            flushOutput();
            toPrint.swap(messages);
        }
        if (messageHandler)
            for (const QString& m : toPrint)
                messageHandler(m);
    }
}

SimServer::SimServer(const SimConfig& cfg)
    : d(std::make_unique<SimServerPrivate>(cfg))
{ }

SimServer::~SimServer()
{
    stop();
}

quint64 SimServer::defaultMcuId(quint8 canId)
{
    // A plausible, stable unique ID per CAN ID.
    return 0x4E2F9A7300000000ull | (quint64(0x11 * canId + 0x3C) << 16) | (quint64(canId) << 8) | 0x5D;
}

bool SimServer::start(QString* error)
{
    if (d->running.load())
        return true;
    if (!d->trace.isOpen()) {
        if (error)
            *error = QStringLiteral("cannot open trace file %1").arg(d->cfg.tracePath);
        return false;
    }
    for (const MotorConfig& m : d->cfg.motors)
        if (m.canId < 1 || m.canId > 127) {
            if (error)
                *error = QStringLiteral("CAN ID %1 outside 1..127").arg(m.canId);
            return false;
        }
    if (!d->pty.open(d->cfg.adapterBaud, error))
        return false;
    if (!d->cfg.linkPath.isEmpty()) {
        const QByteArray link = QFile::encodeName(d->cfg.linkPath);
        QFileInfo info(d->cfg.linkPath);
        if (info.isSymLink())
            ::unlink(link.constData());
        if (::symlink(QFile::encodeName(d->pty.slavePath()).constData(), link.constData()) != 0) {
            if (error)
                *error = QStringLiteral("cannot create link %1: %2")
                             .arg(d->cfg.linkPath, QString::fromLocal8Bit(strerror(errno)));
            d->pty.close();
            return false;
        }
        d->linkCreated = d->cfg.linkPath;
    }
    if (::pipe2(d->wakeFds, O_NONBLOCK | O_CLOEXEC) != 0) {
        if (error)
            *error = QStringLiteral("pipe: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        stop();
        return false;
    }
    d->timerFd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (d->timerFd < 0) {
        if (error)
            *error = QStringLiteral("timerfd: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        stop();
        return false;
    }
    d->trace.add(QStringLiteral("serving %1 at %2 baud, %3 motor(s)")
                     .arg(d->pty.slavePath())
                     .arg(d->cfg.adapterBaud)
                     .arg(d->cfg.motors.size()));
    d->stopRequested = false;
    d->running = true;
    d->thread = std::thread([this] { d->run(); });
    return true;
}

void SimServer::stop()
{
    d->stopRequested = true;
    d->wake();
    if (d->thread.joinable())
        d->thread.join();
    d->running = false;
    for (int& fd : d->wakeFds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    if (d->timerFd >= 0)
        ::close(d->timerFd);
    d->timerFd = -1;
    d->pty.close();
    if (!d->linkCreated.isEmpty()) {
        ::unlink(QFile::encodeName(d->linkCreated).constData());
        d->linkCreated.clear();
    }
}

namespace {
void percentiles(std::vector<qint64> v, double* p50, double* p99)
{
    if (v.empty())
        return;
    std::sort(v.begin(), v.end());
    *p50 = double(v[v.size() / 2]);
    *p99 = double(v[std::min(v.size() - 1, v.size() * 99 / 100)]);
}
} // namespace

SimServer::LinkStats SimServer::linkStats() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    LinkStats st;
    st.busyUs = d->busyUs;
    st.turnarounds = int(d->turnaroundsUs.size());
    percentiles(d->turnaroundsUs, &st.turnaroundP50Us, &st.turnaroundP99Us);
    percentiles(d->lateUs, &st.lateP50Us, &st.lateP99Us);
    return st;
}

void SimServer::resetLinkStats()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->busyUs = 0;
    d->turnaroundsUs.clear();
    d->lateUs.clear();
}

bool SimServer::isRunning() const
{
    return d->running.load();
}

QString SimServer::portPath() const
{
    return d->pty.slavePath();
}

void SimServer::setMessageHandler(std::function<void(const QString&)> handler)
{
    d->messageHandler = std::move(handler);
}

QStringList SimServer::traceLines() const
{
    return d->trace.lines();
}

void SimServer::clearTrace()
{
    d->trace.clear();
}

#define SIM_LOCKED std::lock_guard<std::mutex> lock(d->mutex)

quint64 SimServer::framesReceived() const
{
    SIM_LOCKED;
    return d->received;
}

quint64 SimServer::framesSent() const
{
    SIM_LOCKED;
    return d->sent;
}

quint32 SimServer::adapterBaud() const
{
    SIM_LOCKED;
    return d->adapter.configuredBaud();
}

bool SimServer::adapterInConfigMode() const
{
    SIM_LOCKED;
    return d->adapter.inConfigMode();
}

quint32 SimServer::adapterCanBaud() const
{
    SIM_LOCKED;
    return d->adapter.canBaud();
}

QByteArray SimServer::lastFirmwareImage() const
{
    SIM_LOCKED;
    return d->lastImage;
}

quint32 SimServer::lastFirmwareCrc() const
{
    SIM_LOCKED;
    return d->lastCrc;
}

int SimServer::firmwareImageCount() const
{
    SIM_LOCKED;
    return d->imageCount;
}

int SimServer::motorCount() const
{
    return int(d->motors.size());
}

int SimServer::motorIndexByCanId(quint8 canId) const
{
    SIM_LOCKED;
    for (size_t i = 0; i < d->motors.size(); ++i)
        if (d->motors[i]->canId() == canId)
            return int(i);
    return -1;
}

quint8 SimServer::motorCanId(int motor) const
{
    SIM_LOCKED;
    return motor >= 0 && motor < int(d->motors.size()) ? d->motors[size_t(motor)]->canId() : 0;
}

quint64 SimServer::motorMcuId(int motor) const
{
    SIM_LOCKED;
    return motor >= 0 && motor < int(d->motors.size()) ? d->motors[size_t(motor)]->mcuId() : 0;
}

int SimServer::motorModeState(int motor) const
{
    SIM_LOCKED;
    return motor >= 0 && motor < int(d->motors.size()) ? d->motors[size_t(motor)]->modeState() : -1;
}

int SimServer::motorRunMode(int motor) const
{
    SIM_LOCKED;
    return motor >= 0 && motor < int(d->motors.size()) ? d->motors[size_t(motor)]->runMode() : -1;
}

bool SimServer::motorScopeRunning(int motor) const
{
    SIM_LOCKED;
    return motor >= 0 && motor < int(d->motors.size()) && d->motors[size_t(motor)]->scopeRunning();
}

QVariant SimServer::parameterValue(int motor, quint16 code) const
{
    SIM_LOCKED;
    if (motor < 0 || motor >= int(d->motors.size()))
        return {};
    return d->motors[size_t(motor)]->parameterValue(code);
}

int SimServer::parameterCode(int motor, const QString& name) const
{
    SIM_LOCKED;
    if (motor < 0 || motor >= int(d->motors.size()))
        return -1;
    return d->motors[size_t(motor)]->params().codeOf(name.toLatin1());
}

} // namespace sim
