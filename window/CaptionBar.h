#pragma once

#include <QColor>
#include <QPoint>
#include <QPointer>
#include <QWidget>

class CaptionButton;

// The caption bar of the frameless window: a left, a centre and a right slot,
// the caption buttons, dragging to move and double-click to maximise.
class CaptionBar : public QWidget
{
    Q_OBJECT
public:
    explicit CaptionBar(QWidget* parent = nullptr);

    void setLeftWidget(QWidget* w);
    void setCenterWidget(QWidget* w);
    void setRightWidget(QWidget* w);
    QWidget* leftWidget() const { return m_left; }
    QWidget* centerWidget() const { return m_center; }
    QWidget* rightWidget() const { return m_right; }

    void setTitleAlignment(Qt::Alignment alignment);
    Qt::Alignment titleAlignment() const { return m_alignment; }
    void setCaptionColor(const QColor& color);
    QColor captionColor() const { return m_color; }
    void setCaptionButtonsVisible(bool visible);
    bool captionButtonsVisible() const { return m_buttonsVisible; }

    CaptionButton* minimizeButton() const { return m_btnMin; }
    CaptionButton* maximizeButton() const { return m_btnMax; }
    CaptionButton* closeButton() const { return m_btnClose; }

    // Keeps the maximise button's icon in step with the window state.
    void updateMaximized(bool maximized);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void setSlot(QPointer<QWidget>& slot, QWidget* w);
    void relayout();
    void toggleMaximized();

    QPointer<QWidget> m_left;
    QPointer<QWidget> m_center;
    QPointer<QWidget> m_right;
    CaptionButton* m_btnMin = nullptr;
    CaptionButton* m_btnMax = nullptr;
    CaptionButton* m_btnClose = nullptr;
    Qt::Alignment m_alignment = Qt::AlignCenter;
    QColor m_color = QColor(30, 30, 30);
    bool m_buttonsVisible = true;
    // Manual move where the platform cannot move the window itself.
    bool m_dragging = false;
    QPoint m_dragOffset;
};
