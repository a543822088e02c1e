#include "ScopeWidgetRig.h"

#include "AnalyzeTools.h"
#include "OscilloscopePage.h"

#include <CANWorker.h>
#include <DataManager.h>
#include <DataObject.h>
#include <Helper.h>
#include <ParamRow.h>
#include <ScopeRecorder.h>

#include <QVBoxLayout>

ScopeWidgetRig::ScopeWidgetRig(const sim::SimConfig& cfg)
    : BenchRig(cfg)
{
    ve::d().rootDobj()->set(nullptr, "temp_analyze.path", QString(), true);
    window->resize(1000, 700);
    auto* layout = new QVBoxLayout(window);
    strip = new AnalyzeTools(window);
    layout->addWidget(strip);
    window->show();

    if (!connect(1))
        return;
    device = node(1);
    // What the device tree gives every new device (before the worker writes its identity).
    const QVariant canId = device->r("info.can_id")->get(), mcuId = device->r("info.mcu_id")->get();
    device->copyFrom(nullptr, ve::d("template.r58_motor"), true, false);
    device->set(nullptr, "info.can_id", canId, true);
    device->set(nullptr, "info.mcu_id", mcuId, true);
    Helper::instance()->setCurrentDevice(device);
    worker()->command(CANWorker::LOAD_PARAM);
    if (!waitMessage("Reload all parameters table successfully!")) {
        qWarning("no table: %s", qPrintable(messages.join(QLatin1Char('\n'))));
        return;
    }
    // What the parameter page publishes: channel k is the k-th child of "param".
    const QStringList keys
        = worker()->engine()->withParams([](ParamTable& t) { return ParamRow::channelKeys(t); });
    for (const QString& n : keys)
        device->set(nullptr, "param." + n, 0, true);
    m_ready = true;
}

ScopeWidgetRig::~ScopeWidgetRig()
{
    ScopeRecorder* recorder = ScopeRecorder::of(worker());
    recorder->stop();
    (void)waitFor([&] { return recorder->state() == ScopeRecorder::Idle; }, 3000);
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
