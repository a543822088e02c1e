#include "StateManager.h"
#include "StateWatcher.h"

#include <gtest/gtest.h>

#include <QPointer>
#include <QSignalSpy>

#include <memory>

using ve::StateObject;

namespace {

ve::StateManager* sm()
{
    return ve::state();
}

TEST(StateTest, RingsChainsAndUnknownNamesWithSignalsInOrder)
{
    QObject ring;
    ASSERT_TRUE(
        sm()->regist(&ring, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}, true, 2));
    StateObject* a = sm()->get(&ring, QStringLiteral("a"));
    StateObject* c = sm()->get(&ring, QStringLiteral("c"));
    EXPECT_EQ(sm()->current(&ring), a);
    QStringList order;
    QObject::connect(a, &StateObject::raus, [&](StateObject* to) { order << "raus a->" + to->name(); });
    QObject::connect(c, &StateObject::rein, [&](StateObject* from) { order << "rein c<-" + from->name(); });
    QObject::connect(sm()->watcher(&ring), &ve::StateWatcher::changed,
        [&](StateObject* from, StateObject* to) { order << "changed " + from->name() + "->" + to->name(); });
    sm()->toPrevious(&ring);
    EXPECT_EQ(order, QStringList({"raus a->c", "rein c<-a", "changed a->c"}));
    sm()->toNext(&ring);
    EXPECT_EQ(sm()->current(&ring), a) << "the ring closes from the last to the first";
    // An unknown name leaves the current state, with the signals of a change.
    sm()->change(&ring, QStringLiteral("nope"));
    EXPECT_TRUE(sm()->current(&ring)->isEmptyState());
    EXPECT_EQ(order.last(), "changed a->");

    QObject chain;
    sm()->regist(&chain, {QStringLiteral("x"), QStringLiteral("y")}, false, 1);
    sm()->change(&chain, QStringLiteral("y"));
    sm()->toNext(&chain);
    EXPECT_TRUE(sm()->current(&chain)->isEmptyState()) << "stepping off a chain's end";
}

// Cancelling a state that others still point at must leave no dangling link,
// current entry or watcher.
TEST(StateTest, CancelledStateLeavesNoDanglingLinkOrCurrent)
{
    QObject owner;
    QObject other;
    sm()->regist(&owner, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}, true, 2);
    StateObject* a = sm()->get(&owner, QStringLiteral("a"));
    QPointer<StateObject> b = sm()->get(&owner, QStringLiteral("b"));
    sm()->change(&other, b);

    ASSERT_TRUE(sm()->cancel(&owner, QStringLiteral("b")));
    EXPECT_TRUE(b.isNull());
    EXPECT_TRUE(a->nextState()->isEmptyState());
    EXPECT_TRUE(sm()->current(&other)->isEmptyState());
    sm()->toNext(&owner);
    EXPECT_TRUE(sm()->current(&owner)->isEmptyState());
    sm()->toNext(&other);

    // A slot that cancels every state during a change.
    QPointer<ve::StateWatcher> watcher = sm()->watcher(&owner);
    sm()->change(&owner, a);
    QObject::connect(a, &StateObject::raus, [&owner] { ve::state()->cancel(&owner, QString()); });
    sm()->toPrevious(&owner);
    EXPECT_TRUE(sm()->current(&owner)->isEmptyState());
    EXPECT_TRUE(watcher.isNull());
    EXPECT_EQ(sm()->watcher(&owner), sm()->emptyWatcher());
    EXPECT_FALSE(sm()->cancel(&owner, QStringLiteral("a")));
}

TEST(StateTest, DestroyedOwnerTakesItsStatesAlong)
{
    auto owner = std::make_unique<QObject>();
    QObject* address = owner.get();
    QPointer<StateObject> s = sm()->regist(address, QStringLiteral("run"), true);
    QPointer<ve::StateWatcher> watcher = sm()->watcher(address);
    owner.reset();
    EXPECT_TRUE(s.isNull());
    EXPECT_TRUE(watcher.isNull());
    // A new object at that address starts clean.
    EXPECT_TRUE(sm()->current(address)->isEmptyState());
    EXPECT_TRUE(sm()->get(address, QStringLiteral("run"))->isEmptyState());
}

} // namespace
