#pragma once

#include <QDialog>

class QLabel;

// The small frameless modal box that blocks the window during a long
// operation; "trigger.block" set to a text shows it, a null or empty value closes it.
class BlockBox : public QDialog
{
    Q_OBJECT
public:
    explicit BlockBox(QWidget* mainWindow);

    QLabel* label() const { return m_label; }
    void onBlock(const QVariant& value);

protected:
    // Only the operation that opened the box may close it.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* m_label;
};
