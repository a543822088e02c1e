#include <QDate>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Runs the program in dir under a virtual display, waits for its window and
// presses the File menu's Exit shortcut (Ctrl+Q). Returns the exit code.
// With home, the program gets it as its home folder.
int runAndExit(const QString& dir, QString* output, const QString& home = QString())
{
    const QString script = QString("\"%1\" >program.out 2>&1 & pid=$!; "
                                   "xdotool search --sync --onlyvisible --name Torqlet windowfocus --sync "
                                   "key --clearmodifiers ctrl+q >/dev/null 2>&1; "
                                   "wait $pid; echo \"exit=$?\"")
                               .arg(SERVOBENCH_EXE);
    QProcess p;
    p.setWorkingDirectory(dir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM"); // a real (virtual) display this time
    if (!home.isEmpty()) {
        env.insert("HOME", home);
        env.remove("XDG_DATA_HOME");
    }
    // Under AddressSanitizer memory errors still end the child; its leak report is not
    // checked here, because the GL driver the help page's engine loads is unloaded at exit
    // and its allocations can no longer be attributed. The widget tests check our leaks.
    if (env.contains("ASAN_OPTIONS"))
        env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":detect_leaks=0");
    p.setProcessEnvironment(env);
    p.start("timeout", {"120", "xvfb-run", "-a", "sh", "-c", script});
    if (!p.waitForFinished(150000))
        return -1;
    *output = QString::fromUtf8(p.readAllStandardOutput());
    const int at = output->lastIndexOf("exit=");
    return at < 0 ? -1 : output->mid(at + 5).trimmed().toInt();
}

QString readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

class StartupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("xvfb-run").isEmpty()
            || QStandardPaths::findExecutable("xdotool").isEmpty())
            GTEST_SKIP() << "xvfb-run and xdotool are needed (scripts/install-deps.sh)";
        ASSERT_TRUE(dir.isValid());
    }
    static QString todaysLog(const QString& folder)
    {
        return readFile(folder + "/log/global_" + QDate::currentDate().toString("yyyyMMdd") + ".log");
    }

    QTemporaryDir dir;
};

TEST_F(StartupTest, ConfigurationIsReadAtStartAndWrittenAtExit)
{
    QFile config(dir.filePath("config.xml"));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    // A hand-edited far list position must neither abort the start nor cost the settings after it.
    config.write("<?xml version=\"1.0\"?>\n<m>\n"
                 "  <c name=\"#2000000000\"/>\n"
                 "  <c name=\"language\" type=\"10\" value=\"en\"/>\n"
                 "  <c name=\"last_project_path\" type=\"10\" value=\"keep.prj\"/>\n"
                 "  <c name=\"setting\">\n    <c name=\"show_panel\" type=\"1\" value=\"false\"/>\n  </c>\n"
                 "</m>\n");
    config.close();

    QString output;
    ASSERT_EQ(runAndExit(dir.path(), &output), 0) << output.toStdString();

    const QString written = readFile(dir.filePath("config.xml"));
    EXPECT_TRUE(written.contains("<c name=\"show_panel\" type=\"1\" value=\"false\"/>"))
        << written.toStdString();
    EXPECT_TRUE(written.contains("<c name=\"last_project_path\" type=\"10\" value=\"keep.prj\"/>"));
    EXPECT_TRUE(written.contains("<c name=\"oscilloscope_frame_rate\" type=\"6\" value=\"24\"/>"));
    EXPECT_TRUE(written.contains("<c name=\"language\" type=\"10\" value=\"en\"/>"));
    EXPECT_FALSE(written.contains("name=\"_"));

    const QString log = todaysLog(dir.path());
    EXPECT_TRUE(log.contains(
        QRegularExpression(R"(\[I\|\d\d/\d\d \d\d:\d\d:\d\d\.\d{3}\]internal version: 0\.0\.4\n)")))
        << log.toStdString();
    EXPECT_FALSE(log.contains("no language")); // English needs no translation file
}

// Started outside a folder of its own (the desktop menu starts in the home
// folder), the program works in the per-user folder and leaves the start folder
// and the rest of the home folder alone.
TEST_F(StartupTest, FirstStartElsewhereUsesThePerUserFolderWithTheDefaults)
{
    const QString start = dir.filePath("start");
    const QString home = dir.filePath("home");
    ASSERT_TRUE(QDir().mkpath(start) && QDir().mkpath(home));

    QString output;
    ASSERT_EQ(runAndExit(start, &output, home), 0) << output.toStdString();

    const QString work = home + "/.local/share/servobench";
    const QString log = todaysLog(work);
    const int config = log.indexOf("cannot read xml file: \"config.xml\"");
    const int language = log.indexOf("]no language ./i18n/zh_CN.qm file\n");
    const int version = log.indexOf("]internal version: 0.0.4\n");
    EXPECT_GE(config, 0) << log.toStdString();
    EXPECT_GT(language, config); // the build tree has no installed translation
    EXPECT_GT(version, language);

    const QString written = readFile(work + "/config.xml");
    EXPECT_TRUE(written.contains("<c name=\"language\" type=\"10\" value=\"zh_CN\"/>"))
        << written.toStdString();
    EXPECT_TRUE(written.contains("<c name=\"h_splitter\">"));
    EXPECT_FALSE(written.contains("last_project_path"));

    const auto all = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden;
    EXPECT_EQ(QDir(start).entryList(all), QStringList {"program.out"}); // the test's own capture
    QStringList inHome = QDir(home).entryList(all);
    inHome.removeAll(".cache"); // the font and GL libraries' caches, not ours
    EXPECT_EQ(inHome, QStringList {".local"});
    EXPECT_EQ(QDir(home + "/.local/share").entryList(all), QStringList {"servobench"});
}

} // namespace
