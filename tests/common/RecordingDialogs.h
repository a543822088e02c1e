#pragma once

#include "DialogProvider.h"

#include <QList>
#include <QStringList>

// Stands in for every message box and file dialog in widget tests, so no test
// blocks on a modal dialog: boxes are recorded, question boxes answer with
// `confirm`, file dialogs are recorded and answer from `answers` in order (an
// empty or missing answer is a cancelled dialog).
class RecordingDialogs : public DialogProvider
{
public:
    struct Box
    {
        DialogProvider::Box kind;
        QString title;
        QString text;
    };
    struct FileDialog
    {
        bool save;
        QString caption;
        QString dir;
        QString filter;
    };

    bool messageBox(
        DialogProvider::Box kind, QWidget* parent, const QString& title, const QString& text) override;
    QString getOpenFileName(
        QWidget* parent, const QString& caption, const QString& dir, const QString& filter) override;
    QString getSaveFileName(
        QWidget* parent, const QString& caption, const QString& dir, const QString& filter) override;
    // Recorded, never opened.
    bool openLocalFile(const QString& path) override;

    // The texts of the recorded boxes of one kind, in order.
    QStringList texts(DialogProvider::Box kind) const;

    QList<Box> boxes;
    QList<FileDialog> fileDialogs;
    QStringList answers;
    QStringList openedFiles;
    bool confirm = true;

private:
    QString answer();
};
