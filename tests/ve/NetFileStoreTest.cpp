#include "FileSizeLimit.h"
#include "NetworkFilePackage.h"
#include "NetworkFileStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using ve::NetworkFilePackage;
using ve::NetworkFileStore;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

NetworkFilePackage package(const QString& target, const QByteArray& content, bool append)
{
    NetworkFilePackage p("", target, append);
    p.setContent(content);
    return p;
}

} // namespace

TEST(NetFileStore, HostileTargetPathsAreRefused)
{
    const char* refused[] = {"", "/etc/profile", "../x", "a/../../x", "a/..", "..", "a\\b", "C:x", "dir/",
        "a/.", "tab\there", "caf\xc3\xa9"};
    for (const char* path : refused)
        EXPECT_FALSE(NetworkFileStore::isAcceptablePath(QString::fromUtf8(path))) << path;
    EXPECT_FALSE(NetworkFileStore::isAcceptablePath(QString::fromLatin1("a\0b", 3)));
    for (const char* path : {"a.txt", "sub/dir/b.bin", "./c", "x//y", "..hidden", "a..b"})
        EXPECT_TRUE(NetworkFileStore::isAcceptablePath(path)) << path;

    QTemporaryDir root;
    ASSERT_TRUE(QDir(root.path()).mkdir("in"));
    NetworkFileStore none;
    QString error;
    EXPECT_TRUE(none.store(package("a.txt", "x", false), &error).isEmpty());
    EXPECT_TRUE(error.startsWith("no receive folder")) << error.toStdString();

    NetworkFileStore store(root.path() + "/in");
    EXPECT_TRUE(store.store(package("../out.txt", "x", false)).isEmpty());
    EXPECT_FALSE(QFile::exists(root.path() + "/out.txt"));
    const QString stored = store.store(package("sub/dir/b.bin", "data", false));
    EXPECT_EQ(stored, root.path() + "/in/sub/dir/b.bin");
    EXPECT_EQ(readAll(stored), "data");
}

TEST(NetFileStore, SymlinksAreNeverFollowed)
{
    QTemporaryDir root;
    QDir dir(root.path());
    ASSERT_TRUE(dir.mkdir("in") && dir.mkdir("outside"));
    ASSERT_TRUE(writeFile(root.path() + "/outside/profile", "safe\n"));
    ASSERT_TRUE(QFile::link(root.path() + "/outside", root.path() + "/in/dirlink"));
    ASSERT_TRUE(QFile::link(root.path() + "/outside/profile", root.path() + "/in/filelink"));

    NetworkFileStore store(root.path() + "/in");
    QString error;
    EXPECT_TRUE(store.store(package("dirlink/profile", "evil\n", true), &error).isEmpty());
    EXPECT_TRUE(store.store(package("dirlink/new/x", "evil\n", false), &error).isEmpty());
    EXPECT_TRUE(store.store(package("filelink", "evil\n", true), &error).isEmpty());
    EXPECT_TRUE(store.store(package("filelink", "evil\n", false), &error).isEmpty());
    EXPECT_EQ(readAll(root.path() + "/outside/profile"), "safe\n");
    EXPECT_EQ(QDir(root.path() + "/outside").entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
        QStringList {"profile"});
}

TEST(NetFileStore, AppendAndReplaceReportFailuresAndKeepOldContent)
{
    QTemporaryDir root;
    NetworkFileStore store(root.path());
    const QString path = root.path() + "/t.txt";
    ASSERT_FALSE(store.store(package("t.txt", "abc", true)).isEmpty());
    ASSERT_FALSE(store.store(package("t.txt", "abc", true)).isEmpty());
    EXPECT_EQ(readAll(path), "abcabc");
    ASSERT_FALSE(store.store(package("t.txt", "new", false)).isEmpty());
    EXPECT_EQ(readAll(path), "new");

    QString error;
    {
        FileSizeLimit limit(1000);
        EXPECT_TRUE(store.store(package("t.txt", QByteArray(5000, 'r'), false), &error).isEmpty());
        EXPECT_TRUE(error.startsWith("cannot write file: ")) << error.toStdString();
        EXPECT_TRUE(store.store(package("t.txt", QByteArray(5000, 'a'), true), &error).isEmpty());
    }
    // Neither a half-replaced nor a half-appended file is left behind.
    EXPECT_EQ(readAll(path), "new");
    EXPECT_EQ(QDir(root.path()).entryList(QDir::Files), QStringList {"t.txt"});
}
