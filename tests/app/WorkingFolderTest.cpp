#include "WorkingFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

void touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

QProcessEnvironment envWith(const QString& home, const QString& dataHome = QString())
{
    QProcessEnvironment env;
    if (!home.isNull())
        env.insert("HOME", home);
    if (!dataHome.isNull())
        env.insert("XDG_DATA_HOME", dataHome);
    return env;
}

TEST(WorkingFolderTest, AFolderWithTheProgramsFilesIsKeptAnyOtherStartMovesToThePerUserFolder)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString root = tmp.path();
    const auto env = envWith("/home/u");
    const QString perUser = "/home/u/.local/share/servobench";

    touch(root + "/bench/config.xml"); // a folder a user ran it in before: nothing is lost
    touch(root + "/run/instruction.pdf");
    touch(root + "/run2/i18n/zh_CN.qm");
    touch(root + "/checkout/i18n/zh_CN.ts"); // sources are not a working folder
    touch(root + "/other/log/global_20260101.log");
    touch(root + "/share/instruction.pdf"); // the installed files: read-only
    touch(root + "/lockedbench/config.xml");
    for (const char* ro : {"/share", "/lockedbench"})
        ASSERT_TRUE(QFile::setPermissions(root + ro, QFile::ReadOwner | QFile::ExeOwner));
    QDir().mkpath(root + "/empty");
    for (const char* kept : {"bench", "run", "run2", "lockedbench"})
        EXPECT_EQ(WorkingFolder::choose(root + "/" + kept, env), root + "/" + kept) << kept;
    for (const char* moved : {"checkout", "other", "empty"})
        EXPECT_EQ(WorkingFolder::choose(root + "/" + moved, env), perUser) << moved;
    if (geteuid() != 0) { // root may write anywhere
        EXPECT_EQ(WorkingFolder::choose(root + "/share", env), perUser);
    }
    for (const char* ro : {"/share", "/lockedbench"})
        QFile::setPermissions(root + ro, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // XDG_DATA_HOME when it is absolute; XDG says to ignore a relative one.
    EXPECT_EQ(WorkingFolder::perUserFolder(envWith("/home/u", "/data/")), "/data/servobench");
    EXPECT_EQ(WorkingFolder::perUserFolder(envWith("/home/u", "rel")), perUser);
    // Without any home there is nowhere else to go.
    EXPECT_EQ(WorkingFolder::perUserFolder(envWith(QString())), QString());
    EXPECT_EQ(WorkingFolder::choose(root + "/empty", envWith(QString())), root + "/empty");
}

TEST(WorkingFolderTest, TheWorkingFoldersOwnCopyWinsThenTheInstalledOne)
{
    QTemporaryDir work, installed;
    ASSERT_TRUE(work.isValid() && installed.isValid());
    touch(installed.filePath("i18n/zh_CN.qm"));
    touch(installed.filePath("instruction.pdf"));
    touch(work.filePath("instruction.pdf"));
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(work.path()));

    EXPECT_EQ(WorkingFolder::find("instruction.pdf", installed.path()), "./instruction.pdf");
    EXPECT_EQ(WorkingFolder::find("i18n/zh_CN.qm", installed.path()), installed.filePath("i18n/zh_CN.qm"));
    // Found nowhere: the expected place, so the error line names it.
    EXPECT_EQ(WorkingFolder::find("i18n/de.qm", installed.path()), "./i18n/de.qm");
    EXPECT_EQ(WorkingFolder::find("i18n/zh_CN.qm", QString()), "./i18n/zh_CN.qm");

    QDir::setCurrent(previous);
}

} // namespace
