// Binary records and files of the data tree. Round trips of arbitrary records
// are the tree_binary fuzzer's job.
#include "DataManager.h"
#include "LogCapture.h"
#include "TestTree.h"

#include <QDataStream>
#include <QFile>
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
