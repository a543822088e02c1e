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

TEST(StateTest, StepsAlongChainsAndRingsWithSignalsInOrder)
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

    QObject chain;
    sm()->regist(&chain, {QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z")}, false, 1);
    EXPECT_TRUE(sm()->current(&chain)->isEmptyState());
    sm()->change(&chain, QStringLiteral("z"));
    sm()->toNext(&chain);
    EXPECT_TRUE(sm()->current(&chain)->isEmptyState()) << "stepping off a chain's end";

    EXPECT_FALSE(sm()->regist(&chain, QStringList(), true, 1));
    EXPECT_EQ(sm()->regist(&chain, QStringLiteral("x")), sm()->get(&chain, QStringLiteral("x")));
}

TEST(StateTest, UnknownNameAndForeignStateChangeOnlyThisOwner)
{
    QObject first;
    QObject second;
    StateObject* on = sm()->regist(&first, QStringLiteral("on"), true);
    StateObject* idle = sm()->regist(&second, QStringLiteral("idle"), true);

    QSignalSpy raus(on, &StateObject::raus);
    QSignalSpy changed(sm()->watcher(&first), &ve::StateWatcher::changed);
    sm()->change(&first, QStringLiteral("nope"));
    EXPECT_TRUE(sm()->current(&first)->isEmptyState());
    EXPECT_EQ(raus.count(), 1);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).value<StateObject*>(), on);

    sm()->change(&first, idle);
    EXPECT_EQ(sm()->current(&first), idle);
    EXPECT_EQ(sm()->current(&second), idle);
    EXPECT_TRUE(sm()->get(&first, QStringLiteral("idle"))->isEmptyState());

    EXPECT_FALSE(sm()->cancel(&first, QStringLiteral("idle")));
    EXPECT_FALSE(sm()->cancel(reinterpret_cast<QObject*>(0x1), QString()));
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

    QPointer<ve::StateWatcher> watcher = sm()->watcher(&owner);
    EXPECT_TRUE(sm()->cancel(&owner, QString()));
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

TEST(StateTest, SlotThatCancelsDuringAChangeIsSafe)
{
    QObject owner;
    sm()->regist(&owner, {QStringLiteral("a"), QStringLiteral("b")}, true, 1);
    QObject::connect(sm()->get(&owner, QStringLiteral("a")), &StateObject::raus,
        [&owner] { ve::state()->cancel(&owner, QString()); });
    sm()->toNext(&owner);
    EXPECT_TRUE(sm()->current(&owner)->isEmptyState());
}

} // namespace
