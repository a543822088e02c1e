// Broken and hostile input to every import of the data tree: files are edited
// by hand, copied and mailed around, and are read before the window appears.
#include "DataManager.h"
#include "LogCapture.h"
#include "TestFiles.h"
#include "TestTree.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using ve::DataObject;

namespace {

// Depth of a chain of single children, walked without recursion.
int depth(DataObject* node)
{
    int levels = 0;
    for (; node->size() > 0; node = node->c(0))
        ++levels;
    return levels;
}

// A binary record: tag 0 (no value), the given names, one record each.
QByteArray binRecord(const QStringList& names, const QList<QByteArray>& children)
{
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out << qint8(0) << names;
    for (const QByteArray& child : children)
        out << child;
    return data;
}

QByteArray binLeaf()
{
    return binRecord({}, {});
}

// A record nested `levels` deep, each level a single child "a"; built from
// the inside out without copying the growing record per level.
QByteArray deepBinRecord(int levels)
{
    const QByteArray leaf = binLeaf();
    QByteArray head;
    QDataStream out(&head, QIODevice::WriteOnly);
    const int prefix = 1 + 4 + (4 + 2) + 4; // tag, count, name "a", length of the child
    for (int i = 0; i < levels; ++i)
        out << qint8(0) << QStringList {"a"} << quint32(leaf.size() + (levels - 1 - i) * prefix);
    return head + leaf;
}

QString deepXml(int levels)
{
    return xmlDoc(QStringLiteral("<m>") + QStringLiteral("<c name=\"a\">").repeated(levels)
        + QStringLiteral("</c>").repeated(levels) + QStringLiteral("</m>"));
}

} // namespace

TEST(HostileImport, PositionsFarPastTheEndAreSkippedInEveryForm)
{
    // Each form holds "#2000000000" at the top, a list with "#0" and "#5",
    // and "ok": only the next position of a list may be created.
    using Import = std::function<void(DataObject*)>;
    const QList<QPair<const char*, Import>> forms {
        {"xml",
            [](DataObject* n) {
                n->importFromXmlStr(nullptr,
                    xmlDoc("<m><c name=\"#2000000000\" value=\"x\"/><c name=\"list\"><c name=\"#0\"/>"
                           "<c name=\"#5\"/></c><c name=\"ok\" value=\"1\"/></m>"),
                    true, true, true);
            }},
        {"json",
            [](DataObject* n) {
                n->importFromJson(nullptr,
                    QJsonDocument::fromJson(R"({"#2000000000": 1, "list": {"#0": 1, "#5": 1}, "ok": 1,
                                                "x.#7.y": 1})")
                        .object());
            }},
        {"variant",
            [](DataObject* n) {
                n->importFromVariant(nullptr,
                    QVariantMap {
                        {"#2000000000", 1}, {"list", QVariantMap {{"#0", 1}, {"#5", 1}}}, {"ok", 1}});
            }},
        {"binary",
            [](DataObject* n) {
                n->importFromBin(nullptr,
                    binRecord({"#2000000000", "list", "ok"},
                        {binLeaf(), binRecord({"#0", "#5"}, {binLeaf(), binLeaf()}), binLeaf()}));
            }},
    };
    for (const auto& form : forms) {
        TestTree t;
        LogCapture log;
        form.second(t.root());
        EXPECT_EQ(t.root()->size(), 2)
            << form.first << ": " << t.root()->cdobjNames(true).join(' ').toStdString();
        EXPECT_FALSE(t.root()->rdobj("ok")->isEmpty()) << form.first;
        EXPECT_EQ(t.root()->rdobj("list")->size(), 1) << form.first;
        EXPECT_TRUE(log.contains("position beyond the end")) << form.first;
    }
}

TEST(HostileImport, DeepNestingIsCutAndDeepTreesAreDestroyed)
{
    const int hostile = 200000; // far deeper than any stack would take recursively
    {
        TestTree t;
        LogCapture log;
        t.root()->importFromXmlStr(nullptr, deepXml(hostile), true, true, true);
        EXPECT_LE(depth(t.root()), 64);
        EXPECT_GE(depth(t.root()), 60);
        EXPECT_TRUE(log.contains("nested too deep"));
        EXPECT_FALSE(t.root()->exportToXmlStr(0, false).isEmpty());
    }
    {
        TestTree t;
        LogCapture log;
        t.root()->importFromBin(nullptr, deepBinRecord(hostile));
        EXPECT_LE(depth(t.root()), 64);
        EXPECT_TRUE(log.contains("nested too deep"));
        EXPECT_FALSE(t.root()->exportToBin(false).isEmpty());
    }
    {
        // A JSON key is a path: its parts count towards the depth.
        TestTree t;
        LogCapture log;
        QJsonObject object;
        object.insert(QStringLiteral("a.").repeated(hostile) + QStringLiteral("a"), 1);
        object.insert(QStringLiteral("ok.b"), 2);
        t.root()->importFromJson(nullptr, object);
        EXPECT_LE(depth(t.root()), 64);
        EXPECT_EQ(t.root()->rdobj("ok.b")->getInt(), 2);
        EXPECT_TRUE(log.contains("nested too deep"));
    }
    // A deep tree built in code is destroyed without recursion.
    auto* root = new DataObject(QStringLiteral("deep"));
    DataObject* node = root;
    for (int i = 0; i < hostile; ++i)
        node = node->append(nullptr, QStringLiteral("a"));
    delete root;
}

TEST(HostileImport, MalformedXmlIsReportedAndTheOriginalKept)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("config.xml");
    const QByteArray original
        = "<?xml version=\"1.0\"?>\n<m>\n    <c name=\"first\" value=\"1\"/>\n"
          "    <c name=\"owner\" value=\"R&D bench\"/>\n    <c name=\"after\" value=\"2\"/>\n</m>\n";
    ASSERT_TRUE(writeAll(path, original));
    TestTree t;
    LogCapture log;
    EXPECT_FALSE(ve::DataManager::readFromXmlFile(nullptr, t.root(), path));
    EXPECT_EQ(t.root()->rdobj("first")->getString(), "1");
    EXPECT_TRUE(log.contains("[W|"));
    EXPECT_TRUE(log.contains(": (4, ")) << log.all().join('\n').toStdString();
    EXPECT_EQ(readAll(path + ".bak"), original);

    // The same file again adds no copy; another broken one keeps both.
    ve::DataManager::readFromXmlFile(nullptr, t.root(), path);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
    ASSERT_TRUE(writeAll(path, "<m><c name=\"x\"></m>"));
    EXPECT_FALSE(ve::DataManager::readFromXmlFile(nullptr, t.root(), path));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3);
    EXPECT_EQ(readAll(path + ".bak"), original);

    // A complete file is read without either.
    TestTree good;
    good.root()->set(nullptr, "x", 1, true);
    ASSERT_TRUE(ve::DataManager::writeToXmlFile(dir.filePath("good.xml"), good.root(), true, false));
    EXPECT_TRUE(ve::DataManager::readFromXmlFile(nullptr, t.root(), dir.filePath("good.xml")));
    EXPECT_FALSE(QFile::exists(dir.filePath("good.xml.bak")));
}

TEST(HostileImport, DottedNamesAndNamesThatAreNoPositionAreRefused)
{
    // A single name from a file never becomes a nested path, and "#" with
    // anything but digits is no position: either would change the tree's
    // shape from save to save.
    TestTree t;
    LogCapture log;
    t.root()->importFromJson(nullptr, QJsonDocument::fromJson(R"({"#+1.a": 3, "#x": 4, "ok": 1})").object());
    t.root()->importFromXmlStr(nullptr,
        xmlDoc("<m><c name=\"# 1\" value=\"1\"/><c name=\"a.b\" value=\"1\"/></m>"), true, true, true);
    t.root()->importFromBin(nullptr, binRecord({"#-0", "c.d"}, {binLeaf(), binLeaf()}));
    EXPECT_EQ(t.root()->cdobjNames(true), QStringList {"ok"});
    for (const char* name : {"#+1.a", "# 1", "a.b", "#-0", "c.d"})
        EXPECT_TRUE(log.contains(QStringLiteral("invalid name in import: \"%1\"").arg(name))) << name;
}

namespace {

struct PlainPair
{
    qint32 a;
    qint32 b;
};

QByteArray typedRecord(const QString& typeName, int id, const QByteArray& bytes)
{
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out << qint8(2) << typeName << qint32(id) << bytes << QStringList();
    return data;
}

// Tag 1 with a hand-written QVariant body.
QByteArray valueRecord(const QByteArray& variantBody)
{
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out << qint8(1);
    out.writeRawData(variantBody.constData(), variantBody.size());
    out << QStringList();
    return data;
}

} // namespace

Q_DECLARE_METATYPE(PlainPair)

TEST(HostileImport, BinaryRecordsCannotPlantObjectsPointersOrHugeCounts)
{
    TestTree t;
    DataObject* n = t.make("n");
    DataObject* copy = t.make("copy");
    LogCapture log;

    // Raw bytes as a built-in class or as a pointer are refused.
    n->importFromBin(nullptr, typedRecord("QString", QMetaType::QString, QByteArray(sizeof(QString), 'A')));
    EXPECT_TRUE(n->get().isNull());
    const int pointerType = qMetaTypeId<ve::DataObject*>();
    n->importFromBin(nullptr,
        typedRecord(QMetaType::typeName(pointerType), pointerType, QByteArray(sizeof(void*), '\x41')));
    EXPECT_TRUE(n->get().isNull());
    // ... and a pointer held in the tree is never written.
    n->set(nullptr, QVariant::fromValue(n));
    EXPECT_EQ(n->exportToBin(false).at(0), 0);
    // Counts that the remaining bytes cannot hold are refused at once.
    QByteArray names;
    QDataStream(&names, QIODevice::WriteOnly) << qint8(0) << quint32(0x7fffffff);
    n->importFromBin(nullptr, names + QByteArray(16, '\0'));
    EXPECT_EQ(n->size(), 0);
    QByteArray list;
    QDataStream(&list, QIODevice::WriteOnly)
        << quint32(QMetaType::QVariantList) << qint8(0) << quint32(0x7fffffff);
    n->importFromBin(nullptr, valueRecord(list));
    EXPECT_TRUE(n->get().isNull());
    QByteArray strings;
    QDataStream(&strings, QIODevice::WriteOnly)
        << quint32(QMetaType::QStringList) << qint8(0) << quint32(0x7fffffff);
    n->importFromBin(nullptr, valueRecord(strings));
    EXPECT_TRUE(n->get().isNull());

    // A value nested deeper than any tree needs is refused, not recursed into.
    QByteArray nested;
    QDataStream deep(&nested, QIODevice::WriteOnly);
    for (int i = 0; i < 100000; ++i)
        deep << quint32(QMetaType::QVariantList) << qint8(0) << quint32(1);
    deep << quint32(QMetaType::Int) << qint8(0) << qint32(1);
    n->importFromBin(nullptr, valueRecord(nested));
    EXPECT_TRUE(n->get().isNull());

    // Values the tree does hold still read back: lists and maps, and raw
    // bytes of a registered plain type, if the id matches the name.
    const QVariant ordinary = QVariantMap {{"l", QVariantList {1, "two", QStringList {"3"}}}, {"d", 2.5}};
    n->set(nullptr, ordinary);
    copy->importFromBin(nullptr, n->exportToBin(false));
    EXPECT_EQ(copy->get(), ordinary);
    const int plainType = qRegisterMetaType<PlainPair>("PlainPair");
    n->set(nullptr, QVariant::fromValue(PlainPair {7, -8}));
    copy->importFromBin(nullptr, n->exportToBin(false));
    ASSERT_EQ(copy->get().userType(), plainType);
    EXPECT_EQ(copy->get().value<PlainPair>().b, -8);
    copy->importFromBin(nullptr, typedRecord("PlainPair", plainType + 1, QByteArray(8, '\0')));
    EXPECT_TRUE(copy->get().isNull());
}
