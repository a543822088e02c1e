#pragma once

#include <QPushButton>

// One of the caption buttons drawn by the frameless window itself: minimise,
// maximise/restore and close.
class CaptionButton : public QPushButton
{
    Q_OBJECT
public:
    enum Kind
    {
        Minimize,
        Maximize,
        Restore,
        Close
    };
    explicit CaptionButton(Kind kind, QWidget* parent = nullptr);

    Kind kind() const { return m_kind; }
    // Maximise and restore share one button; the window switches it on state changes.
    void setKind(Kind kind);

private:
    Kind m_kind;
};
