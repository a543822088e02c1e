#include "AnalyzeTools.h"
#include "BenchRig.h"
#include "ChannelDialog.h"
#include "OscilloscopePage.h"
#include "waveDisplay.h"

#include <CANWorker.h>
#include <DataManager.h>
#include <DataObject.h>
#include <Helper.h>
#include <ParamRow.h>
#include <ScopeRecorder.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {
using Box = DialogProvider::Box;

// One motor whose parameter table is loaded and published, and an Analyze strip in the window.
struct ScopeWidgetRig : BenchRig
{
    ScopeWidgetRig()
        : BenchRig(sim::SimConfig())
    {
        ve::d().rootDobj()->set(nullptr, "temp_analyze.path", QString(), true);
        window->resize(1000, 700);
        strip = new AnalyzeTools(window);
        (new QVBoxLayout(window))->addWidget(strip);
        window->show();
        if (!connect(1))
            return;
        device = node(1);
        // What the device tree gives every new device (before the worker writes its identity).
        const QVariant canId = device->r("info.can_id")->get(), mcuId = device->r("info.mcu_id")->get();
        device->copyFrom(nullptr, ve::d("template.r58_motor"), true, false);
        device->set(nullptr, "info.can_id", canId, true);
        device->set(nullptr, "info.mcu_id", mcuId, true);
        Helper::instance()->setCurrentDevice(device);
        worker()->command(CANWorker::LOAD_PARAM);
        if (!waitMessage("Reload all parameters table successfully!"))
            return;
        // What the parameter page publishes: channel k is the k-th child of "param".
        for (const QString& n :
            worker()->engine()->withParams([](ParamTable& t) { return ParamRow::channelKeys(t); }))
            device->set(nullptr, "param." + n, 0, true);
        ready = true;
    }
    ~ScopeWidgetRig() override
    {
        ScopeRecorder::of(worker())->stop();
        (void)waitFor([&] { return ScopeRecorder::of(worker())->state() == ScopeRecorder::Idle; }, 3000);
    }
    // Opens the oscilloscope page of the motor as the editor does when it becomes current.
    OscilloscopePage* openPage()
    {
        auto* page = new OscilloscopePage(window);
        window->layout()->addWidget(page);
        Helper::instance()->setEditDevice(device, "oscilloscope");
        emit Helper::instance()->editDevieDobjChanged("oscilloscope");
        return page;
    }
    int channel(const QString& name) const { return device->cdobj("param")->cdobjNames().indexOf(name) + 1; }
    // Slot k records the published parameter `name`.
    void choose(int slot, const QString& name)
    {
        ve::d("temp_analyze.channel")->cdobj(slot)->set(nullptr, "type", channel(name), true);
    }

    bool ready = false;
    ve::DataObject* device = nullptr;
    AnalyzeTools* strip = nullptr;
};

ScopeRecorder* recorder()
{
    return ScopeRecorder::of(Helper::instance()->canWorker());
}

bool waitState(ScopeRecorder::State s, int ms = 5000)
{
    return QTest::qWaitFor([&] { return recorder()->state() == s; }, ms);
}

int points(OscilloscopePage* page, int slot)
{
    return page->plot->graph(slot)->data()->size();
}
} // namespace

TEST(AnalyzeTools, FollowsTheEditPageAndChoosesTheSampleFile)
{
    ScopeWidgetRig rig;
    ASSERT_TRUE(rig.ready);
    AnalyzeTools* strip = rig.strip;
    // Without an oscilloscope page there is nothing to record.
    EXPECT_FALSE(strip->spnF->isEnabled());
    EXPECT_FALSE(strip->btnChannel->isEnabled());
    QTest::mouseClick(strip->btnStart, Qt::LeftButton);
    EXPECT_EQ(
        rig.dialogs->texts(Box::Warning), QStringList {"Open the oscilloscope page of a device first."});

    rig.device->set(nullptr, "_analyze.frequency", 250, true);
    OscilloscopePage* page = rig.openPage();
    EXPECT_TRUE(strip->spnF->isEnabled());
    EXPECT_EQ(strip->spnF->value(), 250);
    strip->spnF->setValue(300);
    EXPECT_EQ(rig.device->r("_analyze.frequency")->getInt(), 300); // kept with the device

    QTemporaryDir dir;
    rig.dialogs->answers = QStringList {dir.filePath("run.txt"), QString()};
    strip->chbSave->click();
    ASSERT_EQ(rig.dialogs->fileDialogs.size(), 1);
    EXPECT_TRUE(strip->chbSave->isChecked());
    EXPECT_EQ(strip->chbSave->text(), "Output waveform: run");
    EXPECT_EQ(ve::d("temp_analyze.path")->getString(), dir.filePath("run.txt"));
    strip->chbSave->click();
    EXPECT_EQ(strip->chbSave->text(), "Output waveform");
    EXPECT_EQ(ve::d("temp_analyze.path")->getString(), QString());
    strip->chbSave->click(); // cancelled dialog
    EXPECT_FALSE(strip->chbSave->isChecked());
    delete page;
}

TEST(ChannelDialog, OffersOnlyNumbersAndWritesTheChoice)
{
    ScopeWidgetRig rig;
    ASSERT_TRUE(rig.ready);
    rig.openPage();
    // A text entry among the published values must not be offered.
    Helper::instance()->canWorker()->engine()->withParams([](ParamTable& t) {
        t.entry(3, 1).type = 10; // mechVel
        return 0;
    });
    QTest::mouseClick(rig.strip->btnChannel, Qt::LeftButton);
    ChannelDialog* dialog = rig.strip->channelDialog();
    ASSERT_NE(dialog, nullptr);
    QComboBox* combo = dialog->combo(2);
    EXPECT_EQ(combo->itemText(0), "None");
    EXPECT_GE(combo->findText("mechPos"), 1);
    EXPECT_EQ(combo->findText("mechVel"), -1);
    EXPECT_EQ(combo->count(), rig.device->cdobj("param")->size()); // "None" plus all but one

    const int at = combo->findText("iqf");
    combo->setCurrentIndex(at);
    emit combo->activated(at);
    EXPECT_EQ(ve::d("temp_analyze.channel")->cdobj(2)->r("type")->getInt(), rig.channel("iqf"));

    // One dialog at a time; a closed one is forgotten.
    QTest::mouseClick(rig.strip->btnChannel, Qt::LeftButton);
    EXPECT_EQ(rig.strip->channelDialog(), dialog);
    dialog->close();
    QTest::qWait(50);
    EXPECT_EQ(rig.strip->channelDialog(), nullptr);
    QTest::mouseClick(rig.strip->btnChannel, Qt::LeftButton);
    ASSERT_NE(rig.strip->channelDialog(), nullptr);
    EXPECT_EQ(rig.strip->channelDialog()->combo(2)->currentText(), "iqf");
    rig.strip->channelDialog()->close();
}

TEST(OscilloscopePage, FourChannelsStreamPauseMeasureExportAndCloseStopsTheRun)
{
    ScopeWidgetRig rig;
    ASSERT_TRUE(rig.ready);
    OscilloscopePage* page = rig.openPage();
    const QStringList four {"mechPos", "mechVel", "iqf", "torque"};
    for (int k = 0; k < 4; ++k)
        rig.choose(k, four[k]);
    rig.strip->spnF->setValue(500);
    QTest::mouseClick(rig.strip->btnStart, Qt::LeftButton);
    ASSERT_TRUE(waitState(ScopeRecorder::Recording)) << rig.messages.join('\n').toStdString();
    EXPECT_FALSE(rig.strip->btnStart->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return points(page, 3) > 300; }, 5000));
    for (int s = 0; s < 8; ++s)
        EXPECT_EQ(page->plot->graph(s)->visible(), s < 4) << s;
    QTest::qWait(600);
    EXPECT_EQ(page->lblLost->text(), "Lost records: 0");
    EXPECT_TRUE(page->lblRate->text().startsWith("Rate: 49") || page->lblRate->text().startsWith("Rate: 50"))
        << page->lblRate->text().toStdString();
    // The axes follow the data.
    EXPECT_GT(page->plot->xAxis->range().upper, 0.5);

    // Pause: the view stops taking points, the recording goes on, Follow takes them up.
    page->btnPause->click();
    const int frozen = points(page, 0);
    QTest::qWait(300);
    EXPECT_EQ(points(page, 0), frozen);
    page->btnPause->click();
    EXPECT_GT(points(page, 0), frozen + 100);

    // Cursors over the last second.
    page->btnCursors->click();
    const double end = page->plot->graph(0)->data()->at(points(page, 0) - 1)->key;
    page->plot->setCursor(0, end - 1.0);
    page->plot->setCursor(1, end - 0.5);
    EXPECT_TRUE(page->lblCursors->isVisible());
    EXPECT_TRUE(page->lblCursors->text().contains("Δt = 0.5 s")) << page->lblCursors->text().toStdString();
    EXPECT_TRUE(page->lblCursors->text().contains("1/Δt = 2 Hz"));
    EXPECT_NEAR(page->plot->stats(0).points, 250, 2);

    // Legend click hides a channel.
    ve::d("trigger.analyze.oscilloscope.legend")->set(nullptr, true);
    EXPECT_TRUE(page->plot->legend->visible());
    emit page->plot->legendClick(
        page->plot->legend, page->plot->legend->itemWithPlottable(page->plot->graph(1)), nullptr);
    EXPECT_FALSE(page->plot->graph(1)->visible());
    EXPECT_FALSE(page->lblCursors->text().contains("mechVel")); // a hidden channel is not measured
    ve::d("trigger.analyze.oscilloscope.legend")->set(nullptr, false);

    QTemporaryDir dir;
    ASSERT_TRUE(page->exportWindow(dir.filePath("window.csv")));
    ASSERT_TRUE(page->exportPng(dir.filePath("plot.png")));
    QFile csv(dir.filePath("window.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readLine(), "time,mechPos,mechVel,iqf,torque\n");
    EXPECT_GT(QFile(dir.filePath("plot.png")).size(), 1000);

    // Closing the page stops its recording.
    delete page;
    ASSERT_TRUE(waitState(ScopeRecorder::Idle, 3000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.sim->motorScopeRunning(0); }, 2000));
    // The whole recording is still there to export.
    OscilloscopePage* again = rig.openPage();
    ASSERT_TRUE(again->exportRecording(dir.filePath("all.csv")));
    QFile all(dir.filePath("all.csv"));
    ASSERT_TRUE(all.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = all.readAll().split('\n');
    EXPECT_EQ(rows[0], "time,mechPos,mechVel,iqf,torque");
    EXPECT_TRUE(rows[1].startsWith("0.000000,"));
    EXPECT_GT(rows.size(), 500);
}

TEST(OscilloscopePage, TooFastForTheLinkAsksForTheSafeRate)
{
    ScopeWidgetRig rig;
    ASSERT_TRUE(rig.ready);
    rig.openPage();
    const QStringList eight {"mechPos", "mechVel", "iqf", "idf", "torque", "VBUS", "motorTemp", "boardTemp"};
    for (int k = 0; k < 8; ++k)
        rig.choose(k, eight[k]);
    rig.strip->spnF->setValue(2000);
    rig.dialogs->confirm = false;
    const quint64 before = rig.sim->framesReceived();
    QTest::mouseClick(rig.strip->btnStart, Qt::LeftButton);
    ASSERT_EQ(rig.dialogs->texts(Box::Question).size(), 1);
    EXPECT_TRUE(rig.dialogs->texts(Box::Question)[0].startsWith(
        "2000 Hz with 5 frames per record needs 10000 frames/s"))
        << rig.dialogs->texts(Box::Question)[0].toStdString();
    EXPECT_EQ(recorder()->state(), ScopeRecorder::Idle);
    EXPECT_EQ(rig.sim->framesReceived(), before);
    rig.dialogs->confirm = true;
    QTest::mouseClick(rig.strip->btnStart, Qt::LeftButton);
    EXPECT_EQ(rig.strip->spnF->value(), ScopeRecorder::safeFrequency(34));
    ASSERT_TRUE(waitState(ScopeRecorder::Recording));
    QTest::mouseClick(rig.strip->btnStop, Qt::LeftButton);
    ASSERT_TRUE(waitState(ScopeRecorder::Idle));
}

TEST(waveDisplay, TakesOnlyNewPointsFollowsTheWindowAndStartsOverWithANewRun)
{
    waveDisplay plot;
    std::array<ScopeBuffer, 8> b;
    plot.setChannels({2});
    for (int i = 0; i < 100; ++i)
        b[2].append({i * 0.01, double(i)});
    plot.newData(&b);
    for (int i = 100; i < 150; ++i)
        b[2].append({i * 0.01, double(i)});
    for (int i = 0; i < 30; ++i)
        b[2].dropFirst(); // the window slides
    plot.newData(&b);
    QSharedPointer<QCPGraphDataContainer> data = plot.graph(2)->data();
    ASSERT_EQ(data->size(), 120);
    EXPECT_EQ(data->at(0)->key, 0.30);
    EXPECT_EQ(data->at(119)->value, 149.0);
    EXPECT_TRUE(plot.refreshing());
    // A new run (keys from 0 again) without a channel set in between: no stale curve.
    b[2].clear();
    for (int i = 0; i < 10; ++i)
        b[2].append({i * 0.01, -double(i)});
    plot.newData(&b);
    ASSERT_EQ(data->size(), 10);
    EXPECT_EQ(data->at(9)->value, -9.0);
    // Frozen: nothing is taken until the view follows again.
    plot.setPaused(true);
    b[2].append({0.1, 5.0});
    plot.newData(&b);
    EXPECT_EQ(data->size(), 10);
    plot.setPaused(false);
    EXPECT_EQ(data->size(), 11);
}

TEST(waveDisplay, FrameRateIsKeptBetweenOneAndSixty)
{
    for (auto [configured, interval] : {std::pair {0, 1000}, {-5, 1000}, {24, 41}, {1000, 16}}) {
        ve::d().rootDobj()->set(nullptr, "config.oscilloscope_frame_rate", configured, true);
        waveDisplay plot;
        EXPECT_EQ(plot.refreshInterval(), interval) << configured;
    }
    ve::d().rootDobj()->set(nullptr, "config.oscilloscope_frame_rate", 24, true);
}
