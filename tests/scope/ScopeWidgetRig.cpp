#include "ScopeWidgetRig.h"

#include "AnalyzeTools.h"
#include "OscilloscopePage.h"

#include <AppTree.h>
#include <CANWorker.h>
#include <DataManager.h>
#include <DataObject.h>
#include <Helper.h>
#include <ScopeRecorder.h>
#include <UiResources.h>

#include <QTest>
#include <QVBoxLayout>

ScopeWidgetRig::ScopeWidgetRig(const sim::SimConfig& cfg)
{
    servobench::initUiResources();
    Helper* helper = Helper::instance();
    if (!helper->canWorker())
        helper->createServices();
    CANWorker* worker = helper->canWorker();
    worker->disconnectPort();
    helper->setCurrentDevice(nullptr);
    helper->setEditDevice(nullptr, QString());
    ve::d("project.device")->clear(nullptr, true, false);
    servobench::importTemplate();
    ve::DataObject* root = ve::d().rootDobj();
    root->set(nullptr, "config.setting.enable_multiple_devices", true, true);
    root->set(nullptr, "config.setting.upload_param_on_connected", false, true);
    root->set(nullptr, "temp_analyze.path", QString(), true);
    auto recorded = std::make_unique<RecordingDialogs>();
    dialogs = recorded.get();
    helper->setDialogProvider(std::move(recorded));
    m_status = QObject::connect(ve::d("wnd.status.msg"), &ve::DataObject::changed,
        [this](const QVariant& v, const QVariant&, QObject*) { messages << v.toString(); });

    sim = std::make_unique<sim::SimServer>(cfg);
    QString err;
    if (!sim->start(&err))
        qFatal("simulator: %s", qPrintable(err));
    window = new QWidget;
    window->resize(1000, 700);
    helper->setMainWindow(window);
    auto* layout = new QVBoxLayout(window);
    strip = new AnalyzeTools(window);
    layout->addWidget(strip);
    window->show();

    worker->connectPort(sim->portPath());
    if (!QTest::qWaitFor(
            [&] { return worker->deviceMapSize() == 1 && worker->engine()->step() == STEP_STOP; }, 10000))
        return;
    device = worker->deviceByCanId(1);
    // What the device tree gives every new device (before the worker writes its identity).
    const QVariant canId = device->r("info.can_id")->get(), mcuId = device->r("info.mcu_id")->get();
    device->copyFrom(nullptr, ve::d("template.r58_motor"), true, false);
    device->set(nullptr, "info.can_id", canId, true);
    device->set(nullptr, "info.mcu_id", mcuId, true);
    helper->setCurrentDevice(device);
    worker->command(CANWorker::LOAD_PARAM);
    if (!waitMessage("Reload all parameters table successfully!")) {
        qWarning("no table: %s", qPrintable(messages.join(QLatin1Char('\n'))));
        return;
    }
    // What the parameter page publishes: channel k is the k-th child of "param".
    const QStringList names = worker->engine()->withParams([](ParamTable& t) {
        QStringList n;
        for (int i = t.channelBase() + 1; i < t.count(2); ++i)
            n << t.entry(2, i).name;
        for (int i = 0; i < t.count(3); ++i)
            n << t.entry(3, i).name;
        return n;
    });
    for (const QString& n : names)
        device->set(nullptr, "param." + n, 0, true);
    m_ready = true;
}

ScopeWidgetRig::~ScopeWidgetRig()
{
    QObject::disconnect(m_status);
    Helper* helper = Helper::instance();
    CANWorker* worker = helper->canWorker();
    ScopeRecorder::of(worker)->stop();
    (void)QTest::qWaitFor([&] { return ScopeRecorder::of(worker)->state() == ScopeRecorder::Idle; }, 3000);
    delete window;
    worker->disconnectPort();
    helper->setEditDevice(nullptr, QString());
    helper->setCurrentDevice(nullptr);
    ve::d("project.device")->clear(nullptr, true, false);
    sim.reset();
    helper->setDialogProvider(nullptr);
}

OscilloscopePage* ScopeWidgetRig::openPage()
{
    auto* page = new OscilloscopePage(window);
    window->layout()->addWidget(page);
    // As the editor does when the page becomes current.
    Helper::instance()->setEditDevice(device, "oscilloscope");
    emit Helper::instance()->editDevieDobjChanged("oscilloscope");
    return page;
}

int ScopeWidgetRig::channel(const QString& name) const
{
    return device->cdobj("param")->cdobjNames().indexOf(name) + 1;
}

void ScopeWidgetRig::choose(int slot, const QString& name)
{
    ve::d("temp_analyze.channel")
        ->cdobj(slot)
        ->set(nullptr, "type", name.isEmpty() ? 0 : channel(name), true);
}

bool ScopeWidgetRig::waitMessage(const QString& text, int ms) const
{
    return QTest::qWaitFor([&] { return messages.contains(text); }, ms);
}
