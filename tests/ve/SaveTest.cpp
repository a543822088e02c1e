// Saves never destroy the previous file; the embedded template and the
// user's configuration over it.
#include "AppTree.h"
#include "DataManager.h"
#include "LogCapture.h"
#include "TestFiles.h"
#include "TestTree.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using ve::DataObject;

namespace {

// A tree whose every export is far larger than the size limit.
void fillLarge(DataObject* node)
{
    for (int i = 0; i < 400; ++i)
        node->set(nullptr, QStringLiteral("key_%1").arg(i), QStringLiteral("value number %1").arg(i), true);
}

} // namespace

TEST(AtomicSave, FailedWritesLeaveThePreviousFileIntact)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TestTree t;
    fillLarge(t.root());
    // One writer behind every form; XML is what config and projects use.
    const QByteArray old = "previous content\n";
    const QString xml = dir.filePath("config.xml");
    ASSERT_TRUE(writeAll(xml, old));
    LogCapture log;
    {
        FileSizeLimit limit(1024);
        EXPECT_FALSE(ve::DataManager::writeToXmlFile(xml, t.root(), true, true));
    }
    EXPECT_EQ(readAll(xml), old);
    EXPECT_TRUE(log.contains("<m><static> cannot write xml file: \"" + xml + "\""));
    // No temporary files are left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList {"config.xml"});

    EXPECT_TRUE(ve::DataManager::writeToXmlFile(xml, t.root(), true, true));
    EXPECT_TRUE(
        readAll(xml).startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<m>\n    <c name=\"key_0\""));

    // Nothing to write, or nowhere to read from, is a failure.
    EXPECT_FALSE(ve::DataManager::writeToXmlFile(dir.filePath("x.xml"), nullptr, true, true));
    EXPECT_FALSE(ve::DataManager::writeToXmlFile(dir.filePath("x.xml"), ve::d().emptyDobj(), true, true));
    EXPECT_FALSE(ve::DataManager::readFromXmlFile(nullptr, t.root(), dir.filePath("x.xml")));
    EXPECT_FALSE(ve::DataManager::readFromXmlFile(nullptr, t.root(), dir.path()));
    EXPECT_FALSE(ve::DataManager::writeToXmlFile(xml + "/y.xml", t.root(), true, true));
}

TEST(AtomicSave, WritableFileInAFolderWithoutCreateRightsIsSaved)
{
    // The user may write the file but not create the temporary one beside
    // it; root may do both, so the save runs as an unprivileged user.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath("shared");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + "/config.xml";
    ASSERT_TRUE(writeAll(path, "old"));
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0666), 0);
    ASSERT_EQ(chmod(QFile::encodeName(folder).constData(), 0555), 0);
    ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    TestTree t;
    t.root()->set(nullptr, "saved", 1, true);

    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(2);
        _exit(ve::DataManager::writeToXmlFile(path, t.root(), true, true) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    chmod(QFile::encodeName(folder).constData(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(readAll(path).contains("<c name=\"saved\" type=\"2\" value=\"1\"/>"));
}

// The program's start-up and exit, in a working folder of the test's own.
class ConfigurationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(servobench::importTemplate());
        ve::d().rootDobj()->remove(nullptr, "config.last_project_path", true);
        QDir::setCurrent(m_dir.path());
    }
    void TearDown() override { QDir::setCurrent(m_saved); }

    const QString m_saved = QDir::currentPath();
    QTemporaryDir m_dir;
};

TEST_F(ConfigurationTest, PathsAndTypesOtherCodeReliesOn)
{
    // A widget binding to a missing path or reading a string as a bool
    // silently falls back to its default; one row per kind of use.
    const QList<QPair<const char*, int>> leaves {
        {"config.language", QMetaType::QString},
        {"config.setting.auto_connect", QMetaType::Bool},
        {"config.oscilloscope_frame_rate", QMetaType::Double},
        {"config.wnd.h_splitter.#2", QMetaType::Double},
        {"wnd.status.progress", QMetaType::Double},
        {"_send_can_id", QMetaType::Double},
        {"temp_analyze.channel.#0.color", QMetaType::QString},
        {"project.serial_port", QMetaType::QString},
        {"template.r58_motor._control.frequency", QMetaType::Double},
        {"template.r58_motor.info.can_id", QMetaType::QString},
        {"trigger.analyze.oscilloscope.legend", QMetaType::Bool},
        // trigger nodes: null leaves
        {"template.r58_motor._trigger.param.upload", QMetaType::UnknownType},
        {"_can", QMetaType::UnknownType},
    };
    for (const auto& leaf : leaves) {
        DataObject* node = ve::d(leaf.first);
        ASSERT_FALSE(node->isEmpty()) << leaf.first;
        EXPECT_EQ(node->size(), 0) << leaf.first;
        EXPECT_EQ(node->get().userType(), leaf.second) << leaf.first;
    }
    EXPECT_EQ(ve::d("project.device")->size(), 0);
    // A device saved in a project keeps alias, info and param only.
    EXPECT_EQ(ve::d("template.r58_motor")->exportToJson(true).toObject().keys(),
        (QStringList {"alias", "info", "param"}));
}

TEST_F(ConfigurationTest, FirstStartSavesTheBranchAndTheNextStartReadsItBack)
{
    LogCapture log;
    servobench::loadConfiguration();
    EXPECT_TRUE(log.contains("<m><static> cannot read xml file: \"config.xml\""));
    EXPECT_EQ(ve::d("config.language")->getString(), "zh_CN");

    ve::d("config.language")->set(nullptr, QStringLiteral("en"));
    ve::d("config.setting.auto_connect")->set(nullptr, true);
    ve::d("config")->set(nullptr, "last_project_path", QStringLiteral("/p/one.prj"), true);
    ve::d("config")->set(nullptr, "_runtime", 1, true);
    servobench::saveConfiguration();
    const QByteArray saved = readAll("config.xml");
    EXPECT_TRUE(saved.contains("<c name=\"h_splitter\">"));
    EXPECT_FALSE(saved.contains("_runtime"));

    // Next start: the template's defaults, then the file over them, with
    // their types and the keys the template lacks.
    ASSERT_TRUE(servobench::importTemplate());
    ve::d("config")->remove(nullptr, "last_project_path", true);
    EXPECT_FALSE(ve::d("config.setting.auto_connect")->getBool());
    servobench::loadConfiguration();
    EXPECT_EQ(ve::d("config.language")->getString(), "en");
    EXPECT_EQ(ve::d("config.setting.auto_connect")->get(), QVariant(true));
    EXPECT_EQ(ve::d("config.oscilloscope_frame_rate")->get().userType(), QMetaType::Double);
    EXPECT_EQ(ve::d("config.last_project_path")->getString(), "/p/one.prj");
    servobench::saveConfiguration("again.xml");
    EXPECT_EQ(readAll("again.xml"), saved);
}

TEST_F(ConfigurationTest, BrokenFileIsKeptBesideItBeforeTheExitWrite)
{
    const QByteArray broken
        = "<?xml version=\"1.0\"?><m><c name=\"language\" type=\"10\" value=\"en\"/>"
          "<c name=\"owner\" value=\"R&D bench\"/><c name=\"scale\" type=\"6\" value=\"2\"/></m>";
    ASSERT_TRUE(writeAll("config.xml", broken));
    LogCapture log;
    servobench::loadConfiguration();
    servobench::saveConfiguration();
    EXPECT_EQ(ve::d("config.language")->getString(), "en");
    EXPECT_EQ(readAll("config.xml.bak"), broken);
    EXPECT_TRUE(readAll("config.xml").contains("<c name=\"language\" type=\"10\" value=\"en\"/>"));
}
