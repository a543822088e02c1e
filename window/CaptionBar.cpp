#include "CaptionBar.h"

#include "CaptionButton.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace {
constexpr int kBarHeight = 32;
constexpr int kTitleGap = 8;
} // namespace

CaptionBar::CaptionBar(QWidget* parent)
    : QWidget(parent)
{
    setObjectName("CaptionBar");
    setFixedHeight(kBarHeight);
    m_btnMin = new CaptionButton(CaptionButton::Minimize, this);
    m_btnMax = new CaptionButton(CaptionButton::Maximize, this);
    m_btnClose = new CaptionButton(CaptionButton::Close, this);
    connect(m_btnMin, &QPushButton::clicked, this, [this] { window()->showMinimized(); });
    connect(m_btnMax, &QPushButton::clicked, this, &CaptionBar::toggleMaximized);
    connect(m_btnClose, &QPushButton::clicked, this, [this] { window()->close(); });
}

void CaptionBar::setSlot(QPointer<QWidget>& slot, QWidget* w)
{
    if (slot == w)
        return;
    if (slot)
        slot->deleteLater();
    slot = w;
    if (w) {
        w->setParent(this);
        w->show();
    }
    relayout();
}

void CaptionBar::setLeftWidget(QWidget* w)
{
    setSlot(m_left, w);
}
void CaptionBar::setCenterWidget(QWidget* w)
{
    setSlot(m_center, w);
}
void CaptionBar::setRightWidget(QWidget* w)
{
    setSlot(m_right, w);
}

void CaptionBar::setTitleAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment;
    relayout();
}

void CaptionBar::setCaptionColor(const QColor& color)
{
    m_color = color;
    update();
}

void CaptionBar::setCaptionButtonsVisible(bool visible)
{
    m_buttonsVisible = visible;
    m_btnMin->setVisible(visible);
    m_btnMax->setVisible(visible);
    m_btnClose->setVisible(visible);
    relayout();
}

void CaptionBar::updateMaximized(bool maximized)
{
    m_btnMax->setKind(maximized ? CaptionButton::Restore : CaptionButton::Maximize);
}

QSize CaptionBar::sizeHint() const
{
    return QSize(minimumSizeHint().width(), kBarHeight);
}

QSize CaptionBar::minimumSizeHint() const
{
    int w = 0;
    for (QWidget* slot : {m_left.data(), m_center.data(), m_right.data()})
        if (slot && !slot->isHidden())
            w += slot->sizeHint().width();
    if (m_buttonsVisible)
        w += 3 * m_btnClose->width();
    return QSize(w, kBarHeight);
}

void CaptionBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), m_color);
}

void CaptionBar::resizeEvent(QResizeEvent*)
{
    relayout();
}

bool CaptionBar::event(QEvent* e)
{
    // Slot widgets whose size hint changes post a layout request to us.
    if (e->type() == QEvent::LayoutRequest || e->type() == QEvent::Show)
        relayout();
    return QWidget::event(e);
}

void CaptionBar::relayout()
{
    const int w = width();
    const int h = height();
    int right = w;
    if (m_buttonsVisible) {
        for (QWidget* b : {m_btnClose, m_btnMax, m_btnMin}) {
            right -= b->width();
            b->move(right, 0);
        }
    }
    auto vertical = [this, h](int hint) {
        const int hh = qMin(hint, h);
        if (m_alignment & Qt::AlignTop)
            return QRect(0, 0, 0, hh);
        if (m_alignment & Qt::AlignBottom)
            return QRect(0, h - hh, 0, hh);
        return QRect(0, (h - hh) / 2, 0, hh);
    };
    if (m_right && !m_right->isHidden()) {
        const int rw = qMin(m_right->sizeHint().width(), right);
        right -= rw;
        m_right->setGeometry(right, 0, rw, h);
    }
    int left = 0;
    if (m_left && !m_left->isHidden()) {
        const int lw = qMin(m_left->sizeHint().width(), right);
        m_left->setGeometry(0, 0, lw, h);
        left = lw;
    }
    if (m_center && !m_center->isHidden()) {
        const QSize hint = m_center->sizeHint();
        const int room = qMax(0, right - left - 2 * kTitleGap);
        const int cw = qMin(hint.width(), room);
        int x;
        if (m_alignment & Qt::AlignLeft)
            x = left + kTitleGap;
        else if (m_alignment & Qt::AlignRight)
            x = right - kTitleGap - cw;
        else // centred on the whole bar, pushed aside by the slots when they are wide
            x = qBound(left + kTitleGap, (w - cw) / 2, right - kTitleGap - cw);
        QRect r = vertical(hint.height());
        r.setX(x);
        r.setWidth(cw);
        m_center->setGeometry(r);
    }
}

void CaptionBar::toggleMaximized()
{
    QWidget* win = window();
    if (win->isMaximized())
        win->showNormal();
    else
        win->showMaximized();
}

void CaptionBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    QWidget* win = window();
    // Let the window manager move the window: it snaps, respects panels and works on Wayland.
    if (win->windowHandle() && win->windowHandle()->startSystemMove()) {
        event->accept();
        return;
    }
    m_dragging = !win->isMaximized();
    m_dragOffset = event->globalPos() - win->frameGeometry().topLeft();
    event->accept();
}

void CaptionBar::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton)) {
        window()->move(event->globalPos() - m_dragOffset);
        event->accept();
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void CaptionBar::mouseReleaseEvent(QMouseEvent* event)
{
    m_dragging = false;
    QWidget::mouseReleaseEvent(event);
}

void CaptionBar::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_buttonsVisible) {
        toggleMaximized();
        event->accept();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}
