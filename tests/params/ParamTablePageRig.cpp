#include "ParamTablePageRig.h"

#include "CANWorker.h"
#include "ConfigureTools.h"
#include "Editor.h"
#include "Helper.h"
#include "ParamTablePage.h"
#include "UiResources.h"

#include <AppTree.h>
#include <DataManager.h>
#include <DataObject.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

ParamTablePageRig::ParamTablePageRig(const sim::SimConfig& cfg)
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

    window = new QWidget;
    window->resize(1000, 700);
    auto* layout = new QVBoxLayout(window);
    tools = new ConfigureTools(window);
    editor = new Editor(window);
    layout->addWidget(tools);
    layout->addWidget(editor, 1);
    helper->setMainWindow(window);
    if (!helper->blockBox())
        helper->createBlockBox();
    window->show();

    m_block = QObject::connect(ve::d("trigger.block"), &ve::DataObject::changed,
        [this](const QVariant& v, const QVariant&, QObject*) { blockTexts << v; });
    m_status = QObject::connect(ve::d("wnd.status.msg"), &ve::DataObject::changed,
        [this](const QVariant& v, const QVariant&, QObject*) { messages << v.toString(); });
}

ParamTablePageRig::~ParamTablePageRig()
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
    helper->setDialogProvider(nullptr);
}

bool ParamTablePageRig::waitFor(const std::function<bool()>& cond, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > ms)
            return false;
        QEventLoop loop;
        QTimer::singleShot(2, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

bool ParamTablePageRig::waitMessage(const QString& text, int ms) const
{
    return waitFor([&] { return messages.contains(text); }, ms);
}

bool ParamTablePageRig::connect(int count)
{
    CANWorker* worker = Helper::instance()->canWorker();
    worker->connectPort(sim->portPath());
    return waitFor([&] { return worker->deviceMapSize() == count && worker->engine()->step() == STEP_STOP; });
}

ve::DataObject* ParamTablePageRig::node(int canId) const
{
    return Helper::instance()->canWorker()->deviceByCanId(canId);
}

void ParamTablePageRig::makeCurrent(int canId)
{
    Helper::instance()->setCurrentDevice(node(canId));
}

ParamTablePage* ParamTablePageRig::openPage(int canId)
{
    makeCurrent(canId);
    ve::d("trigger.configure.param.new")->trigger();
    ParamTablePage* page = ParamTablePage::of(node(canId));
    if (!page || !waitFor([page] { return page->isLive() && page->tableWidget->rowCount() > 0; }))
        return nullptr;
    return page;
}

QVariant ParamTablePageRig::simValue(int canId, const QString& name) const
{
    const int m = motor(canId);
    return sim->parameterValue(m, quint16(sim->parameterCode(m, name)));
}
