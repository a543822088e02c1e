#include "FirstMotorOpener.h"

#include "Helper.h"

#include <CANWorker.h>
#include <DataManager.h>
#include <DataObject.h>

#include <QTimer>

FirstMotorOpener::FirstMotorOpener(CANWorker* worker, QObject* parent)
    : QObject(parent)
{
    if (worker)
        connect(worker, &CANWorker::deviceChanged, this, &FirstMotorOpener::onDeviceChanged);
}

void FirstMotorOpener::onDeviceChanged()
{
    if (m_done)
        return;
    ve::DataObject* first = nullptr;
    for (ve::DataObject* node : ve::d("project.device")->cdobjs()) {
        if (node->r(QStringLiteral("_connected"))->getBool(false)) {
            first = node;
            break;
        }
    }
    if (!first)
        return;
    m_done = true;
    Helper* helper = Helper::instance();
    // The motion panel has normally made it current already; without the panel nothing has.
    ve::DataObject* current = helper->currentDevice();
    if (current->isEmpty() || !current->r(QStringLiteral("_connected"))->getBool(false))
        helper->setCurrentDevice(first);
    m_device = helper->currentDevice();
    const bool workerOpens = ve::d("config.setting.upload_param_on_connected")->getBool(false)
        && !ve::d("config.setting.enable_multiple_devices")->getBool(false);
    if (workerOpens)
        return;
    // After the same delay as the worker's own opening.
    ve::DataObject* device = m_device;
    QTimer::singleShot(20, device, [device] {
        if (Helper::instance()->currentDevice() == device)
            ve::d().rootDobj()->set(nullptr, QStringLiteral("trigger.configure.param.new"), QVariant(), true);
    });
}
