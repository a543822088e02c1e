#pragma once

#include <QString>

class QWidget;

// The one seam through which the program shows message boxes and file
// dialogs. The program uses the Qt dialogs; tests install their own provider
// so nothing blocks on a modal dialog.
class DialogProvider
{
public:
    enum class Box
    {
        Critical,
        Information,
        Question,
        Warning,
        About
    };

    virtual ~DialogProvider();

    // Question boxes return true for OK; the others return true.
    virtual bool messageBox(Box kind, QWidget* parent, const QString& title, const QString& text) = 0;
    // An empty string means the user cancelled.
    virtual QString getOpenFileName(
        QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
        = 0;
    virtual QString getSaveFileName(
        QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
        = 0;
    // Opens a local file with the desktop's default application (an exported spreadsheet).
    virtual bool openLocalFile(const QString& path) = 0;
};
