#include "ScreenshotKit.h"

#include "Helper.h"
#include "UiResources.h"

#include <DataManager.h>
#include <DataObject.h>

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTest>
#include <QTranslator>
#include <QWidget>

#include <unistd.h>

bool QuietDialogs::messageBox(Box, QWidget*, const QString&, const QString& text)
{
    qInfo("box: %s", qPrintable(text));
    return true;
}

QString QuietDialogs::getOpenFileName(QWidget*, const QString&, const QString&, const QString&)
{
    return openFile;
}

QString QuietDialogs::getSaveFileName(QWidget*, const QString&, const QString&, const QString&)
{
    return {};
}

bool QuietDialogs::openLocalFile(const QString&)
{
    return true;
}

namespace screenshots {
namespace {
QString s_outDir;
QString s_suffix;
} // namespace

void prepare()
{
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    servobench::initUiResources();
}

QuietDialogs* start(QApplication& app, int argc, char* argv[])
{
    s_outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    s_suffix = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    for (int i = 3; i < argc; ++i) {
        auto* t = new QTranslator(&app);
        if (t->load(QString::fromLocal8Bit(argv[i])))
            QCoreApplication::installTranslator(t);
        else
            qWarning("cannot load %s", argv[i]);
    }
    Helper* helper = Helper::instance();
    helper->loadFonts();
    ve::DataObject* root = ve::d().rootDobj();
    root->set(nullptr, "config.setting.enable_multiple_devices", true, true);
    root->set(nullptr, "config.setting.upload_param_on_connected", false, true);
    auto dialogs = std::make_unique<QuietDialogs>();
    QuietDialogs* raw = dialogs.get();
    helper->setDialogProvider(std::move(dialogs));
    return raw;
}

void shot(const QString& name)
{
    QTest::qWait(400); // let everything paint
    const QString path = QDir(s_outDir).filePath(name + s_suffix + ".png");
    if (QProcess::execute("import", {"-window", "root", "-crop", "1280x800+0+0", "+repage", path}) != 0)
        qWarning("import failed for %s", qPrintable(path));
    else
        qInfo("wrote %s", qPrintable(path));
}

void shot(const QString& name, QWidget* panel)
{
    shot(name);
    const QString path = QDir(s_outDir).filePath(name + s_suffix + "_panel.png");
    if (!panel->grab().save(path))
        qWarning("cannot write %s", qPrintable(path));
    else
        qInfo("wrote %s", qPrintable(path));
}

void showAtOrigin(QWidget* window)
{
    window->resize(1280, 800);
    window->move(0, 0);
    window->show();
    QCoreApplication::processEvents();
}
} // namespace screenshots
