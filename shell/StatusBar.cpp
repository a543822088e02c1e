#include "StatusBar.h"

#include <DataManager.h>

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>

StatusBar::StatusBar(QWidget* parent)
    : QWidget(parent)
    , m_label(new QLabel(this))
    , m_timer(new QTimer(this))
{
    setObjectName("StatusBar");
    setAttribute(Qt::WA_StyledBackground);
    setFixedHeight(18);
    setStyleSheet("QWidget#StatusBar {\nborder-top:1px solid #1e1e1e;\n}");
    auto* layout = new QHBoxLayout(this);
    layout->setSpacing(2);
    layout->setContentsMargins(4, 0, 9, 0);
    m_label->setObjectName("label");
    m_label->setTextFormat(Qt::PlainText); // "<tag> text" messages are not markup
    layout->addWidget(m_label, 1);

    // The zoom factor box is kept but hidden: the scale is chosen at start-up.
    auto* zoomIcon = new QLabel(this);
    zoomIcon->setObjectName("label_2");
    zoomIcon->setPixmap(
        QPixmap(":/images/zoom.png").scaled(10, 10, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    zoomIcon->hide();
    auto* zoom = new QComboBox(this);
    zoom->setObjectName("comboBox");
    zoom->addItems({"0.25x", "0.5x", "1.0x", "1.25x", "1.5x", "1.75x", "2x", "2.5x", "3x", "4x"});
    zoom->hide();
    layout->addWidget(zoomIcon);
    layout->addWidget(zoom);

    m_timer->setInterval(ShowMs);
    connect(m_timer, &QTimer::timeout, m_label, [this] { m_label->setText(QString()); });
    connect(ve::d("wnd.status.msg"), &ve::DataObject::changed, this,
        [this](const QVariant& var) { showStatus(var.toString()); });
}

void StatusBar::showStatus(const QString& msg)
{
    m_label->setText(msg);
    m_timer->start(ShowMs);
}
