#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

// The Device tool strip: connect and disconnect, the information page, encoder calibration,
// CAN ID change, mechanical zero and firmware update for the current device.
class DeviceTools : public QWidget
{
    Q_OBJECT
public:
    explicit DeviceTools(QWidget* parent = nullptr);

    // A calibrating motor that stops reporting for this long ends the run as failed (tests
    // shorten it).
    void setCalibrationSilenceLimitMs(int ms) { m_calibrationSilenceMs = ms; }

    QPushButton* btnConnect;
    QPushButton* btnDisconnect;
    QPushButton* btnDeviceInfo;
    QPushButton* btnEncoderCalibration;
    QLabel* lblCanId;
    QSpinBox* spnCanId;
    QPushButton* btnChangeCanId;
    QPushButton* btnInit;
    QWidget* widget_2;
    QComboBox* cmbMotorInit;
    QPushButton* btnZeroMech;
    QPushButton* btnUpdate;

private slots:
    void onConnect();
    void onDisconnect();
    void onChangeCanId();
    void onZeroMech();
    void onCalibration();
    void onUpdate();

private:
    void setWorking(bool working);
    int m_calibrationSilenceMs = 15000;
};
