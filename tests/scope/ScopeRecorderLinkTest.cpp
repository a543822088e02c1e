#include "LinkRig.h"

#include <ParamRow.h>
#include <ParamTransfer.h>
#include <ScopeRecorder.h>

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {
// What the parameter page publishes under the device's "param": channel k is the k-th child.
void publish(LinkRig& r, ve::DataObject* node)
{
    const QStringList keys = r.eng()->withParams([](ParamTable& t) { return ParamRow::channelKeys(t); });
    for (const QString& n : keys)
        node->set(nullptr, "param." + n, 0, true);
}

int channel(ve::DataObject* node, const QString& name)
{
    return node->cdobj("param")->cdobjNames().indexOf(name) + 1;
}

ve::DataObject* ready(LinkRig& r, int motors = 1, int canId = 1)
{
    if (!r.connectAndScan(motors))
        return nullptr;
    ve::DataObject* node = r.use(canId);
    r.worker->command(CANWorker::LOAD_PARAM);
    if (!r.waitMessage("Reload all parameters table successfully!"))
        return nullptr;
    publish(r, node);
    return node;
}

std::array<quint16, 8> channels(ve::DataObject* node, const QStringList& names)
{
    std::array<quint16, 8> t {};
    for (int k = 0; k < names.size(); ++k)
        t[size_t(k)] = quint16(channel(node, names[k]));
    return t;
}

bool waitState(ScopeRecorder* rec, ScopeRecorder::State s, int ms)
{
    return LinkRig::waitUntil([&] { return rec->state() == s; }, ms);
}

const QStringList Four {"mechPos", "mechVel", "iqf", "torque"};
} // namespace

TEST(ScopeRecorder, OneKilohertzAcrossCounter2573KeepsEveryRecordInOrder)
{
    LinkRig r;
    ve::DataObject* node = ready(r);
    ASSERT_NE(node, nullptr);
    QTemporaryDir dir;
    const QString path = dir.filePath("wave.txt");
    ve::d("temp_analyze.path")->set(nullptr, path);
    ScopeRecorder* rec = ScopeRecorder::of(r.worker.get());
    ASSERT_EQ(rec->start(node, 1000, channels(node, Four)), QString());
    ASSERT_TRUE(waitState(rec, ScopeRecorder::Recording, 5000)) << r.messages.join('\n').toStdString();
    // The counter passes 2573 (bytes 0D 0A) after 2.57 s.
    ASSERT_TRUE(LinkRig::waitUntil(
        [&] { return r.eng()->withScope([](const ScopeDecoder& d) { return d.time() > 3.0; }); }, 15000));
    ve::d("trigger.analyze.oscilloscope.stop")->set(nullptr, QVariant());
    ASSERT_TRUE(waitState(rec, ScopeRecorder::Idle, 3000));
    EXPECT_FALSE(r.sim->motorScopeRunning(0));
    EXPECT_EQ(r.messages.filter("<ERROR>").size(), 0) << r.messages.join('\n').toStdString();

    const quint64 lost = r.eng()->withScope([](const ScopeDecoder& d) { return d.lostRecords(); });
    const quint64 records = r.eng()->withScope([](const ScopeDecoder& d) { return d.records(); });
    const ScopeBuffers& b = *r.eng()->scopeBuffers();
    ASSERT_EQ(quint64(b[0].size()), records);
    EXPECT_EQ(b[0].at(0).key, 0.0);
    // Keys rise strictly, one period apart; a wider step is a gap the lost count accounts for
    // (a starved simulator skips ahead on a loaded machine; on a quiet one there is none).
    quint64 gaps = 0;
    bool at2573 = false;
    for (int k = 1; k < b[0].size(); ++k) {
        const double step = b[0].at(k).key - b[0].at(k - 1).key;
        ASSERT_GT(step, 0.0) << k;
        gaps += quint64(std::llround(step * 1000)) - 1;
        at2573 = at2573 || std::abs(b[0].at(k).key - 2.573) < 1e-9;
    }
    EXPECT_EQ(gaps, lost);
    EXPECT_LT(lost, records / 20);
    EXPECT_TRUE(at2573); // the record whose counter bytes are 0D 0A
    EXPECT_EQ(b[3].size(), b[0].size());
    // Every record reached the sample file, one line each, five fields.
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    // Records that arrive while the stop is on its way are plotted, not saved.
    EXPECT_LE(quint64(lines.size() - 1), records);
    EXPECT_GE(quint64(lines.size() - 1), records * 9 / 10);
    EXPECT_EQ(lines[0].simplified().split(' ').size(), 5);
    EXPECT_FALSE(rec->saving());
}

TEST(ScopeRecorder, RefusedRecordingsSendNoStart)
{
    sim::SimConfig cfg = sim::SimConfig::forCanIds({1, 2});
    cfg.faults.scopeWrongTypeChannel = 0;
    LinkRig r(cfg);
    ve::DataObject* one = ready(r, 2, 1);
    ASSERT_NE(one, nullptr);
    ve::DataObject* two = r.worker->deviceByCanId(2);
    QTemporaryDir dir;
    const QString path = dir.filePath("wave.txt");
    ve::d("temp_analyze.path")->set(nullptr, path);
    ScopeRecorder* rec = ScopeRecorder::of(r.worker.get());
    const quint64 before = r.sim->framesReceived();

    // Refused before anything is sent.
    EXPECT_EQ(rec->start(one, 100, {}), "Select at least one channel before starting the oscilloscope.");
    EXPECT_EQ(
        rec->start(two, 100, channels(one, {"mechPos"})), "Please open param table of R58 Motor 2 first!");
    two->set(nullptr, "param.other", 0, true); // a listing that differs from the engine's table
    EXPECT_EQ(rec->start(two, 100, {1}),
        "Channel 1 does not match the parameter table of R58 Motor 2; upload its param table again.");
    EXPECT_EQ(rec->state(), ScopeRecorder::Idle);

    // The motor reports other channel types than the table: no start frame, no sample file.
    ASSERT_EQ(rec->start(one, 100, channels(one, {"mechPos"})), QString());
    ASSERT_TRUE(waitState(rec, ScopeRecorder::Idle, 5000));
    ASSERT_TRUE(r.waitMessage("<ERROR> Oscilloscope set-up of R58 Motor 1 failed: the motor reports other "
                              "channel types than its parameter table. Nothing was recorded."));
    LinkRig::pause(300);
    EXPECT_FALSE(r.sim->motorScopeRunning(0));
    EXPECT_EQ(r.sim->framesReceived() - before, 2u); // frequency and one channel group, no start
    EXPECT_FALSE(QFile::exists(path) && QFileInfo(path).size() > 0);
    EXPECT_FALSE(rec->stop()); // nothing to stop: no frame
    EXPECT_EQ(r.sim->framesReceived() - before, 2u);

    // A text entry published as a channel (a 16-byte record part).
    const int k = channel(one, "mechPos");
    r.eng()->withParams([](ParamTable& t) {
        t.entry(3, 0).type = 10;
        return 0;
    });
    std::array<quint16, 8> t {};
    t[2] = quint16(k);
    EXPECT_EQ(rec->start(one, 100, t), "Channel 3 (mechPos) is not a number and cannot be recorded.");
    EXPECT_EQ(rec->state(), ScopeRecorder::Idle);
}

TEST(ScopeRecorder, UploadCompletesWhileFourChannelsStreamAndOnlyItsDeviceStopsIt)
{
    LinkRig r(sim::SimConfig::forCanIds({1, 2}));
    ve::DataObject* node = ready(r, 2, 1);
    ASSERT_NE(node, nullptr);
    ve::d("temp_analyze.path")->set(nullptr, QString());
    ScopeRecorder* rec = ScopeRecorder::of(r.worker.get());
    ASSERT_EQ(rec->start(node, 500, channels(node, Four)), QString());
    ASSERT_TRUE(waitState(rec, ScopeRecorder::Recording, 5000));

    ParamTransfer up(r.worker.get(), node);
    QSignalSpy done(&up, &ParamTransfer::finished);
    ASSERT_TRUE(up.upload());
    ASSERT_TRUE(done.wait(20000));
    EXPECT_TRUE(done.last().at(0).toBool());
    EXPECT_EQ(rec->state(), ScopeRecorder::Recording);
    const quint64 n = r.eng()->withScope([](const ScopeDecoder& d) { return d.records(); });
    LinkRig::pause(300);
    EXPECT_GT(r.eng()->withScope([](const ScopeDecoder& d) { return d.records(); }), n);

    // Another device's page closing leaves this recording alone.
    EXPECT_FALSE(rec->stopDevice(r.worker->deviceByCanId(2)));
    EXPECT_TRUE(r.sim->motorScopeRunning(0));
    // Removing the recorded device stops it.
    ve::d("project.device")->remove(nullptr, node);
    ASSERT_TRUE(waitState(rec, ScopeRecorder::Idle, 3000));
    ASSERT_TRUE(LinkRig::waitUntil([&] { return !r.sim->motorScopeRunning(0); }, 2000));
}

TEST(ScopeRecorder, SampleFileTickedDuringARunAFullDiskAndAPulledAdapter)
{
    LinkRig r;
    ve::DataObject* node = ready(r);
    ASSERT_NE(node, nullptr);
    ve::d("temp_analyze.path")->set(nullptr, QString());
    ScopeRecorder* rec = ScopeRecorder::of(r.worker.get());
    ASSERT_EQ(rec->start(node, 200, channels(node, {"mechPos"})), QString());
    ASSERT_TRUE(waitState(rec, ScopeRecorder::Recording, 5000));
    LinkRig::pause(200);
    QTemporaryDir dir;
    const QString path = dir.filePath("late.txt");
    ve::d("temp_analyze.path")->set(nullptr, path);
    EXPECT_TRUE(rec->saving());
    LinkRig::pause(300);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_GT(text.count('\n'), 20);
    EXPECT_TRUE(text.endsWith("\r\n"));

    if (QFile::exists("/dev/full")) {
        ve::d("temp_analyze.path")->set(nullptr, QString());
        EXPECT_FALSE(rec->saving());
        ve::d("temp_analyze.path")->set(nullptr, "/dev/full");
        ASSERT_TRUE(
            r.waitMessage("<ERROR> Waveform file /dev/full: No space left on device. Saving stopped.", 3000))
            << r.messages.join('\n').toStdString();
        EXPECT_EQ(ve::d("temp_analyze.path")->getString(), QString()); // the box unticks
        EXPECT_EQ(rec->state(), ScopeRecorder::Recording); // recording goes on
    }

    // The adapter is pulled: nothing will confirm the stop, which asks for about a second.
    ve::d().rootDobj()->set(nullptr, "config.setting.remove_device_on_disconnected", false, true);
    r.sim->stop();
    ASSERT_TRUE(LinkRig::waitUntil([&] { return !r.worker->isConnected(); }, 3000));
    QElapsedTimer t;
    t.start();
    EXPECT_TRUE(rec->stop());
    ASSERT_TRUE(waitState(rec, ScopeRecorder::Idle, 4000));
    EXPECT_LT(t.elapsed(), 3000);
    EXPECT_EQ(r.eng()->step(), quint32(STEP_STOP));
    EXPECT_EQ(r.messages.filter("did not confirm the oscilloscope stop").size(), 1)
        << r.messages.join('\n').toStdString();
}

TEST(ScopeRecorder, TheLinkModelLosesRecordsAboveTheSafeRateAndNoneBelow)
{
#ifdef __SANITIZE_THREAD__
    GTEST_SKIP() << "a throughput check means nothing at the thread checker's speed";
#endif
    sim::SimConfig cfg;
    cfg.faults.linkModel = true;
    LinkRig r(cfg);
    ve::DataObject* node = ready(r);
    ASSERT_NE(node, nullptr);
    ve::d("temp_analyze.path")->set(nullptr, QString());
    ScopeRecorder* rec = ScopeRecorder::of(r.worker.get());
    const auto eight
        = channels(node, {"mechPos", "mechVel", "iqf", "idf", "torque", "VBUS", "motorTemp", "boardTemp"});
    const int safe = ScopeRecorder::safeFrequency(rec->recordLength(eight));

    auto run = [&](int hz) {
        EXPECT_EQ(rec->start(node, quint16(hz), eight), QString());
        // Longer than the set-up's own limit, so a failure shows the verdict.
        EXPECT_TRUE(waitState(rec, ScopeRecorder::Recording, 10000)) << r.messages.join('\n').toStdString();
        LinkRig::waitUntil(
            [&] { return r.eng()->withScope([](const ScopeDecoder& d) { return d.time() > 1.5; }); }, 10000);
        rec->stop();
        EXPECT_TRUE(waitState(rec, ScopeRecorder::Idle, 3000));
        return r.eng()->withScope(
            [](const ScopeDecoder& d) { return double(d.lostRecords()) / d.records(); });
    };
    // Share of records lost: a tenth and more above the link's capacity, none (a loaded machine
    // may starve the simulator a little) at the safe rate.
    // The safe rate first: an overfull run leaves the adapter's queue seconds behind.
    const double below = run(safe);
    const double above = run(2000);
    EXPECT_GT(above, 0.1);
    EXPECT_LT(below, 0.01);
    EXPECT_GT(above, below * 10);
}
