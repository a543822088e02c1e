#pragma once

#include "DialogProvider.h"

#include <QList>
#include <QStringList>

// Records every box instead of showing it.
class RecordingDialogs : public DialogProvider
{
public:
    struct Box
    {
        DialogProvider::Box kind;
        QString title;
        QString text;
    };

    bool messageBox(
        DialogProvider::Box kind, QWidget* parent, const QString& title, const QString& text) override;
    QString getOpenFileName(
        QWidget* parent, const QString& caption, const QString& dir, const QString& filter) override;
    QString getSaveFileName(
        QWidget* parent, const QString& caption, const QString& dir, const QString& filter) override;

    QList<Box> boxes;
    bool confirm = true;
};

namespace apptest {
// Installs recording dialogs (returned) and restores the template's values.
RecordingDialogs* reset();
} // namespace apptest
