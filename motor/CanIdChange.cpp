#include "CanIdChange.h"

#include "CANWorker.h"

#include <DataObject.h>

CanIdChange::CanIdChange(CANWorker* worker, QObject* parent)
    : QObject(parent)
    , worker_(worker)
{
    limit_.setSingleShot(true);
    limit_.setInterval(300);
    connect(&limit_, &QTimer::timeout, this, [this] { done(false); });
}

bool CanIdChange::start(ve::DataObject* device, int newCanId)
{
    if (!device || device->isEmpty() || limit_.isActive())
        return false;
    device_ = device;
    wanted_ = newCanId;
    if (!worker_->command(CANWorker::SET_CAN_ID, newCanId, QVariant::fromValue(device)))
        return false;
    device->insert(this, QStringLiteral("info.can_id"));
    watch_ = connect(
        device->r(QStringLiteral("info.can_id")), &ve::DataObject::changed, this, &CanIdChange::check);
    limit_.start();
    check();
    return true;
}

void CanIdChange::check()
{
    if (device_ && device_->r(QStringLiteral("info.can_id"))->getInt(-1) == wanted_)
        done(true);
}

void CanIdChange::done(bool ok)
{
    if (!limit_.isActive() && ok)
        return;
    limit_.stop();
    disconnect(watch_);
    const QString name = worker_->deviceName(device_);
    emit finished(ok,
        ok ? tr("Device %1 CAN ID set successfully!").arg(name)
           : tr("Device %1 CAN ID set failed!").arg(name));
}
