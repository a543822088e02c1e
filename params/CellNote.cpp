#include "CellNote.h"

#include <QTimer>

CellNote::CellNote(QWidget* owner, const QString& text, bool ok)
    : QLabel(text, owner, Qt::ToolTip | Qt::FramelessWindowHint)
    , m_ok(ok)
{
    setObjectName("CellNote");
    setAttribute(Qt::WA_DeleteOnClose);
    setStyleSheet(QString("padding: 6px; color: white; background:%1").arg(ok ? "green" : "red"));
}

CellNote* CellNote::show(QWidget* owner, const QString& text, bool ok, const QPoint& globalTopLeft)
{
    auto* note = new CellNote(owner, text, ok);
    note->move(globalTopLeft);
    note->QLabel::show();
    QTimer::singleShot(ok ? 1200 : 1800, note, &QWidget::close);
    return note;
}
