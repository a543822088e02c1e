#pragma once

#include "DialogProvider.h"

// The real dialogs: QMessageBox and QFileDialog.
class QtDialogProvider : public DialogProvider
{
public:
    bool messageBox(Box kind, QWidget* parent, const QString& title, const QString& text) override;
    QString getOpenFileName(
        QWidget* parent, const QString& caption, const QString& dir, const QString& filter) override;
    QString getSaveFileName(
        QWidget* parent, const QString& caption, const QString& dir, const QString& filter) override;
    bool openLocalFile(const QString& path) override;
};
