// What a peer's bytes become: packages from the parser, files in the
// receive folder.
#include "NetworkFilePackage.h"
#include "NetworkFileStore.h"
#include "NetworkFrame.h"
#include "NetworkJsonPackage.h"
#include "NetworkPackageParser.h"
#include "TestFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

using ve::NetworkFilePackage;
using ve::NetworkFileStore;
using ve::NetworkFrame;
using ve::NetworkJsonPackage;
using ve::NetworkPackage;
using ve::NetworkPackageParser;
using Event = NetworkPackageParser::Event;

namespace {

QByteArray pattern(int size)
{
    QByteArray out(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        out[i] = char((i * 7 + i / 251) & 0xff);
    return out;
}

QByteArray frame(quint16 length, const QByteArray& content = QByteArray())
{
    QByteArray out(2, Qt::Uninitialized);
    qToBigEndian<quint16>(length, out.data());
    return out + content;
}

QByteArray fileBody(
    const QByteArray& path, const QByteArray& content, quint16 path_length, quint16 format = 0)
{
    QByteArray body(21, '\0');
    qToBigEndian<quint16>(format, body.data());
    body[2] = 1;
    const QByteArray md5 = QCryptographicHash::hash(content, QCryptographicHash::Md5);
    memcpy(body.data() + 3, md5.constData(), 16);
    qToBigEndian<quint16>(path_length, body.data() + 19);
    return body + path + content;
}

// What a receiver makes of a stream, as comparable text.
QStringList describe(const QVector<Event>& events)
{
    QStringList out;
    for (const Event& e : events) {
        switch (e.kind) {
        case Event::Package:
            out << "package " + QString::fromLatin1(e.bytes.toHex());
            break;
        case Event::Json:
            out << "json " + QString::fromUtf8(QJsonDocument(e.object).toJson(QJsonDocument::Compact));
            break;
        case Event::JsonArray:
            out << "array " + QString::fromUtf8(QJsonDocument(e.array).toJson(QJsonDocument::Compact));
            break;
        case Event::File:
            out << QString("file %1 %2 %3")
                       .arg(e.file.targetPath())
                       .arg(e.file.isAppend())
                       .arg(QString::fromLatin1(e.file.content().toHex()));
            break;
        case Event::PacketError:
            out << "packetError " + e.text;
            break;
        case Event::LogError:
            out << "log " + e.text;
            break;
        }
    }
    return out;
}

NetworkFilePackage package(const QString& target, const QByteArray& content, bool append)
{
    NetworkFilePackage p("", target, append);
    p.setContent(content);
    return p;
}

} // namespace

TEST(NetParser, FrameLayoutPeersRelyOn)
{
    // A 6-byte package header, then frames of at most 10240 bytes, each after
    // its big-endian length. That any split of a stream parses alike is the
    // net_parser fuzzer's check.
    const QByteArray body = pattern(25000);
    const QByteArray package = NetworkPackage(body).serialize();
    EXPECT_EQ(package.left(6).toHex(), "000061a80000");
    const QByteArray wire = NetworkFrame::frames(package);
    ASSERT_EQ(wire.size(), 25006 + 3 * 2);
    EXPECT_EQ(wire.left(2).toHex(), "2800");
    EXPECT_EQ(wire.mid(20484, 2).toHex(), "11ae"); // 4526
    EXPECT_EQ(wire.mid(20486), package.mid(20480));

    NetworkPackageParser parser;
    EXPECT_EQ(describe(parser
                           .feed(wire
                               + NetworkFrame::frames(
                                   NetworkPackage("ab").serialize() + NetworkPackage("cd").serialize()))
                           .events),
        (QStringList {"package " + QString::fromLatin1(body.toHex()), "package 6162", "package 6364"}));
}

TEST(NetParser, LengthsAreUnsignedAndBounded)
{
    const QByteArray body = pattern(194);
    const QStringList frameError {"log frame size error, frame abondon"};
    const QStringList lengthError {"packetError package length error, package abondon"};
    const QList<QPair<QByteArray, QStringList>> cases {
        // 0x00C8 is 200 bytes, not a negative length.
        {frame(0x00c8, NetworkPackage(body).serialize()), {"package " + QString::fromLatin1(body.toHex())}},
        {frame(10241, "xyz"), frameError},
        {frame(0x8000, "xyz"), frameError},
        {frame(0xffff, "xyz"), frameError},
        {frame(6, NetworkPackage::header(524288001, 0)), lengthError},
        {frame(6, NetworkPackage::header(0x80000000, 0)), lengthError},
        {frame(6, NetworkPackage::header(0xffffffff, 0)), lengthError},
        {frame(6, NetworkPackage::header(1, 3)), {"packetError package type error, package abondon"}},
    };
    for (const auto& c : cases) {
        NetworkPackageParser parser;
        EXPECT_EQ(describe(parser.feed(c.first).events), c.second) << c.first.left(8).toHex().toStdString();
        EXPECT_FALSE(parser.hasPartial());
    }
}

TEST(NetParser, ErrorsDropTornPackagesInsteadOfSplicing)
{
    const QByteArray good = NetworkPackage("good").serialize();
    // Half a package, then a broken frame, then a whole package: the new
    // package must arrive alone, not as the tail of the torn one.
    NetworkPackageParser parser;
    parser.feed(frame(8, NetworkPackage::header(20, 0) + "ab"));
    EXPECT_EQ(parser.packageCacheSize(), 8);
    const auto broken = parser.feed(frame(20000) + "junk");
    EXPECT_EQ(broken.events.size(), 1);
    EXPECT_FALSE(parser.hasPartial());
    EXPECT_EQ(describe(parser.feed(NetworkFrame::frames(good)).events), QStringList {"package 676f6f64"});

    // A package error drops the frames still cached behind it.
    NetworkPackageParser second;
    const auto r = second.feed(
        frame(6, NetworkPackage::header(0xffffffff, 0)) + frame(10, "0123456789") + frame(10, "01"));
    EXPECT_EQ(r.events.size(), 1);
    EXPECT_FALSE(second.hasPartial());
    EXPECT_EQ(describe(second.feed(NetworkFrame::frames(good)).events), QStringList {"package 676f6f64"});
}

TEST(NetParser, AnnouncedLengthReservesNothingAndLimitIsSettable)
{
    NetworkPackageParser parser;
    parser.feed(frame(8, NetworkPackage::header(524288000, 0) + "ab"));
    // The cache holds what arrived, not what was announced.
    EXPECT_EQ(parser.packageCacheSize(), 8);
    EXPECT_EQ(parser.abandon(), QStringList {"abondon package cache, size: 8"});
    EXPECT_FALSE(parser.hasPartial());

    parser.feed(frame(3, "abc").left(4));
    EXPECT_EQ(parser.abandon(), QStringList {"abondon frame cache, size: 4"});

    parser.setPackageLimit(1000);
    EXPECT_TRUE(parser.feed(frame(6, NetworkPackage::header(1000, 0))).events.isEmpty());
    parser.reset();
    EXPECT_EQ(describe(parser.feed(frame(6, NetworkPackage::header(1001, 0))).events),
        QStringList {"packetError package length error, package abondon"});
}

TEST(NetParser, BrokenBodiesAreLoggedAndDropped)
{
    QByteArray tampered = fileBody("a.txt", "content", 5);
    tampered[tampered.size() - 1] = 'X';
    const QString refusedJson = "log json parse error: duplicate key";
    struct Case
    {
        int type;
        QByteArray body;
        QString event; // what it becomes, or how its one event starts
    };
    const Case cases[] {
        {2, "{\"a\":", "log json parse error: "},
        // Qt's JSON reader loses memory on a repeated name whose first value
        // is an array: a peer could exhaust memory by repeating such packages.
        {2, R"({"a":[1],"a":"x"})", refusedJson},
        {2, R"({"a":1,"\u0061":2})", refusedJson},
        {2, R"([{"k":{"x":1,"y":{"z":[],"z":0}}}])", refusedJson},
        {2, R"({"a":{"a":1},"b":"a,\"a\":","c":[{"a":1},{"a":2}]})",
            R"(json {"a":{"a":1},"b":"a,\"a\":","c":[{"a":1},{"a":2}]})"},
        {1, QByteArray(20, '\0'), "log cannot resolve file package, size: 20"},
        {1, fileBody("a", "x", 1, 7), "log cannot resolve file package proto 7"},
        // The path length points past the body.
        {1, fileBody("ab", "", 900), "log path resolves falied, len: 900 path: ab"},
        // Two UTF-8 bytes are one character: the lengths disagree.
        {1, fileBody("\xc3\xa9", "", 2), QString("log path resolves falied, len: 2 path: ") + QChar(0xe9)},
        {1, tampered, "log file package digest mismatch, path: a.txt"},
        {1, fileBody("a.txt", "content", 5), "file a.txt 1 636f6e74656e74"},
    };
    for (const Case& c : cases) {
        NetworkPackageParser parser;
        const QByteArray package = NetworkPackage::header(quint32(c.body.size()), c.type) + c.body;
        const QStringList events = describe(parser.feed(NetworkFrame::frames(package)).events);
        ASSERT_EQ(events.size(), 1) << c.body.toStdString();
        EXPECT_TRUE(events.first().startsWith(c.event)) << events.first().toStdString();
    }
}

TEST(NetParser, OversizedFrameIsRefusedOnBuild)
{
    EXPECT_TRUE(NetworkFrame(QByteArray(10241, 'x')).serialize().isEmpty());
    EXPECT_EQ(NetworkFrame(QByteArray(10240, 'x')).serialize().size(), 10242);
    NetworkFilePackage file("", QString("caf") + QChar(0xe9), false);
    EXPECT_TRUE(file.serialize().isEmpty());
}

TEST(NetFileStore, HostileTargetPathsAreRefused)
{
    const char* refused[] = {"", "/etc/profile", "../x", "a/../../x", "a/..", "..", "a\\b", "C:x", "dir/",
        "a/.", "tab\there", "caf\xc3\xa9"};
    for (const char* path : refused)
        EXPECT_FALSE(NetworkFileStore::isAcceptablePath(QString::fromUtf8(path))) << path;
    EXPECT_FALSE(NetworkFileStore::isAcceptablePath(QString::fromLatin1("a\0b", 3)));
    for (const char* path : {"a.txt", "sub/dir/b.bin", "./c", "x//y", "..hidden", "a..b"})
        EXPECT_TRUE(NetworkFileStore::isAcceptablePath(path)) << path;
}

TEST(NetFileStore, NeitherEscapesNorSymlinksLeaveTheFolder)
{
    QTemporaryDir root;
    QDir dir(root.path());
    ASSERT_TRUE(dir.mkdir("in") && dir.mkdir("outside"));
    ASSERT_TRUE(writeAll(root.path() + "/outside/profile", "safe\n"));
    ASSERT_TRUE(QFile::link(root.path() + "/outside", root.path() + "/in/dirlink"));
    ASSERT_TRUE(QFile::link(root.path() + "/outside/profile", root.path() + "/in/filelink"));

    NetworkFileStore store(root.path() + "/in");
    QString error;
    EXPECT_TRUE(store.store(package("../outside/new", "evil\n", false), &error).isEmpty());
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
