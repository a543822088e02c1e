#pragma once

#include "CANWorker.h"
#include "MotionForm.h"

#include <DataObject.h>

#include <QPointer>
#include <QWidget>

#include <array>
#include <memory>

class MotionSetpoint;
class QTimer;

// The motion control panel on the right of the main window: picks the active motor among the
// connected ones, switches it into a control mode, commands it once or continuously, jogs it,
// runs its sine test and stops every motor at once. Set-points and the run mode live in the
// device node ("_control", "_mode"), so each motor keeps its own.
class Sidebar : public QWidget
{
    Q_OBJECT
public:
    explicit Sidebar(QWidget* parent = nullptr);
    ~Sidebar() override;

    MotionForm ui;

    // The send rows: MIT, position, velocity.
    enum SendRow
    {
        MitRow = 0,
        PositionRow = 1,
        VelocityRow = 2,
        RowCount = 3
    };
    // The row the send timer repeats, or -1.
    int sendingRow() const { return m_sendRow; }
    QTimer* sendTimer() const { return m_timer; }
    // The device a pressed jog button moves, or null.
    ve::DataObject* jogDevice() const { return m_jogDevice; }

    // Repeat rate of continuous sending for a device: its "_control.frequency" in Hz, 1 to 100.
    static int sendInterval(ve::DataObject* device);

public slots:
    void changeDevice(int index);

protected:
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void refillDevices();
    void selectCurrentDevice();
    void showMode(int index);
    void controlSwitch(bool on);
    void modeUpdate(int mode);
    void sineTest(bool on);
    void emergencyStop();
    void jog(bool plus);
    void jogEnd();
    bool stopJog();
    void startRow(int row);
    void sendRow(int row, ve::DataObject* device, bool traced);
    void continuousToggled(int row, bool checked);
    void stopSending();
    void sendCurrent(quint16 index, double value);
    ve::DataObject* deviceOrWarn();
    bool send(ve::DataObject* device, CANWorker::Command cmd, const QVariant& v1 = QVariant(),
        const QVariant& v2 = QVariant(), bool traced = true);

    static int storedMode(ve::DataObject* device);
    static bool switchedOn(ve::DataObject* device);
    void setSwitchedOn(ve::DataObject* device, bool on);

    QPointer<CANWorker> m_worker;
    QTimer* m_timer = nullptr;
    QPointer<ve::DataObject> m_device;
    QPointer<ve::DataObject> m_jogDevice;
    QPointer<ve::DataObject> m_sendDevice;
    int m_sendRow = -1;
    struct Row
    {
        QCheckBox* check;
        QPushButton* start;
        QPushButton* stop;
    };
    std::array<Row, RowCount> m_rows {};
    std::vector<std::unique_ptr<MotionSetpoint>> m_setpoints;
};
