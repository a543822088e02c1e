#include "Helper.h"
#include "Logging.h"
#include "MainWindow.h"
#include "Setup.h"
#include "UiResources.h"
#include "Version.h"
#include "WorkingFolder.h"

#include <QApplication>

#include <memory>

#include <unistd.h>

int main(int argc, char* argv[])
{
    // QtWebEngine refuses its sandbox as root; the help page must still open.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

    // Before anything reads or writes a file: every path below is relative to it.
    WorkingFolder::enter();

    servobench::initUiResources(); // images, sheets and fonts live in a static library

    Helper* helper = Helper::instance(); // 1: data tree from the template
    helper->loadConfiguration(); // 2
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true); // 3
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps, true);
    // The help page's web engine shares OpenGL contexts; it must be asked for before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts, true);
    helper->setupScale(); // 4
    ve::setup(); // 5: crash reports from here on
    auto app = std::make_unique<QApplication>(argc, argv); // 6
    helper->loadFonts(); // 7
    helper->loadLanguage(); // 8
    helper->createServices(); // 9
    auto window = std::make_unique<MainWindow>(); // 10
    window->show(); // 11
    QCoreApplication::processEvents();
    window->startHook(); // 12
    helper->createBlockBox(); // 13
    ve::logInfo() << "internal version: " << servobench::internalVersion(); // 14
    const int code = QApplication::exec(); // 15
    window->exitHook(); // 16
    helper->destroyServices(); // 17
    helper->saveConfiguration(); // 18
    window.reset(); // 19
    app.reset();
    return code;
}
