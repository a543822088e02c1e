#include "MotionForm.h"

#include "EnableButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {
QFrame* line(QWidget* parent)
{
    auto* f = new QFrame(parent);
    f->setFrameShape(QFrame::HLine);
    f->setFrameShadow(QFrame::Plain);
    f->setStyleSheet("color:#1e1e1e;");
    return f;
}

QDoubleSpinBox* entry(
    QWidget* parent, const char* name, double min, double max, double step, int decimals, double initial)
{
    auto* s = new QDoubleSpinBox(parent);
    s->setObjectName(name);
    s->setDecimals(decimals);
    s->setRange(min, max);
    s->setSingleStep(step);
    s->setValue(initial);
    s->setMinimumWidth(92);
    return s;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    return b;
}

// A set-point: its label on one line, then the entry, the slider and the zero button.
void setpointRow(QGridLayout* grid, QWidget* page, const QString& text, QDoubleSpinBox* spin,
    QSlider*& slider, const char* sliderName, QPushButton*& zero, const char* zeroName)
{
    const int row = grid->rowCount();
    grid->addWidget(new QLabel(text, page), row, 0, 1, 3);
    slider = new QSlider(Qt::Horizontal, page);
    slider->setObjectName(sliderName);
    slider->setRange(0, 999);
    zero = button(page, zeroName, QStringLiteral("0"));
    zero->setMaximumWidth(24);
    grid->addWidget(spin, row + 1, 0);
    grid->addWidget(slider, row + 1, 1);
    grid->addWidget(zero, row + 1, 2);
}

// "Continuously", "<< Start >>" and "Stop" under the rows of a page.
void sendRow(QGridLayout* grid, QWidget* page, QCheckBox*& check, const char* checkName, QPushButton*& start,
    const char* startName, QPushButton*& stop, const char* stopName)
{
    auto* row = new QHBoxLayout;
    check = new QCheckBox(MotionForm::tr("Continuously"), page);
    check->setObjectName(checkName);
    start = button(page, startName, MotionForm::tr("<< Start >>"));
    stop = button(page, stopName, MotionForm::tr("Stop"));
    row->addWidget(check);
    row->addStretch(1);
    row->addWidget(start);
    row->addWidget(stop);
    grid->addLayout(row, grid->rowCount(), 0, 1, 3);
}

QGridLayout* pageGrid(QWidget* page)
{
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(0, 4, 0, 4);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    grid->setColumnStretch(1, 1);
    return grid;
}
} // namespace

void MotionForm::setupUi(QWidget* sidebar)
{
    sidebar->setObjectName("Sidebar");
    sidebar->resize(452, 706);
    sidebar->setAttribute(Qt::WA_StyledBackground);
    sidebar->setStyleSheet("Sidebar {\nborder:none;\nborder-left:1px solid #1e1e1e;\n}");

    auto* outer = new QVBoxLayout(sidebar);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto* header = new QHBoxLayout;
    header->setSpacing(9);
    header->setContentsMargins(9, 2, 9, 2);
    lblDevice = new QLabel(tr("Activated Device"), sidebar);
    lblDevice->setObjectName("lblDevice");
    cmbDevice = new QComboBox(sidebar);
    cmbDevice->setObjectName("cmbDevice");
    cmbDevice->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cmbDevice->setMinimumContentsLength(10);
    btnEstop = new QPushButton(QIcon(":/images/motor/estop2.png"), tr("EStop"), sidebar);
    btnEstop->setObjectName("btnEstop");
    btnEstop->setStyleSheet("background-color: rgb(59, 59, 5);");
    header->addWidget(lblDevice);
    header->addWidget(cmbDevice, 1);
    header->addWidget(btnEstop);
    outer->addLayout(header);
    outer->addWidget(line(sidebar));

    auto* scroll = new QScrollArea(sidebar);
    scroll->setObjectName("sidebarScroll");
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    auto* content = new QWidget(scroll);
    content->setObjectName("scrollAreaWidgetContents");
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(9, 9, 9, 9);
    column->setSpacing(9);
    scroll->setWidget(content);
    outer->addWidget(scroll, 1);

    // Quick Move.
    grpQuickMove = new QGroupBox(tr("Quick Move"), content);
    grpQuickMove->setObjectName("grpQuickMove");
    auto* quick = new QGridLayout(grpQuickMove);
    lblJogSpeed = new QLabel(tr("Max Speed"), grpQuickMove);
    dspnJosSpeed = entry(grpQuickMove, "dspnJosSpeed", 0, 30, 1, 4, 5);
    lblJogUnit = new QLabel(tr("rad/s"), grpQuickMove);
    lblJog = new QLabel(tr("JOG Move"), grpQuickMove);
    btnJogPlus = new QPushButton(QIcon(":/images/calculate/plus.png"), QString(), grpQuickMove);
    btnJogPlus->setObjectName("btnJogPlus");
    btnJogMinus = new QPushButton(QIcon(":/images/calculate/minus.png"), QString(), grpQuickMove);
    btnJogMinus->setObjectName("btnJogMinus");
    quick->addWidget(lblJogSpeed, 0, 0);
    quick->addWidget(dspnJosSpeed, 0, 1);
    quick->addWidget(lblJogUnit, 0, 2);
    quick->addWidget(lblJog, 1, 0);
    auto* jogButtons = new QHBoxLayout;
    jogButtons->addWidget(btnJogPlus);
    jogButtons->addWidget(btnJogMinus);
    quick->addLayout(jogButtons, 1, 1, 1, 2);
    quick->setColumnStretch(1, 1);
    column->addWidget(grpQuickMove);

    // Motion Control.
    grpMotion = new QGroupBox(tr("Motion Control"), content);
    grpMotion->setObjectName("grpMotion");
    auto* motion = new QVBoxLayout(grpMotion);
    auto* modeRow = new QHBoxLayout;
    lblControlMode = new QLabel(tr("Control Mode"), grpMotion);
    cmbControlMode = new QComboBox(grpMotion);
    cmbControlMode->setObjectName("cmbControlMode");
    cmbControlMode->addItem(tr("Zero Position"), 4);
    cmbControlMode->addItem(tr("MIT Control"), 0);
    cmbControlMode->addItem(tr("Position Mode"), 1);
    cmbControlMode->addItem(tr("Velocity Mode"), 2);
    cmbControlMode->addItem(tr("Current Mode"), 3);
    ebControl = new EnableButton(grpMotion);
    ebControl->setObjectName("ebControl");
    ebControl->setFixedSize(36, 18);
    modeRow->addWidget(lblControlMode);
    modeRow->addWidget(cmbControlMode, 1);
    modeRow->addWidget(ebControl);
    motion->addLayout(modeRow);
    motion->addWidget(line(grpMotion));

    wgtSin = new QWidget(grpMotion);
    wgtSin->setObjectName("wgtSin");
    auto* sin = new QGridLayout(wgtSin);
    sin->setContentsMargins(0, 0, 0, 0);
    lblSin = new QLabel(tr("Sin signal automated test"), wgtSin);
    ebSin = new EnableButton(wgtSin);
    ebSin->setObjectName("ebSin");
    ebSin->setFixedSize(36, 18);
    lblSinA = new QLabel(tr("Amplitude"), wgtSin);
    dspnSinA = entry(wgtSin, "dspnSinA", 0, 99.99, 1, 2, 1);
    lblSinF = new QLabel(tr("Frequency"), wgtSin);
    dspnSinF = entry(wgtSin, "dspnSinF", 0, 1000, 1, 2, 1);
    dspnSinF->setSuffix(tr("Hz"));
    sin->addWidget(lblSin, 0, 0, 1, 2);
    sin->addWidget(ebSin, 0, 2, Qt::AlignRight);
    sin->addWidget(lblSinA, 1, 0);
    sin->addWidget(dspnSinA, 1, 1, 1, 2);
    sin->addWidget(lblSinF, 2, 0);
    sin->addWidget(dspnSinF, 2, 1, 1, 2);
    sin->setColumnStretch(1, 1);
    motion->addWidget(wgtSin);
    motion->addWidget(line(grpMotion));

    stackedWidget = new QStackedWidget(grpMotion);
    stackedWidget->setObjectName("stackedWidget");

    pgZero = new QWidget(stackedWidget);
    pgZero->setObjectName("pgZero");
    auto* zeroLayout = new QVBoxLayout(pgZero);
    lblZero = new QLabel(tr("Return to zero position"), pgZero);
    zeroLayout->addWidget(lblZero);
    zeroLayout->addStretch(1);

    pgMIT = new QWidget(stackedWidget);
    pgMIT->setObjectName("pgMIT");
    QGridLayout* mit = pageGrid(pgMIT);
    dspnTorque = entry(pgMIT, "dspnTorque", -12, 12, 0.1, 4, 0);
    setpointRow(
        mit, pgMIT, tr("Torque (nm)"), dspnTorque, sldTorque, "sldTorque", btnZeroTorque, "btnZeroTorque");
    dspnPos = entry(pgMIT, "dspnPos", -12.5, 12.5, 0.1, 4, 0);
    setpointRow(mit, pgMIT, tr("Position (rad)"), dspnPos, sldPos, "sldPos", btnZeroPos, "btnZeroPos");
    dspnVel = entry(pgMIT, "dspnVel", -30, 30, 0.1, 4, 0);
    setpointRow(mit, pgMIT, tr("Velocity (rad/s)"), dspnVel, sldVel, "sldVel", btnZeroVel, "btnZeroVel");
    mit->addWidget(line(pgMIT), mit->rowCount(), 0, 1, 3);
    dspnKp = entry(pgMIT, "dspnKp", 0, 500, 0.1, 4, 0);
    setpointRow(mit, pgMIT, tr("Kp"), dspnKp, sldKp, "sldKp", btnZeroKp, "btnZeroKp");
    dspnKd = entry(pgMIT, "dspnKd", 0, 5, 0.1, 4, 0);
    setpointRow(mit, pgMIT, tr("Kd"), dspnKd, sldKd, "sldKd", btnZeroKd, "btnZeroKd");
    sendRow(mit, pgMIT, chbSingleStep, "chbSingleStep", btnSendMIT, "btnSendMIT", btnStopMIT, "btnStopMIT");

    pgPos = new QWidget(stackedWidget);
    pgPos->setObjectName("pgPos");
    QGridLayout* pos = pageGrid(pgPos);
    dspnVel_2 = entry(pgPos, "dspnVel_2", -30, 30, 0.1, 4, 0);
    setpointRow(pos, pgPos, tr("Velocity Setting (rad/s)"), dspnVel_2, sldVel_2, "sldVel_2", btnZeroVel_2,
        "btnZeroVel_2");
    dspnPos_2 = entry(pgPos, "dspnPos_2", -12.5, 12.5, 0.1, 4, 0);
    setpointRow(pos, pgPos, tr("Postion Command (rad)"), dspnPos_2, sldPos_2, "sldPos_2", btnZeroPos_2,
        "btnZeroPos_2");
    sendRow(pos, pgPos, chbContiniousPos, "chbContiniousPos", btnStartPos, "btnStartPos", btnStopPos,
        "btnStopPos");

    pgVel = new QWidget(stackedWidget);
    pgVel->setObjectName("pgVel");
    QGridLayout* vel = pageGrid(pgVel);
    dspnCurrent = entry(pgVel, "dspnCurrent", -23, 23, 0.1, 4, 23);
    setpointRow(vel, pgVel, tr("Current Limit (A)"), dspnCurrent, sldCurrent, "sldCurrent", btnZeroCurrent,
        "btnZeroCurrent");
    dspnVel_3 = entry(pgVel, "dspnVel_3", -30, 30, 0.1, 4, 0);
    setpointRow(vel, pgVel, tr("Velocity Command (rad/s)"), dspnVel_3, sldVel_3, "sldVel_3", btnZeroVel_3,
        "btnZeroVel_3");
    sendRow(vel, pgVel, chbContiniousVel, "chbContiniousVel", btnStartVel, "btnStartVel", btnStopVel,
        "btnStopVel");

    pgI = new QWidget(stackedWidget);
    pgI->setObjectName("pgI");
    QGridLayout* cur = pageGrid(pgI);
    auto currentRow = [&](const QString& text, QDoubleSpinBox*& spin, const char* spinName, double initial,
                          QPushButton*& send, const char* sendName) {
        const int row = cur->rowCount();
        cur->addWidget(new QLabel(text, pgI), row, 0, 1, 2);
        spin = entry(pgI, spinName, -23, 23, 0.1, 4, initial);
        send = button(pgI, sendName, tr("<< Send >>"));
        cur->addWidget(spin, row + 1, 0);
        cur->addWidget(send, row + 1, 1, Qt::AlignRight);
    };
    currentRow(tr("Iq Command 1 (A)"), dspnIq1, "dspnIq1", 1, btnSendIq1, "btnSendIq1");
    currentRow(tr("Iq Command 2 (A)"), dspnIq2, "dspnIq2", 0, btnSendIq2, "btnSendIq2");
    currentRow(tr("Id Command (A)"), dspnId, "dspnId", 0, btnSendId, "btnSendId");

    // Pages shorter than the tallest keep their rows together at the top.
    for (QGridLayout* grid : {mit, pos, vel, cur})
        grid->setRowStretch(grid->rowCount(), 1);
    for (QWidget* page : {pgZero, pgMIT, pgPos, pgVel, pgI})
        stackedWidget->addWidget(page);
    motion->addWidget(stackedWidget);
    column->addWidget(grpMotion);
    column->addStretch(1);
}
