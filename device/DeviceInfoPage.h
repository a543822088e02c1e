#pragma once

#include "BaseEditorPage.h"

#include <QPointer>
#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace ve {
class DataObject;
}

// Editor page of one device: its name, connection, identity with the CAN ID change, and the
// product sheet.
class DeviceInfoPage : public QWidget, public BaseEditorPage
{
    Q_OBJECT
public:
    explicit DeviceInfoPage(QWidget* parent = nullptr);

    QLabel* lblDeviceName;
    QComboBox* cmbConnection;
    QLabel* lblMcuId;
    QSpinBox* spnCanId;
    QPushButton* btnChangeCanId;

private slots:
    void refreshName();
    void onChangeCanId();

private:
    QWidget* deviceSection();
    QWidget* productSection();
    QPointer<ve::DataObject> m_node;
};
