#include "EnableButton.h"

#include <QMouseEvent>
#include <QPainter>
#include <QVariantAnimation>

const QColor EnableButton::TrackOn(141, 185, 244);
const QColor EnableButton::TrackOff(189, 193, 198);
const QColor EnableButton::KnobOn(26, 115, 232);
const QColor EnableButton::KnobOff(221, 221, 221);

namespace {
constexpr int AnimationEnd = 25;
constexpr int AnimationMs = 200;
} // namespace

EnableButton::EnableButton(QWidget* parent)
    : QWidget(parent)
    , m_animation(new QVariantAnimation(this))
{
    setObjectName("EnableButton");
    setCursor(Qt::PointingHandCursor);
    m_animation->setStartValue(0);
    m_animation->setEndValue(AnimationEnd);
    m_animation->setDuration(AnimationMs);
    connect(m_animation, &QVariantAnimation::valueChanged, this, &EnableButton::moveSlider);
    // At rest from the start: the knob already sits where the state puts it.
    m_animation->setCurrentTime(AnimationMs);
}

void EnableButton::setEnable(bool state, bool need_update)
{
    if (state == is_enable && !need_update)
        return;
    is_enable = state;
    m_animation->stop();
    m_animation->start();
}

void EnableButton::moveSlider(QVariant value)
{
    updateKnob(value, true);
}

void EnableButton::updateKnob(const QVariant& value, bool repaint)
{
    const int v = is_enable ? value.toInt() : AnimationEnd - value.toInt();
    const QMargins m = contentsMargins();
    m_knobX = int(double(v) * (width() - height() + m.left() + m.right()) / AnimationEnd);
    if (repaint)
        update();
}

void EnableButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    // The knob starts from where the old state left it; a second click within the
    // animation reverses its travel from that end.
    m_knobX = is_enable ? width() - height() : 0;
    is_enable = !is_enable;
    m_animation->stop();
    m_animation->start();
    emit enabled(is_enable);
}

void EnableButton::paintEvent(QPaintEvent*)
{
    const QRect r = contentsRect();
    const int h = r.height();
    if (r.width() < h)
        return;
    if (width() != m_lastWidth) {
        m_lastWidth = width();
        updateKnob(m_animation->currentValue(), false);
    }
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);

    const int d = int(0.6 * h);
    const qreal top = r.top() + (h - d) / 2.0;
    const qreal left = r.left() + (h - d) / 2.0;
    const qreal right = r.right() + 1 - (h + d) / 2.0;
    p.setBrush(is_enable ? TrackOn : TrackOff);
    p.drawEllipse(QRectF(left, top, d, d));
    p.drawEllipse(QRectF(right, top, d, d));
    p.drawRect(QRectF(left + d / 2.0, top, right - left, d));

    p.setBrush(is_enable ? KnobOn : KnobOff);
    p.drawEllipse(QRectF(r.left() + m_knobX, r.top(), h, h));
}
