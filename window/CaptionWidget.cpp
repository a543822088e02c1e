#include "CaptionWidget.h"

#include "CaptionBar.h"

#include <QVBoxLayout>

CaptionWidget::CaptionWidget(QWidget* parent)
    : QWidget(parent)
    , m_bar(new CaptionBar(this))
    , m_layout(new QVBoxLayout(this))
{
    setObjectName("CaptionWidget");
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->addWidget(m_bar);
}

void CaptionWidget::setContentWidget(QWidget* w)
{
    if (m_content == w)
        return;
    if (m_content) {
        m_layout->removeWidget(m_content);
        m_content->deleteLater();
    }
    m_content = w;
    if (w)
        m_layout->addWidget(w, 1);
}

void CaptionWidget::setLeftWidget(QWidget* w)
{
    m_bar->setLeftWidget(w);
}
void CaptionWidget::setCenterWidget(QWidget* w)
{
    m_bar->setCenterWidget(w);
}
void CaptionWidget::setRightWidget(QWidget* w)
{
    m_bar->setRightWidget(w);
}
QWidget* CaptionWidget::leftWidget() const
{
    return m_bar->leftWidget();
}
QWidget* CaptionWidget::centerWidget() const
{
    return m_bar->centerWidget();
}
QWidget* CaptionWidget::rightWidget() const
{
    return m_bar->rightWidget();
}
void CaptionWidget::setTitleAlignment(Qt::Alignment alignment)
{
    m_bar->setTitleAlignment(alignment);
}
void CaptionWidget::setCaptionColor(const QColor& color)
{
    m_bar->setCaptionColor(color);
}
void CaptionWidget::setCaptionButtonsVisible(bool visible)
{
    m_bar->setCaptionButtonsVisible(visible);
}
