#pragma once

#include "DialogProvider.h"

#include <QString>

class QApplication;
class QWidget;

// What every screenshot program shares: boxes answered and logged so nothing blocks, the
// command line (output folder, file-name suffix, translations), and taking the picture.
class QuietDialogs : public DialogProvider
{
public:
    bool messageBox(Box, QWidget*, const QString&, const QString& text) override;
    QString getOpenFileName(QWidget*, const QString&, const QString&, const QString&) override;
    QString getSaveFileName(QWidget*, const QString&, const QString&, const QString&) override;
    bool openLocalFile(const QString&) override;

    // Answer of the next open-file dialogs; empty means cancelled.
    QString openFile;
};

namespace screenshots {
// Call before constructing the QApplication: resources and the web engine's sandbox as root.
void prepare();
// Reads "<dir> [suffix] [translation.qm ...]", installs the translations and fonts, installs
// quiet dialogs (returned) and sets the bench settings every tool uses.
QuietDialogs* start(QApplication& app, int argc, char* argv[]);
// Writes <dir>/<name><suffix>.png from the X display's top-left 1280x800, after painting.
void shot(const QString& name);
// Also writes <dir>/<name><suffix>_panel.png of one widget.
void shot(const QString& name, QWidget* panel);
// Puts the window at the display's top-left at the screenshot size and shows it.
void showAtOrigin(QWidget* window);
} // namespace screenshots
