#pragma once

#include <QLabel>

// The short note shown next to an edited cell: green for a confirmation, red for a rejection.
// Frameless, closes by itself and is deleted when closed.
class CellNote : public QLabel
{
    Q_OBJECT
public:
    // The note is a window of its own, owned by owner so it never outlives the page.
    static CellNote* show(QWidget* owner, const QString& text, bool ok, const QPoint& globalTopLeft);

    bool isConfirmation() const { return m_ok; }

private:
    CellNote(QWidget* owner, const QString& text, bool ok);
    bool m_ok;
};
