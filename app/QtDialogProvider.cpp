#include "QtDialogProvider.h"

#include <QDesktopServices>
#include <QUrl>

#include <QFileDialog>
#include <QMessageBox>

bool QtDialogProvider::messageBox(Box kind, QWidget* parent, const QString& title, const QString& text)
{
    switch (kind) {
    case Box::Critical:
        QMessageBox::critical(parent, title, text, QMessageBox::Ok);
        return true;
    case Box::Information:
        QMessageBox::information(parent, title, text, QMessageBox::Ok);
        return true;
    case Box::Question:
        return QMessageBox::question(parent, title, text, QMessageBox::Ok | QMessageBox::Cancel)
            == QMessageBox::Ok;
    case Box::Warning:
        QMessageBox::warning(parent, title, text, QMessageBox::Ok);
        return true;
    case Box::About:
        QMessageBox::about(parent, title, text);
        return true;
    }
    return true;
}

QString QtDialogProvider::getOpenFileName(
    QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString QtDialogProvider::getSaveFileName(
    QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}

bool QtDialogProvider::openLocalFile(const QString& path)
{
    // fromLocalFile encodes spaces, "#" and "%" that a concatenated URL would misread.
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
