#include "CaptionButton.h"

#include <QIcon>

namespace {
const char* iconPath(CaptionButton::Kind kind)
{
    switch (kind) {
    case CaptionButton::Minimize:
        return ":/images/window/minimize.png";
    case CaptionButton::Maximize:
        return ":/images/window/maximize.png";
    case CaptionButton::Restore:
        return ":/images/window/restore.png";
    case CaptionButton::Close:
        break;
    }
    return ":/images/window/close.png";
}
} // namespace

CaptionButton::CaptionButton(Kind kind, QWidget* parent)
    : QPushButton(parent)
    , m_kind(kind)
{
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(40, 30);
    setIconSize(QSize(10, 10));
    // Close turns red on hover like every desktop close button; the others use the hover grey.
    const QString hover = kind == Close ? "#c42b1c" : "#464646";
    setStyleSheet(QString("QPushButton {\nborder:none;\nbackground:transparent;\n}\n"
                          "QPushButton:hover {\nbackground:%1;\n}\n"
                          "QPushButton:pressed {\nbackground:%2;\n}")
                      .arg(hover, kind == Close ? "#9b2216" : "#2b2b2b"));
    setKind(kind);
}

void CaptionButton::setKind(Kind kind)
{
    m_kind = kind;
    setIcon(QIcon(iconPath(kind)));
    switch (kind) {
    case Minimize:
        setToolTip(tr("Minimize"));
        break;
    case Maximize:
        setToolTip(tr("Maximize"));
        break;
    case Restore:
        setToolTip(tr("Restore"));
        break;
    case Close:
        setToolTip(tr("Close"));
        break;
    }
}
