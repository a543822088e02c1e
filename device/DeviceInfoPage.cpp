#include "DeviceInfoPage.h"

#include "CANWorker.h"
#include "CanIdChange.h"
#include "EventWait.h"
#include "Helper.h"

#include <DataManager.h>
#include <DataObject.h>

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QSvgRenderer>
#include <QVBoxLayout>

namespace {
QFrame* section(QWidget* parent)
{
    auto* frame = new QFrame(parent);
    frame->setObjectName("section");
    frame->setAttribute(Qt::WA_StyledBackground);
    frame->setStyleSheet("QFrame#section {\nbackground:#2b2b2b;\nborder-radius:4px;\n}");
    return frame;
}

// The product pictures are drawn as SVG for this program; rendered at the screen's pixel ratio.
QLabel* picture(const QString& svg, QSize size, QWidget* parent)
{
    auto* label = new QLabel(parent);
    QSvgRenderer renderer(svg);
    const qreal ratio = parent->devicePixelRatioF();
    QPixmap pixmap(size * ratio);
    pixmap.fill(Qt::transparent);
    if (renderer.isValid()) {
        QPainter painter(&pixmap);
        renderer.render(&painter);
    }
    pixmap.setDevicePixelRatio(ratio);
    label->setPixmap(pixmap);
    label->setObjectName(QString(svg).section('/', -1).section('.', 0, 0));
    return label;
}

QLabel* heading(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::RichText);
    return label;
}
} // namespace

DeviceInfoPage::DeviceInfoPage(QWidget* parent)
    : QWidget(parent)
    , BaseEditorPage("device_info")
    , lblDeviceName(new QLabel(this))
    , cmbConnection(new QComboBox(this))
    , lblMcuId(new QLabel(this))
    , spnCanId(new QSpinBox(this))
    , btnChangeCanId(new QPushButton(tr("Change"), this))
    , m_node(deviceDobj())
{
    setObjectName("DeviceInfoPage");
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(12);
    column->addWidget(deviceSection());
    column->addWidget(productSection());
    column->addStretch(1);

    auto* scroll = new QScrollArea(this);
    scroll->setObjectName("scrollArea");
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(content);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);

    if (CANWorker* worker = Helper::instance()->canWorker())
        connect(worker, &CANWorker::deviceChanged, this, &DeviceInfoPage::refreshName);
    connect(btnChangeCanId, &QPushButton::clicked, this, &DeviceInfoPage::onChangeCanId);
    refreshName();
}

QWidget* DeviceInfoPage::deviceSection()
{
    QFrame* frame = section(this);
    auto* grid = new QGridLayout(frame);
    grid->setContentsMargins(16, 8, 16, 16);
    grid->setHorizontalSpacing(16);
    grid->setColumnStretch(2, 1);
    grid->addWidget(heading(tr("<h2>Device</h2>"), frame), 0, 0, 1, 3);

    lblDeviceName->setObjectName("lblDeviceName");
    grid->addWidget(heading(tr("<h4>Device Name</h4>"), frame), 1, 0);
    grid->addWidget(lblDeviceName, 1, 1, 1, 2);

    cmbConnection->setObjectName("cmbConnection");
    cmbConnection->addItem(tr("CAN - Serial Port"));
    cmbConnection->setMinimumWidth(160);
    grid->addWidget(heading(tr("<h4>Device Connection</h4>"), frame), 2, 0);
    grid->addWidget(cmbConnection, 2, 1, Qt::AlignLeft);

    lblMcuId->setObjectName("lblMcuId");
    lblMcuId->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblMcuId->setText(QString("0x%1").arg(m_node ? m_node->name() : QString()));
    grid->addWidget(new QLabel(tr("MCU ID"), frame), 3, 0);
    grid->addWidget(lblMcuId, 3, 1, 1, 2);

    spnCanId->setObjectName("spnCanId");
    spnCanId->setRange(1, 127);
    spnCanId->setValue(m_node ? m_node->r("info.can_id")->getInt(1) : 1);
    btnChangeCanId->setObjectName("btnChangeCanId");
    auto* idRow = new QHBoxLayout;
    idRow->addWidget(spnCanId);
    idRow->addWidget(btnChangeCanId);
    idRow->addStretch(1);
    grid->addWidget(new QLabel(tr("CAN ID"), frame), 4, 0);
    grid->addLayout(idRow, 4, 1, 1, 2);
    return frame;
}

QWidget* DeviceInfoPage::productSection()
{
    QFrame* frame = section(this);
    auto* grid = new QGridLayout(frame);
    grid->setContentsMargins(16, 8, 16, 16);
    grid->setHorizontalSpacing(16);
    grid->setColumnStretch(1, 1);
    grid->addWidget(heading(tr("<h2>Product</h2>"), frame), 0, 0, 1, 2);
    grid->addWidget(heading(tr("<h4>Proeduct Name</h4>"), frame), 1, 0);
    grid->addWidget(new QLabel(tr("Torqlet"), frame), 1, 1);
    grid->addWidget(heading(tr("<h4>Product Color</h4>"), frame), 2, 0);
    grid->addWidget(new QLabel(tr("Black"), frame), 2, 1);
    grid->addWidget(heading(tr("<h4>Product Image</h4>"), frame), 3, 0, Qt::AlignTop);
    grid->addWidget(picture(":/device/r58.svg", QSize(220, 220), frame), 3, 1, Qt::AlignLeft);
    grid->addWidget(heading(tr("<h4>T-N Feature</h4>"), frame), 4, 0, Qt::AlignTop);
    grid->addWidget(picture(":/device/feature_tn.svg", QSize(360, 220), frame), 4, 1, Qt::AlignLeft);
    grid->addWidget(heading(tr("<h4>Max Load Feature</h4>"), frame), 5, 0, Qt::AlignTop);
    grid->addWidget(picture(":/device/feature_max_load.svg", QSize(360, 220), frame), 5, 1, Qt::AlignLeft);
    return frame;
}

void DeviceInfoPage::refreshName()
{
    if (m_node)
        lblDeviceName->setText(Helper::instance()->deviceName(m_node));
}

void DeviceInfoPage::onChangeCanId()
{
    Helper* helper = Helper::instance();
    CANWorker* worker = helper->canWorker();
    if (!worker || !m_node)
        return;
    CanIdChange change(worker);
    bool done = false, ok = false;
    QString verdict;
    connect(&change, &CanIdChange::finished, this, [&](bool success, const QString& text) {
        done = true;
        ok = success;
        verdict = text;
    });
    if (!change.start(m_node, spnCanId->value())) {
        helper->showError(tr("Device %1 CAN ID set failed!").arg(helper->deviceName(m_node)));
        return;
    }
    // The change confirms or gives up within its own short limit.
    EventWait::until([&] { return done; }, -1);
    if (ok)
        helper->showInformation(verdict);
    else
        helper->showError(verdict);
}
