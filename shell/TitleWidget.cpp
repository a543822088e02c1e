#include "TitleWidget.h"

#include <QFile>
#include <QHBoxLayout>
#include <QPushButton>
#include <QToolButton>

TitleWidget::TitleWidget(const QString& text, QWidget* parent)
    : QWidget(parent)
    , m_text(new QToolButton(this))
    , m_close(new QPushButton(this))
{
    setAttribute(Qt::WA_StyledBackground);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(0);
    m_text->setText(text);
    m_text->setCheckable(true);
    m_text->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    m_text->setFocusPolicy(Qt::NoFocus);
    m_close->setIcon(QIcon(":/images/window/close.png"));
    m_close->setIconSize(QSize(8, 8));
    m_close->setFocusPolicy(Qt::NoFocus);
    m_close->setToolTip(tr("Close"));
    layout->addWidget(m_text);
    layout->addWidget(m_close);
    connect(m_text, &QToolButton::toggled, this, &TitleWidget::applySheet);
    applySheet(false);
}

QString TitleWidget::text() const
{
    return m_text->text();
}

QString TitleWidget::sheetTemplate()
{
    static const QString sheet = [] {
        QFile f(":/qss/editor_title.qss");
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }();
    return sheet;
}

void TitleWidget::applySheet(bool checked)
{
    const QString sheet = sheetTemplate();
    setStyleSheet(sheet.isEmpty() ? sheet : sheet.arg(checked ? "#404040" : "transparent"));
}
