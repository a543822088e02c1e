#pragma once

#include <QColor>
#include <QVariant>
#include <QWidget>

class QVariantAnimation;

// Small animated on/off switch: a rounded track with a round knob that slides to the side of
// the state. Emits `enabled` only when the user flips it.
class EnableButton : public QWidget
{
    Q_OBJECT
public:
    explicit EnableButton(QWidget* parent = nullptr);

    bool isEnable() const { return is_enable; }
    // Unchanged state without `need_update` does nothing; otherwise the knob travels anew.
    void setEnable(bool state, bool need_update = false);
    int knobPosition() const { return m_knobX; }
    QVariantAnimation* animation() const { return m_animation; }

    static const QColor TrackOn, TrackOff, KnobOn, KnobOff;

signals:
    void enabled(bool state);

public slots:
    void moveSlider(QVariant value);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    QSize sizeHint() const override { return QSize(40, 20); }

private:
    void updateKnob(const QVariant& value, bool repaint);

    bool is_enable = false;
    QVariantAnimation* m_animation;
    int m_knobX = 0;
    int m_lastWidth = -1;
};
