#include "DeviceWidget.h"

#include "Helper.h"

#include <DataManager.h>
#include <DataObject.h>

#include <QHeaderView>
#include <QTimer>

const QColor DeviceWidget::ConnectedColor(7, 193, 96);

namespace {
enum Rows
{
    InfoRow = 0,
    ParamRow = 1
};
enum InfoRows
{
    ManufactoryRow = 0,
    McuIdRow = 1,
    CanIdRow = 2
};

QString mcuText(ve::DataObject* node)
{
    const QVariant v = node->r("info.mcu_id")->get();
    bool ok = false;
    const qulonglong id = v.toULongLong(&ok);
    // Projects store it as text; the worker as a number.
    return ok ? QString::number(id, 16) : v.toString().toLower();
}
} // namespace

DeviceWidget::DeviceWidget(QWidget* parent)
    : QTreeWidget(parent)
{
    setObjectName("DeviceWidget");
    setColumnCount(2);
    setHeaderLabels({tr("Name"), tr("Value")});
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header()->setStretchLastSection(true);
    setStyleSheet("QTreeWidget {\nborder:1px solid #1e1e1e;\n}\n"
                  "QTreeView::branch:has-children:!has-siblings:closed,\n"
                  "QTreeView::branch:closed:has-children:has-siblings {\n"
                  "border-image:none;\nimage:url(:/images/triangle/right.png);\n}\n"
                  "QTreeView::branch:open:has-children:!has-siblings,\n"
                  "QTreeView::branch:open:has-children:has-siblings {\n"
                  "border-image:none;\nimage:url(:/images/triangle/down.png);\n}");

    ve::DataObject* devices = ve::d("project.device");
    connect(
        devices, &ve::DataObject::added, this, [this](const QString& name, QObject*) { addDevice(name); });
    connect(devices, &ve::DataObject::removed, this,
        [this](const QString& name, QObject*) { removeDevice(name); });
    // Devices of a project loaded before the tree existed.
    for (int i = 0; i < devices->size(); ++i)
        addDevice(devices->cdobj(i)->name());

    ve::DataObject* follow = ve::d("config.setting.trigger_by_left");
    connect(follow, &ve::DataObject::changed, this,
        [this](const QVariant& v, const QVariant&, QObject*) { setSelectionFollows(v.toBool()); });
    setSelectionFollows(follow->getBool(true));
}

QTreeWidgetItem* DeviceWidget::itemOf(const QString& name) const
{
    for (int i = 0; i < topLevelItemCount(); ++i)
        if (topLevelItem(i)->data(0, Qt::UserRole).toString() == name)
            return topLevelItem(i);
    return nullptr;
}

void DeviceWidget::addDevice(QString var_name)
{
    ve::DataObject* node = ve::d("project.device")->cdobj(var_name, true);
    if (node->isEmpty() || itemOf(var_name))
        return;
    // Runs inside the insertion, so the node has all its members before anyone writes to it.
    node->copyFrom(this, ve::d("template.r58_motor"), true, false);

    auto* top = new QTreeWidgetItem;
    top->setText(0, tr("R58 Motor %1").arg(topLevelItemCount()));
    top->setData(0, Qt::UserRole, var_name);
    updateConnected(top, node->cdobj("_connected")->getBool(false));

    auto* info = new QTreeWidgetItem(top, {tr("Info")});
    new QTreeWidgetItem(info, {tr("Manufactory"), tr("Orvanta")});
    new QTreeWidgetItem(info, {tr("MCU ID"), mcuText(node)});
    new QTreeWidgetItem(info, {tr("CAN ID"), node->r("info.can_id")->getString()});
    new QTreeWidgetItem(top, {tr("Param")});

    delete m_bindings.take(var_name);
    auto* binding = new QObject(this);
    m_bindings.insert(var_name, binding);
    auto find = [this, var_name] { return itemOf(var_name); };

    connect(node->cdobj("_connected"), &ve::DataObject::changed, binding,
        [this, find](const QVariant& v, const QVariant&, QObject*) {
            if (QTreeWidgetItem* item = find())
                updateConnected(item, v.toBool());
        });
    connect(node->r("info.mcu_id"), &ve::DataObject::changed, binding, [find, node] {
        if (QTreeWidgetItem* item = find())
            item->child(InfoRow)->child(McuIdRow)->setText(1, mcuText(node));
    });
    connect(node->r("info.can_id"), &ve::DataObject::changed, binding,
        [find, node](const QVariant& v, const QVariant&, QObject*) {
            QTreeWidgetItem* item = find();
            if (!item)
                return;
            item->child(InfoRow)->child(CanIdRow)->setText(1, QString::number(v.toInt()));
            item->setText(0, Helper::instance()->deviceName(node));
        });
    ve::DataObject* params = node->cdobj("param");
    connect(params, &ve::DataObject::changed, binding, [this, var_name] { rebuildParams(var_name); });
    // A table filled entry by entry is rebuilt once after the burst.
    auto* later = new QTimer(binding);
    later->setSingleShot(true);
    later->setInterval(0);
    connect(later, &QTimer::timeout, this, [this, var_name] { rebuildParams(var_name); });
    connect(params, &ve::DataObject::added, later, qOverload<>(&QTimer::start));
    connect(params, &ve::DataObject::removed, later, qOverload<>(&QTimer::start));

    addTopLevelItem(top);
    rebuildParams(var_name);
    top->setExpanded(true);
    info->setExpanded(true);
}

void DeviceWidget::removeDevice(QString var_name)
{
    delete m_bindings.take(var_name);
    for (int i = topLevelItemCount() - 1; i >= 0; --i)
        if (topLevelItem(i)->data(0, Qt::UserRole).toString() == var_name)
            delete takeTopLevelItem(i);
}

void DeviceWidget::changeDevice() { }

void DeviceWidget::selectDevice(QTreeWidgetItem* current)
{
    if (!current)
        return;
    while (current->parent())
        current = current->parent();
    ve::DataObject* node = ve::d("project.device")->cdobj(current->data(0, Qt::UserRole).toString(), true);
    if (node->isEmpty())
        return;
    Helper* helper = Helper::instance();
    // Helper::setCurrentDevice emits currentDeviceDobjChanged when the device changes.
    if (node != helper->currentDevice())
        helper->setCurrentDevice(node);
}

void DeviceWidget::setSelectionFollows(bool on)
{
    disconnect(m_selection);
    if (on)
        m_selection = connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { selectDevice(current); });
}

void DeviceWidget::updateConnected(QTreeWidgetItem* top, bool connected)
{
    top->setText(1, connected ? tr("Connected") : tr("Disconnected"));
    top->setForeground(1, connected ? QBrush(ConnectedColor) : QBrush(Qt::white));
}

void DeviceWidget::rebuildParams(const QString& name)
{
    QTreeWidgetItem* top = itemOf(name);
    ve::DataObject* params = ve::d("project.device")->cdobj(name, true)->cdobj("param");
    if (!top)
        return;
    QTreeWidgetItem* row = top->child(ParamRow);
    qDeleteAll(row->takeChildren());
    for (int i = 0; i < params->size(); ++i) {
        ve::DataObject* p = params->cdobj(i);
        new QTreeWidgetItem(row, {p->name(), p->get().toString()});
    }
}
