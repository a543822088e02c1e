#include "DetectDeviceDialog.h"

#include "CANWorker.h"
#include "Helper.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

DetectDeviceDialog::DetectDeviceDialog(QWidget* parent)
    : QDialog(parent)
    , cmbType(new QComboBox(this))
    , cmbPort(new QComboBox(this))
    , btnRefresh(new QPushButton(this))
    , lblInstall(new QLabel(this))
    , btnAdd(new QPushButton(tr("Connect"), this))
    , btnClose(new QPushButton(tr("Cancel"), this))
{
    setObjectName("DetectDeviceDialog");
    setWindowTitle(tr("Detect Devices"));
    setMinimumWidth(360);
    cmbType->setObjectName("cmbType");
    cmbPort->setObjectName("cmbPort");
    btnRefresh->setObjectName("btnRefresh");
    lblInstall->setObjectName("lblInstall");
    btnAdd->setObjectName("btnAdd");
    btnClose->setObjectName("btnClose");

    auto* heading = new QLabel(tr("<h2>Devices Connection</h2>"), this);

    cmbType->addItems({tr("CAN (Serial Port)"), tr("EtherCAT")});
    // A port the system does not describe (a pty, an unusual adapter) can be typed in.
    cmbPort->setEditable(true);
    cmbPort->setInsertPolicy(QComboBox::NoInsert);
    cmbPort->setMinimumWidth(200);
    cmbPort->lineEdit()->setPlaceholderText(tr("/dev/ttyUSB0"));
    cmbPort->setToolTip(tr("USB-CAN adapters and the ports listed in SERVOBENCH_PORTS. With the servobench "
                           "package installed, the first adapter is also /dev/servobench-adapter0 (udev rule "
                           "70-servobench.rules), whatever ttyUSB number it gets."));
    btnRefresh->setIcon(QIcon(":/images/refresh.png"));
    btnRefresh->setToolTip(tr("Refresh"));
    // The window style gives push buttons a minimum width; this one is an icon.
    btnRefresh->setStyleSheet("QPushButton#btnRefresh {\nmin-width:0px;\npadding:2px;\n}");
    btnRefresh->setFixedSize(28, 24);

    lblInstall->setTextFormat(Qt::RichText);
    lblInstall->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    lblInstall->setText(tr("<html><head/><body><p>Click <a href=\"driver\"><span style=\" "
                           "text-decoration: underline; color:#007af4;\">here</span></a> to install "
                           "driver.</p></body></html>"));

    auto* form = new QGridLayout;
    form->addWidget(new QLabel(tr("Bus Type"), this), 0, 0);
    form->addWidget(cmbType, 0, 1, 1, 2);
    form->addWidget(new QLabel(tr("Connection"), this), 1, 0);
    form->addWidget(cmbPort, 1, 1);
    form->addWidget(btnRefresh, 1, 2);
    form->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lblInstall);
    buttons->addStretch(1);
    buttons->addWidget(btnAdd);
    buttons->addWidget(btnClose);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addLayout(form);
    layout->addSpacing(12);
    layout->addLayout(buttons);

    btnAdd->setDefault(true);
    connect(btnRefresh, &QPushButton::clicked, this, &DetectDeviceDialog::detectPort);
    connect(btnAdd, &QPushButton::clicked, this, &DetectDeviceDialog::onConnect);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(lblInstall, &QLabel::linkActivated, this, &DetectDeviceDialog::onLink);

    detectPort();
}

void DetectDeviceDialog::detectPort()
{
    cmbPort->clear();
    cmbPort->addItems(CANWorker::portList());
}

void DetectDeviceDialog::detectDevice() { }

void DetectDeviceDialog::onConnect()
{
    const QString port = cmbPort->currentText().trimmed();
    if (port.isEmpty())
        return;
    Helper::instance()->connectSerial(port);
    accept();
}

void DetectDeviceDialog::onLink(const QString&)
{
    Helper::instance()->showAbout(tr("Adapter driver"), portAccessHelp());
}

QString DetectDeviceDialog::portAccessHelp()
{
    return tr("<p>No driver needs to be installed: the kernel's <b>ch341</b> module drives the "
              "adapter, which appears as <tt>/dev/ttyUSB0</tt> (or a higher number).</p>"
              "<p>If the port is missing or cannot be opened:</p><ul>"
              "<li>Your user may not be allowed to open serial ports. The servobench package "
              "installs a udev rule (<tt>70-servobench.rules</tt>) that lets the logged-in user open "
              "the adapter and names it <tt>/dev/servobench-adapter0</tt>; replug the adapter after "
              "installing the package. Without the package, run "
              "<tt>sudo usermod -aG dialout $USER</tt>, then log out and in again.</li>"
              "<li>ModemManager may probe and hold the adapter (the package's udev rule tells it to "
              "leave the adapter alone). Run "
              "<tt>sudo systemctl stop ModemManager</tt> (or <tt>disable</tt> it).</li>"
              "<li>brltty may claim the adapter as a braille display. Run "
              "<tt>sudo apt remove brltty</tt>.</li></ul>"
              "<p>Replug the adapter, check with <tt>ls -l /dev/ttyUSB*</tt> and <tt>dmesg | tail</tt>, "
              "then press refresh. A port that is not listed can be typed into the Connection box.</p>");
}
