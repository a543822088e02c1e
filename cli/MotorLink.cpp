#include "MotorLink.h"

#include <AdapterLink.h>
#include <CANWorker.h>
#include <DataManager.h>
#include <DataObject.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

namespace {
// A scan is over when no motor has announced itself for this long after the last probe.
constexpr int ScanQuietMs = 250;
// The baud search of a silent adapter ends within 500 + 11 * 220 ms; allow for a loaded machine.
constexpr int SearchLimitMs = 8000;
// Sleeps until at least one event arrived (a status, serial bytes, the wait's tick timer) and
// handles what is there; a time-limited processing call would not sleep and would burn a core.
void waitForEvents()
{
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}
} // namespace

MotorLink::MotorLink(int timeoutMs, QObject* parent)
    : QObject(parent)
    , timeoutMs_(timeoutMs)
{
    clock_.start();
    ve::DataObject* root = ve::d().rootDobj();
    // A command line has no device tree: complete each new device node from the template the
    // way the tree would, so it has its triggers and settings.
    ve::DataObject* list = ve::d(QStringLiteral("project.device"));
    connect(list, &ve::DataObject::added, this, [this, list](const QString& rname, QObject*) {
        ve::DataObject* node = list->r(rname);
        if (!node->isEmpty() && node->size() == 0)
            node->copyFrom(this, ve::d(QStringLiteral("template.r58_motor")), true, false);
    });
    connect(ve::d(QStringLiteral("wnd.status.msg")), &ve::DataObject::changed, this,
        [this](const QVariant& v, const QVariant&, QObject*) {
            const QString text = v.toString();
            messages_ << text;
            if (text.startsWith(QLatin1String("<ERROR> ")))
                lastError_ = text.mid(8);
        });
    // The CLI lists every motor on the bus and loads nothing by itself.
    root->set(this, QStringLiteral("config.setting.enable_multiple_devices"), true, true);
    root->set(this, QStringLiteral("config.setting.upload_param_on_connected"), false, true);
    root->set(this, QStringLiteral("config.setting.record_write_raw_data"), false, true);
    root->set(this, QStringLiteral("config.setting.record_read_raw_data"), false, true);

    worker_ = std::make_unique<CANWorker>();
    // Queued after the worker's own reaction, so a status is seen once the worker acted on it.
    connect(worker_->engine(), &otaThread::sendState, this, &MotorLink::onStatus, Qt::QueuedConnection);
    connect(worker_.get(), &CANWorker::errorBox, this, [this](const QString& text) {
        if (serialError_.isEmpty())
            serialError_ = text;
    });
}

MotorLink::~MotorLink()
{
    if (worker_) {
        // Let written frames leave before the port closes.
        if (worker_->isConnected())
            worker_->port()->waitForBytesWritten(200);
        worker_->disconnectPort();
    }
    worker_.reset();
}

otaThread* MotorLink::engine() const
{
    return worker_->engine();
}

void MotorLink::onStatus(const OtaStatus& s)
{
    if (s.code == OTA_STA_DETECT_MCU)
        lastDetect_ = clock_.elapsed();
    statuses_.push_back(s);
}

bool MotorLink::waitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer t;
    t.start();
    QTimer tick;
    tick.start(5);
    for (;;) {
        if (done())
            return true;
        if (serialFailed() || t.elapsed() >= ms)
            return false;
        waitForEvents();
    }
}

bool MotorLink::waitActive(const std::function<bool()>& done, int idleMs)
{
    QElapsedTimer idle;
    idle.start();
    int seen = statuses_.size();
    QTimer tick;
    tick.start(5);
    for (;;) {
        if (done())
            return true;
        if (statuses_.size() != seen) {
            seen = statuses_.size();
            idle.restart();
        }
        if (serialFailed() || idle.elapsed() >= idleMs)
            return false;
        waitForEvents();
    }
}

void MotorLink::mark()
{
    cursor_ = statuses_.size();
}

int MotorLink::waitStatus(const QSet<quint32>& codes, int ms, OtaStatus* out,
    const std::function<void(const OtaStatus&)>& each, bool idleLimit)
{
    return waitStatus(
        [&codes](const OtaStatus& s) { return codes.contains(s.code); }, ms, out, each, idleLimit);
}

int MotorLink::waitStatus(const std::function<bool(const OtaStatus&)>& match, int ms, OtaStatus* out,
    const std::function<void(const OtaStatus&)>& each, bool idleLimit)
{
    int found = -1;
    QElapsedTimer since;
    since.start();
    QTimer tick;
    tick.start(5);
    for (;;) {
        while (cursor_ < statuses_.size()) {
            const OtaStatus s = statuses_[cursor_++];
            if (idleLimit)
                since.restart();
            if (each)
                each(s);
            if (match(s)) {
                if (out)
                    *out = s;
                found = int(s.code);
                break;
            }
        }
        if (found >= 0 || serialFailed() || since.elapsed() >= ms)
            return found;
        waitForEvents();
    }
}

CliStatus MotorLink::failure(const QString& timeoutText) const
{
    if (serialFailed())
        return CliStatus::fail(CliStatus::PortError, serialError_);
    return CliStatus::fail(CliStatus::TimedOut, timeoutText);
}

CliStatus MotorLink::open(const QString& port, int wantedCanId)
{
    port_ = port;
    if (port_.isEmpty()) {
        const QStringList ports = CANWorker::portList();
        if (ports.isEmpty())
            return CliStatus::fail(CliStatus::PortError,
                QStringLiteral("no adapter port found (give --port PATH or set SERVOBENCH_PORTS)"));
        port_ = ports.first();
    }
    // QSerialPort takes a bare name as /dev/NAME; a missing path is reported by name here.
    const QString path = port_.contains(QLatin1Char('/')) ? port_ : QStringLiteral("/dev/") + port_;
    if (!QFileInfo::exists(path))
        return CliStatus::fail(
            CliStatus::PortError, QStringLiteral("serial port %1 does not exist").arg(port_));
    mark();
    worker_->connectPort(port_);
    if (!worker_->isConnected()) {
        return CliStatus::fail(CliStatus::PortError,
            QStringLiteral("cannot open serial port %1: %2").arg(port_, worker_->port()->errorString()));
    }
    // The probe answered (scan started) or the adapter search gave up.
    bool connected = false;
    bool gaveUp = false;
    const bool settled = waitFor(
        [&] {
            while (cursor_ < statuses_.size()) {
                const quint32 c = statuses_[cursor_++].code;
                if (c == OTA_STA_CONNECT_SUCCESS)
                    connected = true;
                else if (c == OTA_STA_CONFIG_OVER_TIME
                    || (c == OTA_STA_INCONFIG_OVER_TIME && CANWorker::baudIndex() >= AdapterLink::BaudCount))
                    gaveUp = true;
            }
            return connected || gaveUp;
        },
        SearchLimitMs);
    if (serialFailed())
        return failure(QString());
    if (!settled || gaveUp)
        return CliStatus::fail(CliStatus::PortError,
            QStringLiteral("the adapter on %1 does not answer (CAN bus configuration failed)").arg(port_));
    // The probes go out at once; the answers come back while and after they are sent.
    const qint64 start = clock_.elapsed();
    waitFor(
        [&] {
            const qint64 now = clock_.elapsed();
            const bool quiet = engine()->step() != STEP_GET_DEV_INFO && now - start >= ScanQuietMs
                && now - lastDetect_ >= ScanQuietMs;
            return quiet && (wantedCanId < 0 || node(wantedCanId));
        },
        qMax(timeoutMs_, 1000));
    if (serialFailed())
        return failure(QString());
    mark();
    return CliStatus::success();
}

QList<int> MotorLink::canIds() const
{
    QList<int> ids;
    for (int id = 1; id <= 127; ++id)
        if (worker_->deviceByCanId(id))
            ids << id;
    return ids;
}

ve::DataObject* MotorLink::node(int canId) const
{
    return worker_->deviceByCanId(canId);
}

CliStatus MotorLink::select(int canId)
{
    const QList<int> ids = canIds();
    QStringList found;
    for (int id : ids)
        found << QStringLiteral("%1 (MCU ID 0x%2)").arg(id).arg(node(id)->name());
    if (canId < 0) {
        if (ids.isEmpty())
            return CliStatus::fail(CliStatus::TimedOut, QStringLiteral("no motor answered on %1").arg(port_));
        if (ids.size() > 1)
            return CliStatus::fail(CliStatus::Usage,
                QStringLiteral("%1 motors on the bus, choose one with --id: %2")
                    .arg(ids.size())
                    .arg(found.join(QStringLiteral(", "))));
        canId = ids.first();
    }
    ve::DataObject* n = node(canId);
    if (!n)
        return CliStatus::fail(CliStatus::TimedOut,
            QStringLiteral("no motor answered with CAN ID %1 on %2 (found: %3)")
                .arg(canId)
                .arg(port_, found.isEmpty() ? QStringLiteral("none") : found.join(QStringLiteral(", "))));
    worker_->setCurrentDevice(n);
    return CliStatus::success();
}

ve::DataObject* MotorLink::current() const
{
    return worker_->currentDevice();
}

int MotorLink::currentCanId() const
{
    ve::DataObject* n = current();
    return n ? n->r(QStringLiteral("info.can_id"))->getInt(0) : 0;
}
