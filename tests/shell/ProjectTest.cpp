#include "ShellTestSupport.h"

#include "Helper.h"
#include "LeftTitle.h"

#include <DataManager.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace {

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
