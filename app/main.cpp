#include "FirstMotorOpener.h"
#include "Helper.h"
#include "Logging.h"
#include "MainWindow.h"
#include "ScreenshotTour.h"
#include "Setup.h"
#include "UiResources.h"
#include "Version.h"
#include "WorkingFolder.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>

#include <memory>

#include <unistd.h>

int main(int argc, char* argv[])
{
    // QtWebEngine refuses its sandbox as root; the help page must still open.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

    // Paths given on the command line are meant from where the program was started.
    const QDir startDir = QDir::current();
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
    // Read after the application object took Qt's own options (-platform, -style).
    QCommandLineParser options;
    options.setApplicationDescription(
        QStringLiteral("Commission and debug CAN-bus servo motors through a USB-CAN adapter."));
    options.addHelpOption();
    const QCommandLineOption openTable(QStringLiteral("open-param-table"),
        QStringLiteral("Open the parameter table of the first motor found after connecting, "
                       "also when several motors are kept."));
    const QCommandLineOption screenshots(QStringLiteral("screenshots"),
        QStringLiteral("Save the screen to <folder>/screenshot.png once the parameter table shows, "
                       "then record the motor's oscilloscope, save <folder>/screenshot-scope.png "
                       "and quit (implies --open-param-table)."),
        QStringLiteral("folder"));
    options.addOption(openTable);
    options.addOption(screenshots);
    options.process(*app);
    helper->loadFonts(); // 7
    helper->loadLanguage(); // 8
    helper->createServices(); // 9
    auto window = std::make_unique<MainWindow>(); // 10
    std::unique_ptr<FirstMotorOpener> opener;
    if (options.isSet(openTable) || options.isSet(screenshots))
        opener = std::make_unique<FirstMotorOpener>(helper->canWorker());
    std::unique_ptr<ScreenshotTour> tour;
    bool tourOk = true;
    if (options.isSet(screenshots)) {
        tour = std::make_unique<ScreenshotTour>(
            window.get(), startDir.absoluteFilePath(options.value(screenshots)));
        QObject::connect(tour.get(), &ScreenshotTour::finished, [&tourOk](bool ok, const QString&) {
            tourOk = ok;
            // As File > Exit does, so the settings are written.
            QApplication::closeAllWindows();
        });
    }
    window->show(); // 11
    QCoreApplication::processEvents();
    window->startHook(); // 12
    if (tour)
        tour->start();
    helper->createBlockBox(); // 13
    ve::logInfo() << "internal version: " << servobench::internalVersion(); // 14
    const int code = QApplication::exec(); // 15
    tour.reset();
    opener.reset();
    window->exitHook(); // 16
    helper->destroyServices(); // 17
    helper->saveConfiguration(); // 18
    window.reset(); // 19
    app.reset();
    return code != 0 ? code : (tourOk ? 0 : 1);
}
