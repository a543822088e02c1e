#include "BenchRig.h"

#include "CANWorker.h"
#include "Helper.h"
#include "UiResources.h"

#include <AppTree.h>
#include <DataManager.h>
#include <DataObject.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>

RecordingDialogs* BenchRig::freshTree()
{
    servobench::initUiResources();
    Helper* helper = Helper::instance();
    helper->setCurrentDevice(nullptr);
    helper->setEditDevice(nullptr, QString());
    ve::d("project.device")->clear(nullptr, true, false);
    servobench::importTemplate();
    auto recorded = std::make_unique<RecordingDialogs>();
    RecordingDialogs* raw = recorded.get();
    helper->setDialogProvider(std::move(recorded));
    return raw;
}

BenchRig::BenchRig(const std::optional<sim::SimConfig>& cfg)
{
    servobench::initUiResources();
    Helper* helper = Helper::instance();
    if (!helper->canWorker())
        helper->createServices();
    helper->canWorker()->disconnectPort();
    dialogs = freshTree();
    ve::DataObject* root = ve::d().rootDobj();
    root->set(nullptr, "config.setting.enable_multiple_devices", true, true);
    root->set(nullptr, "config.setting.upload_param_on_connected", false, true);
    root->set(nullptr, "working", false, true);

    m_oldPorts = qgetenv("SERVOBENCH_PORTS");
    if (cfg) {
        sim = std::make_unique<sim::SimServer>(*cfg);
        QString err;
        if (!sim->start(&err))
            qFatal("simulator: %s", qPrintable(err));
        qputenv("SERVOBENCH_PORTS", sim->portPath().toUtf8());
    }

    window = new QWidget;
    helper->setMainWindow(window);
    m_block = QObject::connect(ve::d("trigger.block"), &ve::DataObject::changed,
        [this](const QVariant& v, const QVariant&, QObject*) { blockTexts << v; });
    m_status = QObject::connect(ve::d("wnd.status.msg"), &ve::DataObject::changed,
        [this](const QVariant& v, const QVariant&, QObject*) { messages << v.toString(); });
}

BenchRig::~BenchRig()
{
    QObject::disconnect(m_block);
    QObject::disconnect(m_status);
    Helper* helper = Helper::instance();
    delete window; // pages first: they belong to devices that go next
    helper->canWorker()->disconnectPort();
    helper->setCurrentDevice(nullptr);
    helper->setEditDevice(nullptr, QString());
    ve::d("project.device")->clear(nullptr, true, false);
    sim.reset();
    if (m_oldPorts.isNull())
        qunsetenv("SERVOBENCH_PORTS");
    else
        qputenv("SERVOBENCH_PORTS", m_oldPorts);
    helper->setDialogProvider(nullptr);
}

void BenchRig::addBlockBox()
{
    if (!Helper::instance()->blockBox())
        Helper::instance()->createBlockBox();
}

CANWorker* BenchRig::worker()
{
    return Helper::instance()->canWorker();
}

bool BenchRig::connect(int count, int ms)
{
    CANWorker* w = worker();
    w->connectPort(sim->portPath());
    return waitScanned(count, ms);
}

bool BenchRig::waitScanned(int count, int ms) const
{
    CANWorker* w = worker();
    if (!waitFor([&] { return w->deviceMapSize() == count && w->engine()->step() == STEP_STOP; }, ms))
        return false;
    // Quiet means no new frame for 100 ms.
    quint64 seen = sim->framesReceived();
    QElapsedTimer quiet;
    quiet.start();
    return waitFor(
        [&] {
            const quint64 now = sim->framesReceived();
            if (now != seen) {
                seen = now;
                quiet.restart();
            }
            return quiet.elapsed() >= 100;
        },
        ms);
}

ve::DataObject* BenchRig::node(int canId) const
{
    return worker()->deviceByCanId(canId);
}

void BenchRig::makeCurrent(int canId)
{
    Helper::instance()->setCurrentDevice(node(canId));
}

bool BenchRig::idle(int ms) const
{
    otaThread* engine = worker()->engine();
    return waitFor([engine] { return engine->step() == STEP_STOP; }, ms);
}

bool BenchRig::waitMessage(const QString& text, int ms) const
{
    return waitFor([&] { return messages.contains(text); }, ms);
}

QStringList BenchRig::blocks() const
{
    QStringList out;
    for (const QVariant& v : blockTexts)
        out << (v.isNull() ? QStringLiteral("<null>") : v.toString());
    return out;
}

bool BenchRig::waitFor(const std::function<bool()>& cond, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > ms)
            return false;
        pause(2);
        // As QTest::qWaitFor: what was deleted later is gone before the next look.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

void BenchRig::pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
