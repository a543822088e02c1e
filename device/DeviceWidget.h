#pragma once

#include <QHash>
#include <QPointer>
#include <QTreeWidget>

namespace ve {
class DataObject;
}

// The device tree on the left of the window: one top-level item per node of "project.device"
// with its connection state, identity and parameters. Choosing an item makes its device the
// current one while "config.setting.trigger_by_left" is on.
class DeviceWidget : public QTreeWidget
{
    Q_OBJECT
public:
    explicit DeviceWidget(QWidget* parent = nullptr);

    static const QColor ConnectedColor;
    // The top-level item of the device node with this name, or null.
    QTreeWidgetItem* itemOf(const QString& name) const;

public slots:
    void addDevice(QString var_name);
    void removeDevice(QString var_name);
    void changeDevice();
    void selectDevice(QTreeWidgetItem* current);

private:
    void setSelectionFollows(bool on);
    void updateConnected(QTreeWidgetItem* top, bool connected);
    void rebuildParams(const QString& name);

    // One context object per shown device: deleting it drops the node connections with the item.
    QHash<QString, QPointer<QObject>> m_bindings;
    QMetaObject::Connection m_selection;
};
