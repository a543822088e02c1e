// The parameter chains without a window, over a pty against the simulator; also built with
// ThreadSanitizer (the engine fills the table on its own thread while the chain reads it).
#include "LinkRig.h"

#include <ParamTable.h>
#include <ParamTransfer.h>

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {
ve::DataObject* described(LinkRig& r, int canId)
{
    ve::DataObject* node = r.use(canId);
    ParamTransfer* t = ParamTransfer::of(r.worker.get(), node);
    QSignalSpy done(t, &ParamTransfer::described);
    if (!t->describe() || !done.wait(5000) || !done.last().at(0).toBool())
        return nullptr;
    return node;
}

int indexOf(LinkRig& r, const QString& name)
{
    return r.eng()->withParams([&](ParamTable& t) {
        for (int i = 0; i < t.count(2); ++i)
            if (t.entry(2, i).name == name)
                return i;
        return -1;
    });
}

void stage(LinkRig& r, int index, double v)
{
    r.eng()->withParams([&](ParamTable& t) {
        ParamTable::doubleToValue(t.entry(2, index).type, v, t.entry(2, index).buffer);
        t.entry(2, index).modified = true;
    });
}
} // namespace

TEST(ParamTransferLink, ChainsKeepToTheirMotorAndTheTablesOwner)
{
    LinkRig r(sim::SimConfig::forCanIds({1, 2}));
    ASSERT_TRUE(r.connectAndScan(2));
    ve::DataObject* one = described(r, 1);
    ASSERT_TRUE(one);
    ve::DataObject* two = r.worker->deviceByCanId(2);
    ParamTransfer* t1 = ParamTransfer::of(r.worker.get(), one);
    ParamTransfer* t2 = ParamTransfer::of(r.worker.get(), two);
    EXPECT_EQ(t1, ParamTransfer::of(r.worker.get(), one)); // one per device
    EXPECT_TRUE(t1->ownsTable());
    EXPECT_FALSE(t2->ownsTable());

    // Motor 2 is current while motor 1's chain writes and saves; it stays current.
    const int spd = indexOf(r, "limit_spd");
    stage(r, spd, 14.0);
    r.worker->setCurrentDevice(two);
    QSignalSpy done(t1, &ParamTransfer::finished);
    ASSERT_TRUE(t1->download());
    EXPECT_FALSE(t2->download()); // not its table
    ASSERT_TRUE(done.wait(5000));
    EXPECT_TRUE(done.last().at(0).toBool());
    EXPECT_EQ(r.worker->currentDevice(), two);
    EXPECT_DOUBLE_EQ(r.sim->parameterValue(0, quint16(0x2000 | spd)).toDouble(), 14.0);
    EXPECT_DOUBLE_EQ(r.sim->parameterValue(1, quint16(0x2000 | spd)).toDouble(), 10.0);
    EXPECT_LT(r.messages.indexOf("Param saved successfully!"),
        r.messages.indexOf("Download parameters table successfully!"));

    // A pending edit, then motor 2 describes itself: the edit is gone, motor 1's chain refuses.
    stage(r, spd, 20.0);
    ASSERT_TRUE(described(r, 2));
    EXPECT_FALSE(r.eng()->withParams([&](ParamTable& t) { return t.entry(2, spd).modified; }));
    EXPECT_FALSE(t1->upload());
    EXPECT_TRUE(t2->ownsTable());

    // Factory reset of motor 2: the reply starts no write, the description is read again.
    stage(r, spd, 21.0);
    QSignalSpy reset(t2, &ParamTransfer::resetDone);
    ASSERT_TRUE(t2->factoryReset());
    ASSERT_TRUE(reset.wait(5000));
    EXPECT_TRUE(reset.last().at(0).toBool());
    LinkRig::pause(200);
    EXPECT_DOUBLE_EQ(r.sim->parameterValue(1, quint16(0x2000 | spd)).toDouble(), 10.0);
    EXPECT_EQ(r.messages.filter("Send R58 Command LOAD_PARAM to CAN(2)").size(), 2);
}

TEST(ParamTransferLink, ChainsThatFailEndWithAReasonNotASuccess)
{
    LinkRig r(sim::SimConfig::forCanIds({1}));
    ASSERT_TRUE(r.connectAndScan(1));
    ve::DataObject* node = described(r, 1);
    ASSERT_TRUE(node);
    ParamTransfer* t = ParamTransfer::of(r.worker.get(), node);
    QSignalSpy done(t, &ParamTransfer::finished);

    // A running motor takes the setting but refuses to save it.
    r.worker->command(CANWorker::SET_MODE, 1);
    ASSERT_TRUE(LinkRig::waitUntil([&] { return r.sim->motorModeState(0) == 2; }, 5000));
    const int spd = indexOf(r, "limit_spd");
    stage(r, spd, 11.0);
    ASSERT_TRUE(t->download());
    ASSERT_TRUE(done.wait(5000));
    EXPECT_FALSE(done.last().at(0).toBool());
    EXPECT_DOUBLE_EQ(r.sim->parameterValue(0, quint16(0x2000 | spd)).toDouble(), 11.0);
    EXPECT_FALSE(r.messages.contains("Download parameters table successfully!"));
    EXPECT_TRUE(r.messages.last().startsWith("<ERROR> Write param to ")) << r.messages.last().toStdString();

    // Another command replaces the chain's read step: the chain still ends, within its limit.
    t->setAnswerLimitMs(800);
    ASSERT_TRUE(t->upload());
    r.worker->command(CANWorker::SET_MODE, 2);
    ASSERT_TRUE(done.wait(5000));
    EXPECT_FALSE(done.last().at(0).toBool());
    EXPECT_FALSE(t->busy());
    EXPECT_EQ(
        r.messages.filter("<ERROR> Upload parameters from R58 Motor 1 stopped: no answer to 0X0000").size(),
        1);
}
