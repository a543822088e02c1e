#include "DeviceTestSupport.h"

#include "CANWorker.h"
#include "DetectDeviceDialog.h"
#include "DeviceWidget.h"
#include "Helper.h"
#include "UiResources.h"

#include <AppTree.h>
#include <DataManager.h>
#include <DataObject.h>

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTest>

DeviceRig::DeviceRig(const sim::SimConfig& cfg)
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
    root->set(nullptr, "working", false, true);
    auto recorded = std::make_unique<RecordingDialogs>();
    dialogs = recorded.get();
    helper->setDialogProvider(std::move(recorded));

    sim = std::make_unique<sim::SimServer>(cfg);
    QString err;
    if (!sim->start(&err))
        qFatal("simulator: %s", qPrintable(err));
    m_oldPorts = qgetenv("SERVOBENCH_PORTS");
    qputenv("SERVOBENCH_PORTS", sim->portPath().toUtf8());

    window = new QWidget;
    window->resize(900, 600);
    tree = new DeviceWidget(window);
    auto* layout = new QHBoxLayout(window);
    layout->addWidget(tree);
    helper->setMainWindow(window);
    if (!helper->blockBox())
        helper->createBlockBox();
    window->show();

    m_block = QObject::connect(ve::d("trigger.block"), &ve::DataObject::changed,
        [this](const QVariant& v, const QVariant&, QObject*) { blockTexts << v; });
    m_status = QObject::connect(ve::d("wnd.status.msg"), &ve::DataObject::changed,
        [this](const QVariant& v, const QVariant&, QObject*) { messages << v.toString(); });
}

DeviceRig::~DeviceRig()
{
    QObject::disconnect(m_block);
    QObject::disconnect(m_status);
    Helper* helper = Helper::instance();
    helper->canWorker()->disconnectPort();
    helper->setCurrentDevice(nullptr);
    ve::d("project.device")->clear(nullptr, true, false);
    sim.reset();
    qputenv("SERVOBENCH_PORTS", m_oldPorts);
    helper->setDialogProvider(nullptr);
    delete window;
}

sim::SimConfig DeviceRig::motors(std::initializer_list<int> canIds)
{
    return sim::SimConfig::forCanIds(canIds);
}

bool DeviceRig::connectFromDialog(int count)
{
    DetectDeviceDialog dialog(window);
    if (dialog.cmbPort->findText(sim->portPath()) < 0)
        return false;
    dialog.cmbPort->setCurrentText(sim->portPath());
    QTest::mouseClick(dialog.btnAdd, Qt::LeftButton);
    if (dialog.result() != QDialog::Accepted)
        return false;
    CANWorker* worker = Helper::instance()->canWorker();
    return QTest::qWaitFor(
        [&] { return worker->deviceMapSize() == count && worker->engine()->step() == STEP_STOP; }, 10000);
}

ve::DataObject* DeviceRig::node(int canId) const
{
    return Helper::instance()->canWorker()->deviceByCanId(canId);
}

void DeviceRig::makeCurrent(int canId)
{
    Helper::instance()->setCurrentDevice(node(canId));
}

bool DeviceRig::idle(int ms) const
{
    otaThread* engine = Helper::instance()->canWorker()->engine();
    return QTest::qWaitFor([engine] { return engine->step() == STEP_STOP; }, ms);
}

QStringList DeviceRig::blocks() const
{
    QStringList out;
    for (const QVariant& v : blockTexts)
        out << (v.isNull() ? QStringLiteral("<null>") : v.toString());
    return out;
}
