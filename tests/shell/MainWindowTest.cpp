#include "ShellTestSupport.h"

#include "Editor.h"
#include "HelpTools.h"
#include "Helper.h"
#include "LeftTitle.h"
#include "MainWindow.h"
#include "Panel.h"
#include "RightTitle.h"
#include "ShellExtensions.h"
#include "TitleWidget.h"
#include "ToolWidget.h"

#include <CANWorker.h>
#include <SimServer.h>

#include <DataManager.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <memory>

namespace {

int g_analyzeBuilds = 0;

class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dialogs = shelltest::reset();
        ShellExtensions::setToolFactory(ShellExtensions::AnalyzeTab, [](QWidget* parent) {
            ++g_analyzeBuilds;
            auto* strip = new QLabel("analyze strip", parent);
            strip->setObjectName("AnalyzeTools");
            return strip;
        });
        // A shown web view needs OpenGL, which the offscreen platform lacks.
        ShellExtensions::setPageFactory("web", [](QWidget* parent) { return new TestPage("web", parent); });
    }

    void TearDown() override { ShellExtensions::setPageFactory("web", {}); }

    void build()
    {
        window = std::make_unique<MainWindow>();
        window->resize(1200, 800);
        window->show();
        QApplication::processEvents();
    }

    // Drags the splitter's handle by dx/dy pixels with the left button held.
    static void drag(QSplitter* splitter, int handle, QPoint delta)
    {
        QWidget* h = splitter->handle(handle);
        const QPoint start = h->rect().center();
        auto send = [h](QEvent::Type type, QPoint pos, Qt::MouseButtons buttons) {
            QMouseEvent e(type, pos, h->mapToGlobal(pos), Qt::LeftButton, buttons, Qt::NoModifier);
            QApplication::sendEvent(h, &e);
        };
        send(QEvent::MouseButtonPress, start, Qt::LeftButton);
        send(QEvent::MouseMove, start + delta, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, start + delta, Qt::NoButton);
    }

    static QList<int> stored(const char* path)
    {
        QList<int> sizes;
        for (const QVariant& v : ve::d(path)->getList())
            sizes << v.toInt();
        return sizes;
    }

    RecordingDialogs* dialogs = nullptr;
    std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, SplitterSizesAreStoredAfterADragAndLongListsTrimmed)
{
    ve::d("config.wnd")->remove(nullptr, "h_splitter", true);
    ve::d("config.wnd")->setList(nullptr, "h_splitter", {150, 600, 250, 99, 98}, true);
    ve::d("config.wnd")->remove(nullptr, "v_splitter", true);
    ve::d("config.wnd")->setList(nullptr, "v_splitter", {500}, true); // shorter than the panes
    build();
    EXPECT_EQ(window->hSplitter()->count(), 3);
    EXPECT_EQ(window->vSplitter()->count(), 2);

    drag(window->hSplitter(), 1, QPoint(40, 0));
    const QList<int> h = stored("config.wnd.h_splitter");
    EXPECT_EQ(h, window->hSplitter()->sizes());
    EXPECT_EQ(h.size(), 3);

    drag(window->vSplitter(), 1, QPoint(0, -30));
    EXPECT_EQ(stored("config.wnd.v_splitter"), window->vSplitter()->sizes());
    EXPECT_EQ(stored("config.wnd.v_splitter").size(), 2);

    // Hiding a pane leaves the stored sizes alone.
    ve::d("config.setting.show_panel")->set(nullptr, false);
    QApplication::processEvents();
    EXPECT_EQ(stored("config.wnd.h_splitter"), h);
}

TEST_F(MainWindowTest, PaneFlagsAndSettingsMenuFollowEachOtherWithoutLoops)
{
    build();
    RightTitle* right = window->rightTitle();
    ASSERT_NE(right, nullptr);
    QAction* showPanel = right->settingAction("show_panel");
    QAction* showLeft = right->settingAction("show_left_sidebar");
    ASSERT_TRUE(showPanel && showLeft);
    EXPECT_TRUE(showPanel->isChecked());

    QSignalSpy flagChanges(ve::d("config.setting.show_panel"), &ve::DataObject::changed);
    QSignalSpy toggles(showPanel, &QAction::toggled);
    window->panel()->findChild<QPushButton*>("btnFold")->click();
    EXPECT_EQ(flagChanges.count(), 1);
    EXPECT_EQ(toggles.count(), 0); // updated with its signals blocked
    EXPECT_FALSE(showPanel->isChecked());
    EXPECT_TRUE(window->panel()->isHidden());

    showPanel->trigger(); // the menu entry writes the flag, the flag shows the pane
    EXPECT_EQ(flagChanges.count(), 2);
    EXPECT_TRUE(ve::d("config.setting.show_panel")->getBool(false));
    EXPECT_FALSE(window->panel()->isHidden());

    showLeft->trigger();
    EXPECT_FALSE(ve::d("config.setting.show_left_sidebar")->getBool(true));
    EXPECT_TRUE(window->deviceWidget()->isHidden());
}

TEST_F(MainWindowTest, ToolTabsBuildAFreshStripEachTime)
{
    build();
    LeftTitle* left = window->leftTitle();
    ASSERT_NE(left, nullptr);
    const QList<QToolButton*> tabs = left->toolButtons();
    ASSERT_EQ(tabs.size(), 4);
    const int before = g_analyzeBuilds;
    ve::d("wnd.left_title.index")->set(nullptr, 2);
    EXPECT_EQ(g_analyzeBuilds, before + 1);
    EXPECT_EQ(window->toolWidget()->currentStrip()->objectName(), "AnalyzeTools");
    EXPECT_TRUE(tabs[2]->isChecked());
    tabs[2]->click();
    EXPECT_EQ(g_analyzeBuilds, before + 2);

    tabs[3]->click();
    EXPECT_TRUE(tabs[3]->isChecked());
    EXPECT_FALSE(tabs[2]->isChecked());
    EXPECT_NE(qobject_cast<HelpTools*>(window->toolWidget()->currentStrip()), nullptr);
}

TEST_F(MainWindowTest, HelpStripOpensTheInstructionAndTheAboutBox)
{
    build();
    window->leftTitle()->toolButtons()[3]->click();
    auto* help = qobject_cast<HelpTools*>(window->toolWidget()->currentStrip());
    ASSERT_NE(help, nullptr);

    help->aboutButton()->click();
    ASSERT_EQ(dialogs->boxes.size(), 1);
    EXPECT_EQ(dialogs->boxes[0].kind, DialogProvider::Box::About);

    help->instructionButton()->click();
    ASSERT_EQ(window->editor()->count(), 1);
    EXPECT_EQ(window->editor()->tabAt(0)->text(), "Instruction");
}

TEST_F(MainWindowTest, StartHookReopensTheLastProjectAndItsPortOnlyAndExitHookSavesIt)
{
    sim::SimServer simulator(sim::SimConfig {});
    QString error;
    ASSERT_TRUE(simulator.start(&error)) << error.toStdString();
    QTemporaryDir dir;
    const QString path = dir.filePath("last.prj");
    build();
    shelltest::addDevice("aa01", 3)->set(nullptr, "alias", "left wheel");
    ve::d("project.serial_port")->set(nullptr, simulator.portPath());
    ASSERT_TRUE(window->leftTitle()->saveProject(path));
    ve::d("project.device")->clear(nullptr, true, false);
    ve::d("project.serial_port")->set(nullptr, QString());

    // An automatic connect would take this port first and fail loudly.
    const QByteArray oldPorts = qgetenv("SERVOBENCH_PORTS");
    qputenv("SERVOBENCH_PORTS", dir.filePath("no-such-tty").toUtf8());
    ve::d("config.setting.load_last_project")->set(nullptr, true);
    ve::d("config.setting.auto_connect")->set(nullptr, true);
    // The parameter page that would follow a detection needs the device tree, which is not here.
    ve::d("config.setting.upload_param_on_connected")->set(nullptr, false);
    ve::d("config")->set(nullptr, "last_project_path", path, true);
    window->startHook();
    QTest::qWait(300); // serial errors arrive queued
    EXPECT_EQ(ve::d("project.device.aa01.alias")->getString(), "left wheel");
    EXPECT_EQ(ve::d("working_path")->getString(), path);
    CANWorker* worker = Helper::instance()->canWorker();
    EXPECT_TRUE(worker->isConnected());
    EXPECT_EQ(ve::d("project.serial_port")->getString(), simulator.portPath());
    for (const auto& box : dialogs->boxes)
        ADD_FAILURE() << box.text.toStdString();
    worker->disconnectPort();

    const QString other = dir.filePath("other.prj");
    ve::d("working_path")->set(nullptr, other);
    window->exitHook(); // save_project_on_exit is off
    EXPECT_FALSE(QFile::exists(other));
    ve::d("config.setting.save_project_on_exit")->set(nullptr, true);
    window->exitHook();
    EXPECT_TRUE(QFile::exists(other));
    EXPECT_EQ(ve::d("config.last_project_path")->getString(), other);

    // Without the last project the automatic connect does run.
    ve::d("config.setting.load_last_project")->set(nullptr, false);
    window->startHook();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialogs->boxes.isEmpty(); }, 3000));
    EXPECT_EQ(ve::d("project.serial_port")->getString(), dir.filePath("no-such-tty"));
    EXPECT_FALSE(worker->isConnected());

    ve::d("config.setting.auto_connect")->set(nullptr, false);
    ve::d("config.setting.save_project_on_exit")->set(nullptr, false);
    qputenv("SERVOBENCH_PORTS", oldPorts);
}

class ProjectTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dialogs = shelltest::reset();
        title = std::make_unique<LeftTitle>();
    }

    static QStringList deviceNames() { return ve::d("project.device")->cdobjNames(); }

    RecordingDialogs* dialogs = nullptr;
    QTemporaryDir dir;
    std::unique_ptr<LeftTitle> title;
};

TEST_F(ProjectTest, SaveAndOpenKeepTheDevicesInOrderWithoutHiddenNames)
{
    shelltest::addDevice("f00d", 9)->set(nullptr, "alias", "arm");
    shelltest::addDevice("0a0b", 2)->set(nullptr, "param.run_mode", 2.0, true);
    shelltest::addDevice("beef", 5);
    const QString path = dir.filePath("p.prj");
    dialogs->answers << path;
    title->action("actionSaveAs")->trigger();
    ASSERT_EQ(dialogs->boxes.size(), 1);
    EXPECT_EQ(dialogs->boxes[0].kind, DialogProvider::Box::Information);
    EXPECT_EQ(dialogs->boxes[0].text, QString("Save to %1 successfully!").arg(path));
    EXPECT_EQ(ve::d("working_path")->getString(), path);

    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString xml = QString::fromUtf8(f.readAll());
    EXPECT_FALSE(xml.contains("name=\"_")) << xml.toStdString();
    EXPECT_TRUE(xml.contains("name=\"version\" type=\"6\""));

    // Open it over a tree with other devices.
    ve::d("project.device")->clear(nullptr, true, false);
    shelltest::addDevice("1234", 1);
    dialogs->answers << path;
    title->action("actionOpen")->trigger();
    EXPECT_EQ(deviceNames(), QStringList({"f00d", "0a0b", "beef"}));
    EXPECT_EQ(ve::d("project.device.f00d.alias")->getString(), "arm");
    EXPECT_EQ(ve::d("project.device.0a0b.param.run_mode")->getInt(), 2);
    EXPECT_EQ(ve::d("project.device.beef.info.can_id")->getInt(), 5);
    EXPECT_EQ(ve::d("working_path")->getString(), path);
}

TEST_F(ProjectTest, SaveAsksOnlyWithoutAWorkingPathAndNewStartsEmpty)
{
    ASSERT_TRUE(ve::d("working_path")->getString().isEmpty());
    title->action("actionSave")->trigger();
    ASSERT_EQ(dialogs->fileDialogs.size(), 1);
    EXPECT_TRUE(dialogs->boxes.isEmpty());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(ve::d("working_path")->getString().isEmpty());

    // With a working path Save asks nothing; Save as always asks.
    const QString path = dir.filePath("w.prj");
    ve::d("working_path")->set(nullptr, path);
    title->action("actionSave")->trigger();
    EXPECT_EQ(dialogs->fileDialogs.size(), 1);
    EXPECT_TRUE(QFile::exists(path));
    const QString other = dir.filePath("x.prj");
    dialogs->answers << other;
    title->action("actionSaveAs")->trigger();
    EXPECT_EQ(dialogs->fileDialogs.size(), 2);
    EXPECT_EQ(ve::d("working_path")->getString(), other);

    // New starts empty under the chosen name, written at the next save.
    shelltest::addDevice("1234", 1);
    const QString fresh = dir.filePath("new.prj");
    dialogs->answers << fresh;
    title->action("actionNew")->trigger();
    EXPECT_EQ(ve::d("project.device")->size(), 0);
    EXPECT_EQ(ve::d("working_path")->getString(), fresh);
    EXPECT_FALSE(QFile::exists(fresh));
}

TEST_F(ProjectTest, AFailedSaveKeepsTheWorkingPath)
{
    const QString good = dir.filePath("g.prj");
    ve::d("working_path")->set(nullptr, good);
    QFile blocker(dir.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString bad = dir.filePath("file/sub.prj"); // a file stands where the directory would be
    dialogs->answers << bad;
    title->action("actionSaveAs")->trigger();
    ASSERT_EQ(dialogs->boxes.size(), 1);
    EXPECT_EQ(dialogs->boxes[0].kind, DialogProvider::Box::Critical);
    EXPECT_EQ(dialogs->boxes[0].text, QString("Save to %1 Failed!").arg(bad));
    EXPECT_EQ(ve::d("working_path")->getString(), good);
}

} // namespace
