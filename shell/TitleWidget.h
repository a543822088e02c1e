#pragma once

#include <QWidget>

class QPushButton;
class QToolButton;

// One editor tab: a checkable text button and a close button.
class TitleWidget : public QWidget
{
    Q_OBJECT
public:
    explicit TitleWidget(const QString& text, QWidget* parent = nullptr);

    QToolButton* textButton() const { return m_text; }
    QPushButton* closeButton() const { return m_close; }
    QString text() const;

    // The tab sheet template, read once per process; empty when it cannot be read.
    static QString sheetTemplate();

private:
    void applySheet(bool checked);

    QToolButton* m_text;
    QPushButton* m_close;
};
