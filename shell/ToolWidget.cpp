#include "ToolWidget.h"

#include "HelpTools.h"

#include <DataManager.h>

#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QScroller>

ToolWidget::ToolWidget(QWidget* parent)
    : QWidget(parent)
    , m_scroll(new QScrollArea(this))
    , m_btnEstop(new QPushButton(QIcon(":/images/motor/estop2.png"), tr("EStop"), this))
{
    setObjectName("ToolWidget");
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet("QWidget#ToolWidget {\nborder-bottom:1px solid #1e1e1e;\n}\n"
                  "QPushButton {\nborder:none;\nborder-radius:4px;\nbackground:transparent;\nheight:24px;\n"
                  "padding:0 6px;\n}\nQPushButton:hover {\nbackground:#464646;\n}");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 3);
    layout->setSpacing(4);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setStyleSheet("QScrollArea, QScrollArea > QWidget > QWidget {\nbackground:transparent;\n}");
    m_scroll->setFixedHeight(30);
    QScroller::grabGesture(m_scroll->viewport(), QScroller::LeftMouseButtonGesture);
    layout->addWidget(m_scroll, 1);
    // The emergency stop has no behaviour of its own here; the motion sidebar carries it.
    m_btnEstop->setObjectName("btnEstop");
    m_btnEstop->setStyleSheet("background:#fef000;color:balck;");
    m_btnEstop->hide();
    layout->addWidget(m_btnEstop);

    for (int tab = 0; tab < ShellExtensions::ToolTabCount; ++tab)
        m_factories.append(ShellExtensions::toolFactory(tab));
    if (!m_factories[ShellExtensions::HelpTab])
        m_factories[ShellExtensions::HelpTab] = [](QWidget* parent) { return new HelpTools(parent); };

    ve::DataObject* index = ve::d("wnd.left_title.index");
    connect(index, &ve::DataObject::changed, this, [this](const QVariant& var) { showStrip(var.toInt()); });
    index->trigger();
}

void ToolWidget::showStrip(int index)
{
    QWidget* strip = nullptr;
    if (index >= 0 && index < m_factories.size() && m_factories.at(index))
        strip = m_factories.at(index)(this);
    if (!strip)
        strip = new QWidget(this); // a program linked without the tab's library
    QWidget* old = m_scroll->takeWidget();
    m_scroll->setWidget(strip);
    m_strip = strip;
    delete old;
}
