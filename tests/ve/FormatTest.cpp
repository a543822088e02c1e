// The file forms of the data tree: XML, which config.xml and projects are
// written in, JSON and binary records. Round trips of arbitrary documents are
// the tree_xml, tree_json and tree_binary fuzzers' job.
#include "DataManager.h"
#include "LogCapture.h"
#include "TestFiles.h"
#include "TestTree.h"

#include <QDataStream>
#include <QJsonArray>
#include <QJsonObject>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <QSizeF>
#include <QTemporaryDir>
#include <QTextCodec>

#include <gtest/gtest.h>

using ve::DataObject;

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
        xmlDoc("<m>"
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

TEST(XmlImport, WarningsCarryLineAndColumnAndSkipOnlyTheirElement)
{
    TestTree t;
    LogCapture log;
    t.root()->importFromXmlStr(nullptr,
        xmlDoc("<m>\n"
               "  <c type=\"2\" value=\"1\"><c name=\"inner\" value=\"1\"/></c>\n"
               "  <c name=\"size\" type=\"21\" value=\"abc\"/>\n"
               "  <odd value=\"o\"/>\n"
               "  <c name=\"after\" value=\"ok\"/>\n"
               "</m>"),
        true, true, true);
    EXPECT_TRUE(log.contains("<m><QObject(0x0)> no name specified in xml: (2, 24)"))
        << log.all().join('\n').toStdString();
    EXPECT_TRUE(t.root()->rdobj("inner")->isEmpty());
    EXPECT_TRUE(log.contains("<m><QObject(0x0)> cannot convert in xml: (3, 40)"));
    EXPECT_EQ(t.root()->rdobj("size")->get().userType(), QMetaType::QSize);
    EXPECT_TRUE(log.contains("<m><QObject(0x0)> non-standard xml element: \"odd\""));
    EXPECT_EQ(t.root()->cdobjNames(true), (QStringList {"size", "after"}));
    EXPECT_EQ(t.root()->rdobj("after")->getString(), "ok");
}

TEST(JsonFiles, LocalCodePageAndBrokenFiles)
{
    QTemporaryDir dir;
    LogCapture log;
    EXPECT_TRUE(ve::DataManager::readFromJson(dir.filePath("missing.json")).isNull());
    // Files saved by older tools in the local code page still read.
    const QString text = QStringLiteral("调试器");
    ASSERT_TRUE(writeAll(dir.filePath("gbk.json"),
        "{\"title\": \"" + QTextCodec::codecForName("GBK")->fromUnicode(text) + "\"}"));
    EXPECT_EQ(
        ve::DataManager::readFromJson(dir.filePath("gbk.json")).toObject().value("title").toString(), text);

    ASSERT_TRUE(writeAll(dir.filePath("bad.json"), "{\"a\": "));
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
