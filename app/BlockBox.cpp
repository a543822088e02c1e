#include "BlockBox.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

BlockBox::BlockBox(QWidget* mainWindow)
    : QDialog(mainWindow, Qt::FramelessWindowHint)
    , m_label(new QLabel(this))
{
    setObjectName("BlockBox");
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet("background:#1e1e1e; color:#efefef;");
    auto* layout = new QVBoxLayout(this);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setTextFormat(Qt::PlainText);
    m_label->setWordWrap(true);
    layout->addWidget(m_label);
    setFixedSize(172, 87);
}

void BlockBox::onBlock(const QVariant& value)
{
    const QString text = value.toString();
    if (text.isEmpty()) {
        accept();
        return;
    }
    m_label->setText(QString("%1").arg(text));
    if (isVisible()) {
        QCoreApplication::processEvents();
        return;
    }
    if (QWidget* owner = parentWidget()) {
        const QPoint centre = owner->mapToGlobal(owner->rect().center());
        move(centre - rect().center());
    }
    open();
    // Let the box paint before the caller starts its long operation.
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10)
        QCoreApplication::processEvents();
}

void BlockBox::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}
