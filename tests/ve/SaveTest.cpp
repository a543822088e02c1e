// Saves never destroy the previous file, and the user's configuration.
#include "AppTree.h"
#include "DataManager.h"
#include "LogCapture.h"
#include "TestTree.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using ve::DataObject;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& data)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

// Makes every write past `limit` bytes fail (a full disk, also for root).
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lower = m_saved;
        lower.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    rlimit m_saved {};
    void (*m_handler)(int) = nullptr;
};

// A tree whose every export is far larger than the size limit.
void fillLarge(DataObject* node)
{
    for (int i = 0; i < 400; ++i)
        node->set(nullptr, QStringLiteral("key_%1").arg(i), QStringLiteral("value number %1").arg(i), true);
}

class ScopedCurrentDir
{
public:
    explicit ScopedCurrentDir(const QString& dir)
        : m_saved(QDir::currentPath())
    {
        QDir::setCurrent(dir);
    }
    ~ScopedCurrentDir() { QDir::setCurrent(m_saved); }

private:
    QString m_saved;
};

} // namespace

TEST(AtomicSave, FailedWritesLeaveThePreviousFileIntact)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TestTree t;
    fillLarge(t.root());
    const QByteArray old = "previous content\n";
    const QString json = dir.filePath("data.json");
    const QString xml = dir.filePath("config.xml");
    const QString bin = dir.filePath("tree.bin");
    for (const QString& path : {json, xml, bin})
        writeAll(path, old);

    LogCapture log;
    {
        FileSizeLimit limit(1024);
        EXPECT_FALSE(ve::DataManager::writeToJson(json, t.root()->exportToJson(false), true));
        EXPECT_FALSE(ve::DataManager::writeToXmlFile(xml, t.root(), true, true));
        // Level 0 keeps the record large.
        EXPECT_FALSE(ve::DataManager::writeToBin(bin, t.root()->exportToBin(false), 0, true));
    }
    EXPECT_EQ(readAll(json), old);
    EXPECT_EQ(readAll(xml), old);
    EXPECT_EQ(readAll(bin), old);
    EXPECT_TRUE(log.contains("<m><static> cannot write json file: \"" + json + "\""));
    EXPECT_TRUE(log.contains("<m><static> cannot write xml file: \"" + xml + "\""));
    EXPECT_TRUE(log.contains("<m><static> cannot write binary file: \"" + bin + "\""));
    // No temporary files are left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);

    // Without the limit the same saves succeed and replace the files.
    EXPECT_TRUE(ve::DataManager::writeToJson(json, t.root()->exportToJson(false), true));
    EXPECT_TRUE(ve::DataManager::writeToXmlFile(xml, t.root(), true, true));
    EXPECT_NE(readAll(json), old);
    EXPECT_TRUE(
        readAll(xml).startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<m>\n    <c name=\"key_0\""));
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
    writeAll(path, "old");
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

TEST(XmlFiles, NullNodesAndMissingFiles)
{
    QTemporaryDir dir;
    LogCapture log;
    EXPECT_FALSE(ve::DataManager::writeToXmlFile(dir.filePath("x.xml"), nullptr, true, true));
    EXPECT_FALSE(ve::DataManager::writeToXmlFile(dir.filePath("x.xml"), ve::d().emptyDobj(), true, true));
    EXPECT_TRUE(log.contains("<m><static> try to write xml from an empty mobj"));
    EXPECT_FALSE(ve::DataManager::readFromXmlFile(nullptr, ve::d().emptyDobj(), dir.filePath("x.xml")));
    EXPECT_TRUE(log.contains("<m><static> try to read xml for an empty mobj"));
    TestTree t;
    EXPECT_FALSE(ve::DataManager::readFromXmlFile(nullptr, t.root(), dir.filePath("x.xml")));
    EXPECT_TRUE(log.contains("<m><static> cannot read xml file: \"" + dir.filePath("x.xml") + "\""));
    EXPECT_FALSE(ve::DataManager::writeToXmlFile(dir.filePath("x.xml/y.xml"), t.root(), false, true));
    writeAll(dir.filePath("file"), "x");
    EXPECT_FALSE(ve::DataManager::writeToXmlFile(dir.filePath("file/y.xml"), t.root(), true, true));
    EXPECT_TRUE(
        log.contains("<m><static> cannot create path \"" + dir.filePath("file/y.xml") + "\" to write xml"));
}

class ConfigurationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(servobench::importTemplate());
        ve::d().rootDobj()->remove(nullptr, "config.last_project_path", true);
    }
    QString path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

TEST_F(ConfigurationTest, FirstStartWithoutFileKeepsDefaultsAndSavesWholeBranch)
{
    ScopedCurrentDir cwd(m_dir.path());
    LogCapture log;
    servobench::loadConfiguration();
    EXPECT_TRUE(log.contains("<m><static> cannot read xml file: \"config.xml\""));
    EXPECT_EQ(ve::d("config.language")->getString(), "zh_CN");
    EXPECT_TRUE(ve::d("config.setting.show_panel")->getBool());

    ve::d("config")->set(nullptr, "_runtime", 1, true);
    servobench::saveConfiguration();
    const QByteArray saved = readAll(m_dir.filePath("config.xml"));
    EXPECT_TRUE(saved.contains("<c name=\"language\" type=\"10\" value=\"zh_CN\"/>"));
    EXPECT_TRUE(saved.contains("<c name=\"h_splitter\">"));
    EXPECT_FALSE(saved.contains("_runtime"));
    ve::d("config")->remove(nullptr, "_runtime", true);

    // Read back into a fresh template tree: every value with its type.
    TestTree fresh;
    fresh.root()->importFromJson(nullptr, ve::d("config")->exportToJson(false));
    ve::DataManager::readFromXmlFile(nullptr, fresh.root(), m_dir.filePath("config.xml"));
    EXPECT_EQ(fresh.root()->exportToVariant(false), ve::d("config")->exportToVariant(false));
    EXPECT_EQ(fresh.root()->rdobj("setting.auto_connect")->get().userType(), QMetaType::Bool);
    EXPECT_EQ(fresh.root()->rdobj("oscilloscope_frame_rate")->get().userType(), QMetaType::Double);
}

TEST_F(ConfigurationTest, UnknownKeysSurviveAndValuesReplaceDefaults)
{
    ve::d("config.language")->set(nullptr, QStringLiteral("en"));
    ve::d("config.setting.auto_connect")->set(nullptr, true);
    ve::d("config")->set(nullptr, "last_project_path", QStringLiteral("/p/one.prj"), true);
    servobench::saveConfiguration(path("sub/config.xml"));

    // Next start: the template's defaults, and no node the template lacks.
    ASSERT_TRUE(servobench::importTemplate());
    ve::d("config")->remove(nullptr, "last_project_path", true);
    EXPECT_EQ(ve::d("config.language")->getString(), "zh_CN");
    EXPECT_FALSE(ve::d("config.setting.auto_connect")->getBool());

    servobench::loadConfiguration(path("sub/config.xml"));
    EXPECT_EQ(ve::d("config.language")->getString(), "en");
    EXPECT_TRUE(ve::d("config.setting.auto_connect")->getBool());
    EXPECT_EQ(ve::d("config.last_project_path")->getString(), "/p/one.prj");
    servobench::saveConfiguration(path("again.xml"));
    EXPECT_EQ(readAll(path("again.xml")), readAll(path("sub/config.xml")));
}

TEST_F(ConfigurationTest, UnreadableOrForeignFilesLeaveDefaults)
{
    // A directory in place of the file cannot be read.
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("config.xml"));
    LogCapture log;
    servobench::loadConfiguration(path("config.xml"));
    EXPECT_TRUE(log.contains("[E|"));
    EXPECT_TRUE(log.contains("cannot read xml file: \"" + path("config.xml") + "\""));
    EXPECT_EQ(ve::d("config.language")->getString(), "zh_CN");

    writeAll(path("foreign.xml"),
        "<?xml version=\"1.0\"?><m><c name=\"language\" value=\"en\"/><x/>"
        "<c name=\"scale\" type=\"6\" value=\"big\"/></m>");
    servobench::loadConfiguration(path("foreign.xml"));
    EXPECT_EQ(ve::d("config.language")->getString(), "en");
    EXPECT_TRUE(log.contains("non-standard xml element: \"x\""));
    EXPECT_TRUE(log.contains("cannot convert in xml: ("));
}

TEST_F(ConfigurationTest, BrokenFileIsKeptBesideItBeforeTheExitWrite)
{
    ScopedCurrentDir cwd(m_dir.path());
    const QByteArray broken
        = "<?xml version=\"1.0\"?><m><c name=\"language\" type=\"10\" value=\"en\"/>"
          "<c name=\"owner\" value=\"R&D bench\"/><c name=\"scale\" type=\"6\" value=\"2\"/></m>";
    writeAll("config.xml", broken);
    LogCapture log;
    servobench::loadConfiguration();
    servobench::saveConfiguration();
    EXPECT_EQ(ve::d("config.language")->getString(), "en");
    EXPECT_EQ(readAll("config.xml.bak"), broken);
    EXPECT_TRUE(readAll("config.xml").contains("<c name=\"language\" type=\"10\" value=\"en\"/>"));
}
