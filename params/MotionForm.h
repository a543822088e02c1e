#pragma once

#include <QCoreApplication>

class EnableButton;
class QCheckBox;
class QGroupBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSlider;
class QStackedWidget;
class QWidget;

// The widgets of the motion control panel, built into the panel by setupUi and named as the
// panel's users and tests find them. Texts belong to the "Sidebar" translation context.
class MotionForm
{
    Q_DECLARE_TR_FUNCTIONS(Sidebar)
public:
    void setupUi(QWidget* sidebar);

    // Header row.
    QLabel* lblDevice = nullptr;
    QComboBox* cmbDevice = nullptr;
    QPushButton* btnEstop = nullptr;

    // "Quick Move".
    QLabel* lblJogSpeed = nullptr;
    QDoubleSpinBox* dspnJosSpeed = nullptr;
    QLabel* lblJogUnit = nullptr;
    QLabel* lblJog = nullptr;
    QPushButton* btnJogPlus = nullptr;
    QPushButton* btnJogMinus = nullptr;

    // "Motion Control".
    QLabel* lblControlMode = nullptr;
    QComboBox* cmbControlMode = nullptr;
    EnableButton* ebControl = nullptr;
    QWidget* wgtSin = nullptr;
    QLabel* lblSin = nullptr;
    EnableButton* ebSin = nullptr;
    QLabel* lblSinA = nullptr;
    QDoubleSpinBox* dspnSinA = nullptr;
    QLabel* lblSinF = nullptr;
    QDoubleSpinBox* dspnSinF = nullptr;
    QStackedWidget* stackedWidget = nullptr;
    QWidget* pgZero = nullptr;
    QWidget* pgMIT = nullptr;
    QWidget* pgPos = nullptr;
    QWidget* pgVel = nullptr;
    QWidget* pgI = nullptr;
    QLabel* lblZero = nullptr;

    // MIT page.
    QDoubleSpinBox *dspnTorque = nullptr, *dspnPos = nullptr, *dspnVel = nullptr, *dspnKp = nullptr,
                   *dspnKd = nullptr;
    QSlider *sldTorque = nullptr, *sldPos = nullptr, *sldVel = nullptr, *sldKp = nullptr, *sldKd = nullptr;
    QPushButton *btnZeroTorque = nullptr, *btnZeroPos = nullptr, *btnZeroVel = nullptr, *btnZeroKp = nullptr,
                *btnZeroKd = nullptr;
    QCheckBox* chbSingleStep = nullptr;
    QPushButton* btnSendMIT = nullptr;
    QPushButton* btnStopMIT = nullptr;

    // Position page.
    QDoubleSpinBox *dspnVel_2 = nullptr, *dspnPos_2 = nullptr;
    QSlider *sldVel_2 = nullptr, *sldPos_2 = nullptr;
    QPushButton *btnZeroVel_2 = nullptr, *btnZeroPos_2 = nullptr;
    QCheckBox* chbContiniousPos = nullptr;
    QPushButton* btnStartPos = nullptr;
    QPushButton* btnStopPos = nullptr;

    // Velocity page.
    QDoubleSpinBox *dspnCurrent = nullptr, *dspnVel_3 = nullptr;
    QSlider *sldCurrent = nullptr, *sldVel_3 = nullptr;
    QPushButton *btnZeroCurrent = nullptr, *btnZeroVel_3 = nullptr;
    QCheckBox* chbContiniousVel = nullptr;
    QPushButton* btnStartVel = nullptr;
    QPushButton* btnStopVel = nullptr;

    // Current page.
    QDoubleSpinBox *dspnIq1 = nullptr, *dspnIq2 = nullptr, *dspnId = nullptr;
    QPushButton *btnSendIq1 = nullptr, *btnSendIq2 = nullptr, *btnSendId = nullptr;

    QGroupBox* grpQuickMove = nullptr;
    QGroupBox* grpMotion = nullptr;
};
