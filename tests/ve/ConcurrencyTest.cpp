// Two threads changing and listing the children of the same node.
#include "DataManager.h"
#include "TestTree.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using ve::DataObject;

constexpr int kRounds = 400;

TEST(DataTreeConcurrency, InsertRemoveAndListTheSameNode)
{
    TestTree t;
    DataObject* node = t.make("shared");
    std::atomic<int> addedSignals {0};
    QObject::connect(
        node, &DataObject::added, node, [&](const QString&, QObject*) { ++addedSignals; },
        Qt::DirectConnection);
    // Queued to this thread: needs the DataObject* meta type.
    QObject receiver;
    int inserted = 0;
    QObject::connect(
        node, &DataObject::gonnaInsert, &receiver,
        [&inserted](DataObject* target, DataObject*, QObject*) { inserted += target ? 1 : 0; },
        Qt::QueuedConnection);

    auto writer = [node](const QString& prefix) {
        for (int i = 0; i < kRounds; ++i) {
            const QString name = prefix + QString::number(i);
            node->append(nullptr, name);
            // A list element with a generated id; each thread removes only
            // its own nodes, since a pointer the other thread deletes is gone.
            DataObject* element = node->append(nullptr, QString());
            node->rdobj(name)->set(nullptr, i);
            if (i % 3 == 0)
                node->remove(nullptr, name, true);
            if (i % 5 == 0)
                node->remove(nullptr, element, true);
        }
    };
    std::atomic<bool> stop {false};
    std::atomic<int> listed {0};
    auto lister = [&]() {
        do {
            const QStringList names = node->cdobjNames(false);
            node->cdobj(names.size() / 2);
            node->last();
            node->hasCdobj("a1");
            ++listed;
        } while (!stop);
    };
    // std::thread: ThreadSanitizer sees its join, not QThread::wait. The
    // writers start once the lister runs, so the three overlap.
    std::thread c(lister);
    while (listed == 0)
        std::this_thread::yield();
    std::thread a(writer, QStringLiteral("a"));
    std::thread b(writer, QStringLiteral("b"));
    a.join();
    b.join();
    stop = true;
    c.join();

    // Both writers' changes are all there, and the chain and index agree.
    const QList<DataObject*> children = node->cdobjs();
    EXPECT_EQ(children.size(), 2 * (kRounds - (kRounds + 2) / 3) + 2 * (kRounds - (kRounds + 4) / 5));
    EXPECT_EQ(node->size(), children.size());
    for (int i = 0; i < children.size(); ++i) {
        EXPECT_EQ(children.at(i)->indexInPdobj(), i);
        EXPECT_EQ(node->cdobj(children.at(i)->name(), true), children.at(i));
    }
    EXPECT_EQ(addedSignals.load(), 4 * kRounds);
    QCoreApplication::processEvents();
    EXPECT_EQ(inserted, 4 * kRounds);
}

TEST(DataTreeConcurrency, SameNameFromTwoThreadsIsInsertedOnce)
{
    TestTree t;
    DataObject* node = t.make("race");
    std::atomic<int> wins {0};
    auto inserter = [&]() {
        for (int i = 0; i < 100; ++i) {
            auto* child = new DataObject(QStringLiteral("n%1").arg(i));
            if (node->insert(nullptr, child, false, -1))
                ++wins;
            else
                delete child;
        }
    };
    std::thread a(inserter);
    std::thread b(inserter);
    a.join();
    b.join();
    EXPECT_EQ(wins.load(), 100);
    EXPECT_EQ(node->cdobjs().size(), 100);
}
