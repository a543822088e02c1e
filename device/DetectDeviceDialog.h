#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

// Lists the serial ports of the USB-CAN adapter and connects to the chosen (or typed) one,
// which starts the bus scan.
class DetectDeviceDialog : public QDialog
{
    Q_OBJECT
public:
    explicit DetectDeviceDialog(QWidget* parent = nullptr);

    QComboBox* cmbType;
    QComboBox* cmbPort;
    QPushButton* btnRefresh;
    QLabel* lblInstall;
    QPushButton* btnAdd;
    QPushButton* btnClose;

    // What the driver link explains; no driver is installed on this platform.
    static QString portAccessHelp();

public slots:
    void detectPort();
    void detectDevice();

private slots:
    void onConnect();
    void onLink(const QString& link);
};
