// Binary records and files of the data tree.
#include "DataManager.h"
#include "LogCapture.h"
#include "TestTree.h"

#include <QDataStream>
#include <QFile>
#include <QSize>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using ve::DataObject;

namespace {

struct PlainPair
{
    qint32 a;
    qint32 b;
};

} // namespace

Q_DECLARE_METATYPE(PlainPair)

TEST(BinaryRecord, ByteExactLeafAndPointerTag)
{
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
    leaf->set(nullptr, QVariant());
    EXPECT_EQ(leaf->exportToBin(false).toHex(),
        QByteArray("00"
                   "00000000"));
    leaf->set(nullptr, QVariant::fromValue(static_cast<QObject*>(leaf)));
    EXPECT_EQ(leaf->exportToBin(false).toHex(),
        QByteArray("00"
                   "00000000"));
    leaf->set(nullptr, QVariant::fromValue(static_cast<void*>(leaf)));
    EXPECT_EQ(leaf->exportToBin(false).at(0), 0);

    // Children: count, relative names as positions, then one record each.
    DataObject* list = t.make("list");
    list->append(nullptr, "");
    QDataStream in(list->exportToBin(false));
    qint8 tag = -1;
    QStringList names;
    QByteArray child;
    in >> tag >> names >> child;
    EXPECT_EQ(tag, 0);
    EXPECT_EQ(names, QStringList {"#0"});
    EXPECT_EQ(child.toHex(),
        QByteArray("00"
                   "00000000"));
    EXPECT_TRUE(in.atEnd());
}

TEST(BinaryRecord, RoundTripWithAndWithoutHiddenNames)
{
    TestTree t;
    DataObject* s = t.make("src");
    s->set(nullptr, "size", QSize(3, 4), true);
    s->set(nullptr, "text", QStringLiteral("中文"), true);
    s->setList(nullptr, "list", {1.5, 2.5}, true);
    s->set(nullptr, "_hidden.x", 1, true);
    s->set(nullptr, 42);

    DataObject* full = t.make("full");
    full->importFromBin(nullptr, s->exportToBin(false));
    EXPECT_EQ(full->exportToVariant(false), s->exportToVariant(false));
    EXPECT_EQ(full->get(), QVariant(42));
    EXPECT_EQ(full->rdobj("size")->get(), QVariant(QSize(3, 4)));

    DataObject* visible = t.make("visible");
    visible->set(nullptr, "_hidden.y", 2, true);
    visible->set(nullptr, "other", 2, true);
    visible->importFromBin(nullptr, s->exportToBin(true), true, true, false);
    EXPECT_EQ(visible->rdobj("_hidden.y")->getInt(), 2);
    EXPECT_TRUE(visible->rdobj("_hidden.x")->isEmpty());
    EXPECT_EQ(visible->rdobj("list")->getList(), (QList<QVariant> {1.5, 2.5}));
    // With removeExtra the target's hidden children go too.
    visible->importFromBin(nullptr, s->exportToBin(true), true, true, true);
    EXPECT_TRUE(visible->rdobj("_hidden")->isEmpty());
    EXPECT_TRUE(visible->rdobj("other")->isEmpty());

    // Without add nothing is created; without overwrite no value changes.
    DataObject* partial = t.make("partial");
    partial->set(nullptr, "size", QSize(1, 1), true);
    partial->importFromBin(nullptr, s->exportToBin(false), false, false, false);
    EXPECT_EQ(partial->cdobjNames(true), QStringList {"size"});
    EXPECT_EQ(partial->rdobj("size")->get(), QVariant(QSize(1, 1)));
}

TEST(BinaryRecord, RuntimeTypesAndDamagedRecords)
{
    qRegisterMetaType<PlainPair>("PlainPair");
    TestTree t;
    DataObject* s = t.make("s");
    s->set(nullptr, QVariant::fromValue(PlainPair {7, -8}));
    const QByteArray record = s->exportToBin(false);
    EXPECT_EQ(record.at(0), 2);
    DataObject* d = t.make("d");
    d->importFromBin(nullptr, record);
    ASSERT_EQ(d->get().userType(), qMetaTypeId<PlainPair>());
    EXPECT_EQ(d->get().value<PlainPair>().a, 7);
    EXPECT_EQ(d->get().value<PlainPair>().b, -8);

    // A record naming a type with another id is refused with a warning.
    QByteArray forged;
    QDataStream out(&forged, QIODevice::WriteOnly);
    out << qint8(2) << QStringLiteral("PlainPair") << qint32(qMetaTypeId<PlainPair>() + 1)
        << QByteArray(8, '\0') << QStringList();
    LogCapture log;
    d->importFromBin(nullptr, forged);
    EXPECT_TRUE(d->get().isNull());
    EXPECT_TRUE(log.contains("<m> import invalid variant: ")) << log.all().join('\n').toStdString();
    EXPECT_TRUE(log.contains("\" and id = "));

    // A record cut short leaves the rest without data.
    TestTree u;
    u.root()->set(nullptr, "a", 1, true);
    u.root()->set(nullptr, "b", 2, true);
    const QByteArray whole = u.root()->exportToBin(false);
    DataObject* cut = t.make("cut");
    cut->importFromBin(nullptr, whole.left(whole.size() - 4));
    EXPECT_EQ(cut->rdobj("a")->getInt(), 1);
    EXPECT_FALSE(cut->rdobj("b")->isEmpty());
    EXPECT_TRUE(cut->rdobj("b")->get().isNull());
    cut->importFromBin(nullptr, QByteArray("\x01\xff", 2));
    EXPECT_TRUE(cut->get().isNull());
}

TEST(BinaryFiles, CompressedFileRoundTripAndFailures)
{
    QTemporaryDir dir;
    LogCapture log;
    const QByteArray data = QByteArray("record").repeated(100);
    const QString path = dir.filePath("a/b/tree.bin");
    ASSERT_TRUE(ve::DataManager::writeToBin(path, data, 9, true));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), qCompress(data, 9));
    file.close();
    EXPECT_EQ(ve::DataManager::readFromBin(path), data);

    QFile plain(dir.filePath("plain.bin"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.write("not compressed at all");
    plain.close();
    EXPECT_TRUE(ve::DataManager::readFromBin(plain.fileName()).isEmpty());

    EXPECT_TRUE(ve::DataManager::readFromBin(dir.filePath("missing.bin")).isEmpty());
    EXPECT_TRUE(log.contains("<m><static> cannot read binary file: \"" + dir.filePath("missing.bin") + "\""));
    EXPECT_FALSE(ve::DataManager::writeToBin(dir.filePath("none/x.bin"), data, -1, false));
    EXPECT_TRUE(log.contains("<m><static> cannot write binary file: \"" + dir.filePath("none/x.bin") + "\""));
    EXPECT_FALSE(ve::DataManager::writeToBin(path + "/x.bin", data, -1, true));
    EXPECT_TRUE(log.contains("<m><static> cannot create path \"" + path + "/x.bin\" to write binary file"));
}
