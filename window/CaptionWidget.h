#pragma once

#include <QPointer>
#include <QWidget>

class CaptionBar;
class QVBoxLayout;

// The central widget of a frameless window: the caption bar on top and one
// content widget below it. The slot setters forward to the caption bar.
class CaptionWidget : public QWidget
{
    Q_OBJECT
public:
    explicit CaptionWidget(QWidget* parent = nullptr);

    CaptionBar* captionBar() const { return m_bar; }

    void setContentWidget(QWidget* w);
    QWidget* contentWidget() const { return m_content; }

    void setLeftWidget(QWidget* w);
    void setCenterWidget(QWidget* w);
    void setRightWidget(QWidget* w);
    QWidget* leftWidget() const;
    QWidget* centerWidget() const;
    QWidget* rightWidget() const;
    void setTitleAlignment(Qt::Alignment alignment);
    void setCaptionColor(const QColor& color);
    void setCaptionButtonsVisible(bool visible);

private:
    CaptionBar* m_bar;
    QVBoxLayout* m_layout;
    QPointer<QWidget> m_content;
};
