#pragma once

#include <QWidget>

class QLabel;
class QTimer;

// The bottom line: the latest status message, cleared three seconds after it arrived.
class StatusBar : public QWidget
{
    Q_OBJECT
public:
    static constexpr int ShowMs = 3000;

    explicit StatusBar(QWidget* parent = nullptr);

    QLabel* label() const { return m_label; }
    QTimer* clearTimer() const { return m_timer; }
    void showStatus(const QString& msg);

private:
    QLabel* m_label;
    QTimer* m_timer;
};
