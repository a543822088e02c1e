// The file forms of the data tree: XML, which config.xml and projects are
// written in, JSON and binary records. Round trips of arbitrary documents are
// the tree_xml, tree_json and tree_binary fuzzers' job.
#include "DataManager.h"
#include "LogCapture.h"
#include "TestTree.h"

#include <QDataStream>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointF>
#include <QRect>
#include <QSignalSpy>
#include <QSize>
#include <QSizeF>
#include <QTemporaryDir>
#include <QTextCodec>

#include <gtest/gtest.h>

using ve::DataObject;

namespace {

QString doc(const char* body)
{
    return QStringLiteral("<?xml version=\"1.0\"?>") + body;
}

QJsonValue json(const char* text)
{
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray(text));
    return doc.isObject() ? QJsonValue(doc.object()) : QJsonValue(doc.array());
}

void writeAll(const QString& path, const QByteArray& data)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

struct PlainPair
{
    qint32 a;
    qint32 b;
};

} // namespace

Q_DECLARE_METATYPE(PlainPair)

TEST(XmlExport, ElementsAttributesAndValueTexts)
{
    // Edited by hand and read by older builds: the exact form is kept.
    TestTree t;
    DataObject* r = t.root();
    r->set(nullptr, "flag", true, true);
    r->set(nullptr, "size", QSize(640, 480), true);
    r->set(nullptr, "point", QPointF(1.5, -0.25), true);
    r->set(nullptr, "rect", QRect(1, 2, 3, 4), true);
    r->setList(nullptr, "split", {200.0, 400.5}, true);
    r->set(nullptr, "_hidden", 1, true);
    r->set(nullptr, "empty", QVariant(), true);
    EXPECT_EQ(r->exportToXmlStr(0, true),
        doc("<m>"
            "<c name=\"flag\" type=\"1\" value=\"true\"/>"
            "<c name=\"size\" type=\"21\" value=\"640,480\"/>"
            "<c name=\"point\" type=\"26\" value=\"1.5,-0.25\"/>"
            "<c name=\"rect\" type=\"19\"/>"
            "<c name=\"split\"><l type=\"6\" value=\"200\"/><l type=\"6\" value=\"400.5\"/></c>"
            "<c name=\"empty\"/>"
            "</m>\n"));
    EXPECT_TRUE(r->exportToXmlStr(0, false).contains("<c name=\"_hidden\" type=\"2\" value=\"1\"/>"));
    EXPECT_TRUE(r->exportToXmlStr(4, true).contains("\n    <c name=\"flag\""));
}

TEST(XmlImport, RoundTripKeepsTypesDigitsAndExistingNodes)
{
    TestTree src;
    DataObject* s = src.root();
    s->set(nullptr, "flag", true, true);
    s->set(nullptr, "count", 7, true);
    s->set(nullptr, "size", QSize(640, 480), true);
    s->set(nullptr, "point", QPoint(-3, 4), true);
    // Every digit: a splitter or a scale that creeps on every save is a fault.
    s->set(nullptr, "sizef", QSizeF(0.1 + 0.2, 1.0 / 3), true);
    s->set(nullptr, "pointf", QPointF(123456789.123456789, -2.5e-9), true);
    // Control characters the reader would stop at are dropped on export.
    s->set(nullptr, "text",
        QStringLiteral("a") + QChar(1) + QChar(0x1f) + QStringLiteral("b\tc\nd\re<&>\"") + QChar(0xfffe)
            + QChar(0xd800) + QStringLiteral("中"),
        true);
    s->setList(nullptr, "split", {200.0, 400.0, 200.0}, true);

    TestTree dst;
    DataObject* d = dst.root();
    d->set(nullptr, "flag", false, true);
    d->set(nullptr, "kept", 5, true);
    d->setList(nullptr, "split", {1.0}, true);
    LogCapture log;
    d->importFromXmlStr(nullptr, s->exportToXmlStr(4, false), true, true, true);
    EXPECT_EQ(log.count(), 0) << log.all().join('\n').toStdString();
    for (const char* path : {"flag", "count", "size", "point", "sizef", "pointf"}) {
        EXPECT_EQ(d->rdobj(path)->get().userType(), s->rdobj(path)->get().userType()) << path;
        EXPECT_EQ(d->rdobj(path)->get(), s->rdobj(path)->get()) << path;
    }
    EXPECT_EQ(d->rdobj("text")->getString(), QStringLiteral("ab\tc\nd\re<&>\"中"));
    EXPECT_EQ(d->rdobj("kept")->getInt(), 5);
    EXPECT_EQ(d->rdobj("split")->getList(), (QList<QVariant> {200.0, 400.0, 200.0}));
}

TEST(XmlImport, FlagsAddOverwriteStrict)
{
    const QString xml = doc("<m><c name=\"a\" type=\"6\" value=\"2\"/><c name=\"b\" value=\"x\"/>"
                            "<odd value=\"o\"/></m>");
    {
        TestTree t;
        t.root()->set(nullptr, "a", 1.0, true);
        LogCapture log;
        t.root()->importFromXmlStr(nullptr, xml, false, true, true);
        EXPECT_EQ(t.root()->cdobjNames(true), QStringList {"a"});
        EXPECT_EQ(t.root()->rdobj("a")->getDouble(), 2.0);
        EXPECT_TRUE(log.contains("<m><QObject(0x0)> importing xml element not exist: \"b\""));
        EXPECT_TRUE(log.contains("<m><QObject(0x0)> non-standard xml element: \"odd\""));
    }
    {
        TestTree t;
        t.root()->set(nullptr, "a", 1.0, true);
        QSignalSpy spy(t.root()->rdobj("a"), &DataObject::changed);
        t.root()->importFromXmlStr(nullptr, xml, true, false, false);
        EXPECT_EQ(t.root()->rdobj("a")->getDouble(), 1.0);
        EXPECT_EQ(spy.size(), 0);
        EXPECT_EQ(t.root()->cdobjNames(true), (QStringList {"a", "b", "odd"}));
        EXPECT_TRUE(t.root()->rdobj("b")->get().isNull());
    }
}

TEST(XmlImport, WarningsCarryLineAndColumnAndSkipContent)
{
    TestTree t;
    LogCapture log;
    t.root()->importFromXmlStr(nullptr,
        doc("<m>\n"
            "  <c type=\"2\" value=\"1\"><c name=\"inner\" value=\"1\"/></c>\n"
            "  <c name=\"size\" type=\"21\" value=\"abc\"/>\n"
            "  <c name=\"after\" value=\"ok\"/>\n"
            "</m>"),
        true, true, true);
    EXPECT_TRUE(log.contains("<m><QObject(0x0)> no name specified in xml: (2, 24)"))
        << log.all().join('\n').toStdString();
    EXPECT_TRUE(t.root()->rdobj("inner")->isEmpty());
    EXPECT_TRUE(log.contains("<m><QObject(0x0)> cannot convert in xml: (3, 40)"));
    EXPECT_EQ(t.root()->rdobj("size")->get().userType(), QMetaType::QSize);
    EXPECT_EQ(t.root()->rdobj("after")->getString(), "ok");
}

TEST(JsonImport, AddOverwriteAndRemoveExtraFlags)
{
    // A project merged into the tree must neither create, change nor drop
    // what its flags forbid.
    struct Case
    {
        bool add, overwrite, removeExtra;
        const char* expected;
    };
    const Case cases[] {
        {true, true, false, R"({"a": {"x": 10, "y": 2, "z": 30}, "list": [7, 2, 3], "b": "new"})"},
        {false, true, false, R"({"a": {"x": 10, "y": 2}, "list": [7, 2, 3]})"},
        {true, false, false, R"({"a": {"x": 1, "y": 2, "z": null}, "list": [1, 2, 3], "b": null})"},
        {true, true, true, R"({"a": {"x": 10, "z": 30}, "list": [7], "b": "new"})"},
        {false, true, true, R"({"a": {"x": 10}, "list": [7]})"},
    };
    for (const Case& c : cases) {
        TestTree t;
        t.root()->importFromJson(nullptr, json(R"({"a": {"x": 1, "y": 2}, "list": [1, 2, 3]})"));
        t.root()->set(nullptr, "b.deep", 1, c.add && c.removeExtra); // a scalar replaces its children
        QSignalSpy leafSpy(t.root()->rdobj("a.x"), &DataObject::changed);
        t.root()->importFromJson(nullptr, json(R"({"a": {"x": 10, "z": 30}, "list": [7], "b": "new"})"),
            c.add, c.overwrite, c.removeExtra);
        EXPECT_EQ(t.root()->exportToJson(false), json(c.expected)) << c.add << c.overwrite << c.removeExtra;
        EXPECT_EQ(leafSpy.size(), c.overwrite ? 1 : 0);
    }
}

TEST(JsonFiles, WritesReadsAndReportsEveryFailure)
{
    QTemporaryDir dir;
    LogCapture log;
    const QString path = dir.filePath("sub/deeper/data.json");
    const QJsonValue value = json(R"({"k": [1, 2], "s": "中文"})");
    ASSERT_TRUE(ve::DataManager::writeToJson(path, value, true));
    EXPECT_EQ(ve::DataManager::readFromJson(path), value);
    EXPECT_FALSE(ve::DataManager::writeToJson(dir.filePath("str.json"), QJsonValue("text"), true));
    EXPECT_FALSE(ve::DataManager::writeToJson(path + "/x.json", value, true));
    EXPECT_TRUE(ve::DataManager::readFromJson(dir.filePath("missing.json")).isNull());

    // Files saved by older tools in the local code page still read.
    const QString text = QStringLiteral("调试器");
    writeAll(dir.filePath("gbk.json"),
        "{\"title\": \"" + QTextCodec::codecForName("GBK")->fromUnicode(text) + "\"}");
    EXPECT_EQ(
        ve::DataManager::readFromJson(dir.filePath("gbk.json")).toObject().value("title").toString(), text);

    writeAll(dir.filePath("bad.json"), "{\"a\": ");
    EXPECT_EQ(ve::DataManager::readFromJson(dir.filePath("bad.json")), QJsonValue(QJsonArray()));
    EXPECT_TRUE(log.contains(
        "<m><static> read invalid json from: \"" + dir.filePath("bad.json") + "\", parse error: \""));
}

TEST(BinaryRecord, ByteExactLeafAndContainers)
{
    // Saved files and peers hold this form.
    TestTree t;
    DataObject* leaf = t.make("leaf");
    leaf->set(nullptr, 5);
    // tag 1, QVariant(int: type 2, not null, 5), no children
    EXPECT_EQ(leaf->exportToBin(false).toHex(),
        QByteArray("01"
                   "00000002"
                   "00"
                   "00000005"
                   "00000000"));

    // Containers in Qt's own form, except a hash in key order, so that the
    // same tree gives the same bytes on every save.
    const QVariantList nested {1, QVariantMap {{"b", 2.5}, {"a", QVariantList {"x", QVariant()}}}, QString()};
    leaf->set(nullptr, nested);
    QByteArray qtForm;
    QDataStream(&qtForm, QIODevice::WriteOnly) << qint8(1) << QVariant(nested) << QStringList();
    EXPECT_EQ(leaf->exportToBin(false), qtForm);
    QVariantHash hash;
    for (int i = 0; i < 200; ++i)
        hash.insert(QString::number(i), i);
    leaf->set(nullptr, hash);
    const QByteArray first = leaf->exportToBin(false);
    DataObject* copy = t.make("copy");
    copy->importFromBin(nullptr, first);
    EXPECT_EQ(copy->get(), QVariant(hash));
    EXPECT_EQ(copy->exportToBin(false), first);
}

TEST(BinaryRecord, RegisteredPlainTypesAndDamagedRecords)
{
    // Plain runtime types stay readable although other raw types are refused.
    qRegisterMetaType<PlainPair>("PlainPair");
    TestTree t;
    DataObject* s = t.make("s");
    s->set(nullptr, QVariant::fromValue(PlainPair {7, -8}));
    DataObject* d = t.make("d");
    d->importFromBin(nullptr, s->exportToBin(false));
    ASSERT_EQ(d->get().userType(), qMetaTypeId<PlainPair>());
    EXPECT_EQ(d->get().value<PlainPair>().b, -8);

    // A record naming a type with another id is refused with a warning.
    QByteArray forged;
    QDataStream(&forged, QIODevice::WriteOnly)
        << qint8(2) << QStringLiteral("PlainPair") << qint32(qMetaTypeId<PlainPair>() + 1)
        << QByteArray(8, '\0') << QStringList();
    LogCapture log;
    d->importFromBin(nullptr, forged);
    EXPECT_TRUE(d->get().isNull());
    EXPECT_TRUE(log.contains("<m> import invalid variant: ")) << log.all().join('\n').toStdString();

    // A record cut short keeps what came before the cut.
    TestTree u;
    u.root()->set(nullptr, "a", 1, true);
    u.root()->set(nullptr, "b", 2, true);
    const QByteArray whole = u.root()->exportToBin(false);
    DataObject* cut = t.make("cut");
    cut->importFromBin(nullptr, whole.left(whole.size() - 4));
    EXPECT_EQ(cut->rdobj("a")->getInt(), 1);
    EXPECT_TRUE(cut->rdobj("b")->get().isNull());
}

TEST(BinaryFiles, CompressedFileAndFailures)
{
    QTemporaryDir dir;
    const QByteArray data = QByteArray("record").repeated(100);
    const QString path = dir.filePath("a/b/tree.bin");
    ASSERT_TRUE(ve::DataManager::writeToBin(path, data, 9, true));
    EXPECT_EQ(ve::DataManager::readFromBin(path), data);
    QFile plain(dir.filePath("plain.bin"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.write("not compressed at all");
    plain.close();
    EXPECT_TRUE(ve::DataManager::readFromBin(plain.fileName()).isEmpty());
    EXPECT_TRUE(ve::DataManager::readFromBin(dir.filePath("missing.bin")).isEmpty());
    EXPECT_FALSE(ve::DataManager::writeToBin(path + "/x.bin", data, -1, true));
}
