#include "SidebarTestSupport.h"

#include "CANWorker.h"
#include "Helper.h"
#include "Sidebar.h"
#include "UiResources.h"

#include <AppTree.h>
#include <DataManager.h>
#include <DataObject.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

SidebarRig::SidebarRig()
{
    setUp();
}

SidebarRig::SidebarRig(const sim::SimConfig& cfg)
{
    sim = std::make_unique<sim::SimServer>(cfg);
    QString err;
    if (!sim->start(&err))
        qFatal("simulator: %s", qPrintable(err));
    setUp();
}

void SidebarRig::setUp()
{
    servobench::initUiResources();
    Helper* helper = Helper::instance();
    if (!helper->canWorker())
        helper->createServices();
    helper->canWorker()->disconnectPort();
    helper->setCurrentDevice(nullptr);
    ve::d("project.device")->clear(nullptr, true, false);
    servobench::importTemplate();
    ve::DataObject* root = ve::d().rootDobj();
    root->set(nullptr, "config.setting.enable_multiple_devices", true, true);
    root->set(nullptr, "config.setting.upload_param_on_connected", false, true);
    root->set(nullptr, "config.setting.remove_device_on_disconnected", true, true);
    root->set(nullptr, "working", false, true);
    auto recorded = std::make_unique<RecordingDialogs>();
    dialogs = recorded.get();
    helper->setDialogProvider(std::move(recorded));

    window = new QWidget;
    window->resize(480, 760);
    sidebar = new Sidebar(window);
    auto* layout = new QHBoxLayout(window);
    layout->addWidget(sidebar);
    helper->setMainWindow(window);
    window->show();
    QApplication::setActiveWindow(window);

    m_status = QObject::connect(ve::d("wnd.status.msg"), &ve::DataObject::changed,
        [this](const QVariant& v, const QVariant&, QObject*) { messages << v.toString(); });
}

SidebarRig::~SidebarRig()
{
    QObject::disconnect(m_status);
    Helper* helper = Helper::instance();
    helper->canWorker()->disconnectPort();
    helper->setCurrentDevice(nullptr);
    ve::d("project.device")->clear(nullptr, true, false);
    sim.reset();
    delete window;
    helper->setDialogProvider(nullptr);
}

CANWorker* SidebarRig::worker() const
{
    return Helper::instance()->canWorker();
}

bool SidebarRig::connect(int count)
{
    CANWorker* w = worker();
    w->connectPort(sim->portPath());
    const bool ok = QTest::qWaitFor(
        [&] { return w->deviceMapSize() == count && w->engine()->step() == STEP_STOP; }, 10000);
    pause(100); // the last announcement's reactions
    sim->clearTrace();
    return ok;
}

ve::DataObject* SidebarRig::node(int canId) const
{
    return worker()->deviceByCanId(canId);
}

ve::DataObject* SidebarRig::addDevice(const QString& name, int canId, bool connected)
{
    ve::DataObject* node = ve::d("project.device")->append(nullptr, name);
    node->copyFrom(nullptr, ve::d("template.r58_motor"), true, false);
    node->set(nullptr, "info.can_id", canId, true);
    node->set(nullptr, "_connected", connected, true);
    emit worker()->deviceChanged();
    return node;
}

ve::DataObject* SidebarRig::current() const
{
    return Helper::instance()->currentDevice();
}

void SidebarRig::makeCurrent(ve::DataObject* node)
{
    Helper::instance()->setCurrentDevice(node);
}

QStringList SidebarRig::messagesContaining(const QString& text) const
{
    return messages.filter(text);
}

QList<SidebarRig::Frame> SidebarRig::frames(const QString& fragment) const
{
    static const QRegularExpression line(QStringLiteral("^\\s*([0-9.]+) rx [0-9a-f ]+\\| (.*)$"));
    QList<Frame> out;
    if (!sim)
        return out;
    for (const QString& l : sim->traceLines()) {
        const QRegularExpressionMatch m = line.match(l);
        if (m.hasMatch() && m.captured(2).contains(fragment))
            out.append({m.captured(1).toDouble(), m.captured(2)});
    }
    return out;
}

bool SidebarRig::waitFrames(const QString& fragment, int n, int ms) const
{
    return QTest::qWaitFor([&] { return count(fragment) >= n; }, ms);
}

void SidebarRig::pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
