#include "SidebarTestSupport.h"

#include "CANWorker.h"
#include "Helper.h"
#include "Sidebar.h"

#include <DataManager.h>
#include <DataObject.h>

#include <QApplication>
#include <QHBoxLayout>
#include <QRegularExpression>

SidebarRig::SidebarRig()
    : BenchRig(std::nullopt)
{
    setUp();
}

SidebarRig::SidebarRig(const sim::SimConfig& cfg)
    : BenchRig(cfg)
{
    setUp();
}

void SidebarRig::setUp()
{
    ve::d().rootDobj()->set(nullptr, "config.setting.remove_device_on_disconnected", true, true);
    window->resize(480, 760);
    sidebar = new Sidebar(window);
    auto* layout = new QHBoxLayout(window);
    layout->addWidget(sidebar);
    window->show();
    QApplication::setActiveWindow(window);
}

bool SidebarRig::connect(int count)
{
    const bool ok = BenchRig::connect(count);
    pause(100); // the last announcement's reactions
    sim->clearTrace();
    return ok;
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
    return waitFor([&] { return count(fragment) >= n; }, ms);
}
