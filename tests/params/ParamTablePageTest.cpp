#include "ParamTablePageRig.h"

#include "CANWorker.h"
#include "CellNote.h"
#include "ConfigureTools.h"
#include "Editor.h"
#include "Helper.h"
#include "ParamTablePage.h"

#include <DataManager.h>
#include <DataObject.h>
#include <ParamTable.h>
#include <ParamTransfer.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace {
int rowNamed(ParamTablePage* page, const QString& name)
{
    for (int r = 0; r < page->tableWidget->rowCount(); ++r)
        if (page->tableWidget->item(r, 1)->text() == name)
            return r;
    return -1;
}

QString value(ParamTablePage* page, int row)
{
    return page->tableWidget->item(row, 6)->text();
}

// Types into a Value cell as a user does: open the editor, replace the text, press Enter.
void type(ParamTablePage* page, int row, const QString& text)
{
    QTableWidget* t = page->tableWidget;
    t->scrollToItem(t->item(row, 6));
    t->setCurrentCell(row, 6);
    t->editItem(t->item(row, 6));
    QLineEdit* edit = nullptr;
    for (QLineEdit* e : t->viewport()->findChildren<QLineEdit*>())
        if (e->isVisible())
            edit = e;
    ASSERT_TRUE(edit) << "no editor for row " << row;
    // QTest types ASCII only; the text goes in whole as an input method would put it.
    edit->setText(text);
    QTest::keyClick(edit, Qt::Key_Return);
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The cell note on screen: its text and whether it is green.
QPair<QString, bool> shownNote()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* n = qobject_cast<CellNote*>(w); n && n->isVisible())
            return {n->text(), n->isConfirmation()};
    return {QString(), false};
}

void closeNotes()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* n = qobject_cast<CellNote*>(w))
            n->close();
    QApplication::processEvents();
}

bool modified(int group, int index)
{
    return Helper::instance()->canWorker()->engine()->withParams(
        [&](ParamTable& t) { return t.entry(group, index).modified; });
}
} // namespace

TEST(ParamTablePage, OpensWithEveryDescribedRowCellRulesAndChannelLeaves)
{
    ParamTablePageRig rig(sim::SimConfig::forCanIds({3}));
    ASSERT_TRUE(rig.connect(1));
    ParamTablePage* page = rig.openPage(3);
    ASSERT_TRUE(page) << rig.messages.join('\n').toStdString();
    EXPECT_TRUE(rig.messages.contains("Reload all parameters table successfully!"));
    QTableWidget* t = page->tableWidget;
    EXPECT_EQ(t->rowCount(), 3 + 7 + 31 + 18);

    const int name = rowNamed(page, "Name");
    const int canId = rowNamed(page, "CAN_ID");
    const int limitSpd = rowNamed(page, "limit_spd");
    const int runMode = rowNamed(page, "run_mode");
    const int vbus = rowNamed(page, "VBUS");
    EXPECT_EQ(name, 0);
    EXPECT_EQ(t->item(limitSpd, 4)->text(), "30.00");
    EXPECT_EQ(value(page, limitSpd), "10.000000");
    EXPECT_EQ(value(page, vbus), "24.000000");
    // Only the values of group 0 and of flagged settings above the channel base can be edited.
    EXPECT_TRUE(t->item(name, 6)->flags() & Qt::ItemIsEditable);
    EXPECT_TRUE(t->item(limitSpd, 6)->flags() & Qt::ItemIsEditable);
    EXPECT_FALSE(t->item(canId, 6)->flags() & Qt::ItemIsEditable);
    EXPECT_FALSE(t->item(runMode, 6)->flags() & Qt::ItemIsEditable);
    EXPECT_FALSE(t->item(limitSpd, 1)->flags() & Qt::ItemIsEditable);

    // The settings above the channel base, then every read-only value, in code order.
    ve::DataObject* param = rig.node(3)->cdobj("param");
    const QStringList leaves = param->cdobjNames();
    ASSERT_EQ(leaves.size(), 12 + 18);
    EXPECT_EQ(leaves.first(), "run_mode");
    EXPECT_EQ(leaves.at(12), "mechPos");
    EXPECT_EQ(param->cdobj("VBUS")->getString(), "24.000000");
}

TEST(ParamTablePage, EditsAreCheckedNotedAndDownloadedThenSaved)
{
    ParamTablePageRig rig(sim::SimConfig::forCanIds({3}));
    ASSERT_TRUE(rig.connect(1));
    ParamTablePage* page = rig.openPage(3);
    ASSERT_TRUE(page);
    const int name = rowNamed(page, "Name");
    const int limitSpd = rowNamed(page, "limit_spd");
    const int spdIndex = limitSpd - page->rowOf(2, 0);

    type(page, limitSpd, "30.01");
    EXPECT_EQ(shownNote(), qMakePair(QString("Value out of range"), false));
    EXPECT_EQ(value(page, limitSpd), "10.000000");
    closeNotes();
    type(page, limitSpd, "-2");
    EXPECT_EQ(shownNote().first, "Value out of range");
    closeNotes();
    type(page, name, QString::fromUtf8("Motör"));
    EXPECT_EQ(shownNote(), qMakePair(QString("Please input ASCII charaters"), false));
    EXPECT_EQ(value(page, name), "R58 Motor");
    closeNotes();

    // The shown maximum is accepted (its float is a hair below 30.00).
    type(page, limitSpd, "30.00");
    EXPECT_EQ(shownNote(), qMakePair(QString("Addr[0x%1] modified").arg(spdIndex, 4, 16, QChar('0')), true));
    EXPECT_EQ(value(page, limitSpd), "30.000000");
    EXPECT_EQ(page->tableWidget->item(limitSpd, 6)->foreground().color(), QColor(Qt::red));
    closeNotes();
    type(page, limitSpd, "10");
    EXPECT_EQ(shownNote().first, QString()); // the stored value again: no note, no change
    EXPECT_FALSE(modified(2, spdIndex));
    type(page, limitSpd, "12.5");
    type(page, name, "bench-station-0042");
    closeNotes();
    EXPECT_TRUE(modified(2, spdIndex));

    // The strip's download names the page's device; success only after the motor saved.
    QTest::mouseClick(rig.tools->btnDownloadParam, Qt::LeftButton);
    EXPECT_EQ(rig.dialogs->texts(DialogProvider::Box::Question).last(),
        "Are you sure to download modified parameters to R58 Motor 3 device?");
    ASSERT_TRUE(rig.waitMessage("Download parameters table successfully!"))
        << rig.messages.join('\n').toStdString();
    EXPECT_LT(rig.messages.indexOf("Param saved successfully!"),
        rig.messages.indexOf("Download parameters table successfully!"));
    EXPECT_EQ(rig.simValue(3, "Name").toString(), "bench-station-00");
    EXPECT_DOUBLE_EQ(rig.simValue(3, "limit_spd").toDouble(), 12.5);
    EXPECT_EQ(value(page, name), "bench-station-00");
    EXPECT_EQ(page->tableWidget->item(limitSpd, 6)->foreground().color(), QColor("#63e2ee"));
    EXPECT_FALSE(modified(2, spdIndex));

    // Upload reads every value back in code order.
    rig.messages.clear();
    QTest::mouseClick(rig.tools->btnUploadParam, Qt::LeftButton);
    EXPECT_EQ(rig.dialogs->texts(DialogProvider::Box::Question).last(),
        "Are you sure to upload parameters from R58 Motor 3 device? Current changes will be discarded.");
    ASSERT_TRUE(rig.waitMessage("Upload parameters table successfully!", 20000));
    EXPECT_EQ(value(page, limitSpd), "12.500000");
}

TEST(ParamTablePage, ASaveTheMotorRefusesIsNoSuccess)
{
    ParamTablePageRig rig(sim::SimConfig::forCanIds({3}));
    ASSERT_TRUE(rig.connect(1));
    ParamTablePage* page = rig.openPage(3);
    ASSERT_TRUE(page);
    // A running motor takes this setting but refuses to save.
    Helper::instance()->canWorker()->command(CANWorker::SET_MODE, 1);
    ASSERT_TRUE(rig.waitFor([&] { return rig.sim->motorModeState(rig.motor(3)) == 2; }));
    type(page, rowNamed(page, "limit_spd"), "11");
    closeNotes();
    QSignalSpy done(page->transfer(), &ParamTransfer::finished);
    page->downloadTable();
    ASSERT_TRUE(done.wait(5000));
    EXPECT_FALSE(done.last().at(0).toBool());
    EXPECT_DOUBLE_EQ(rig.simValue(3, "limit_spd").toDouble(), 11.0);
    EXPECT_FALSE(rig.messages.contains("Download parameters table successfully!"));
    EXPECT_TRUE(rig.messages.last().startsWith("<ERROR> Write param to "))
        << rig.messages.last().toStdString();
}

TEST(ParamTablePage, FactoryResetWritesNoPendingEditAndRereadsTheTable)
{
    ParamTablePageRig rig(sim::SimConfig::forCanIds({3}));
    ASSERT_TRUE(rig.connect(1));
    ParamTablePage* page = rig.openPage(3);
    ASSERT_TRUE(page);
    const int limitSpd = rowNamed(page, "limit_spd");
    type(page, limitSpd, "20");
    page->downloadTable();
    ASSERT_TRUE(rig.waitMessage("Download parameters table successfully!"));
    const int limitCur = rowNamed(page, "limit_cur");
    type(page, limitCur, "5");
    closeNotes();
    ASSERT_TRUE(modified(2, limitCur - page->rowOf(2, 0)));

    rig.messages.clear();
    rig.dialogs->confirm = false;
    QTest::mouseClick(rig.tools->btnFactoryReset, Qt::LeftButton);
    EXPECT_EQ(rig.dialogs->texts(DialogProvider::Box::Question).last(),
        "Are you sure to reset R58 Motor 3 parameters to default factory configuration?");
    EXPECT_DOUBLE_EQ(rig.simValue(3, "limit_spd").toDouble(), 20.0);
    rig.dialogs->confirm = true;
    QSignalSpy reset(page->transfer(), &ParamTransfer::resetDone);
    QTest::mouseClick(rig.tools->btnFactoryReset, Qt::LeftButton);
    ASSERT_TRUE(reset.wait(5000));
    EXPECT_TRUE(reset.last().at(0).toBool());
    ASSERT_TRUE(rig.waitFor([&] { return page->isLive() && value(page, limitSpd) == "10.000000"; }));
    // The reply to the reset did not start a download of the pending edit.
    rig.waitFor([] { return false; }, 300);
    EXPECT_DOUBLE_EQ(rig.simValue(3, "limit_cur").toDouble(), 23.0);
    EXPECT_EQ(value(page, limitCur), "23.000000");
    EXPECT_FALSE(modified(2, limitCur - page->rowOf(2, 0)));
    EXPECT_FALSE(rig.messages.contains("Download parameters table successfully!"));
}

TEST(ParamTablePage, APageWhoseTableAnotherMotorDescribedIsReadOnlyAndWritesNothing)
{
    ParamTablePageRig rig(sim::SimConfig::forCanIds({1, 2}));
    ASSERT_TRUE(rig.connect(2));
    ParamTablePage* a = rig.openPage(1);
    ASSERT_TRUE(a);
    const int limitSpd = rowNamed(a, "limit_spd");
    type(a, limitSpd, "25");
    closeNotes();
    ParamTablePage* b = rig.openPage(2);
    ASSERT_TRUE(b);
    ASSERT_TRUE(rig.waitFor([&] { return !a->isLive(); }));
    EXPECT_EQ(a->tableWidget->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(modified(2, limitSpd - a->rowOf(2, 0)));

    // Motor 1's edit never reaches motor 2; motor 1's page refuses to act on 2's table.
    rig.messages.clear();
    QSignalSpy done(b->transfer(), &ParamTransfer::finished);
    b->downloadTable();
    ASSERT_TRUE(done.wait(5000));
    EXPECT_FALSE(done.last().at(0).toBool());
    EXPECT_TRUE(rig.messages.last().endsWith("/no such code")) << rig.messages.last().toStdString();
    EXPECT_DOUBLE_EQ(rig.simValue(2, "limit_spd").toDouble(), 10.0);
    const int boxes = rig.dialogs->texts(DialogProvider::Box::Critical).size();
    a->downloadTable();
    a->uploadTable();
    EXPECT_EQ(rig.dialogs->texts(DialogProvider::Box::Critical).size(), boxes + 2);
    EXPECT_EQ(rig.dialogs->texts(DialogProvider::Box::Critical).last(),
        "The parameter table of R58 Motor 1 is not loaded any more; open its Param Table again.");
    EXPECT_DOUBLE_EQ(rig.simValue(1, "limit_spd").toDouble(), 10.0);
}

TEST(ParamTablePage, ChainsLeaveTheCurrentDeviceAloneAndEndWhenReplaced)
{
    ParamTablePageRig rig(sim::SimConfig::forCanIds({1, 2}));
    ASSERT_TRUE(rig.connect(2));
    ParamTablePage* a = rig.openPage(1);
    ASSERT_TRUE(a);
    CANWorker* worker = Helper::instance()->canWorker();
    // The user moves on to motor 2 while motor 1's page uploads.
    rig.makeCurrent(2);
    ASSERT_EQ(worker->currentDevice(), rig.node(2));
    QSignalSpy done(a->transfer(), &ParamTransfer::finished);
    a->uploadTable();
    EXPECT_EQ(worker->currentDevice(), rig.node(2));
    ASSERT_TRUE(done.wait(20000));
    EXPECT_TRUE(done.last().at(0).toBool());
    EXPECT_EQ(worker->currentDevice(), rig.node(2));

    // Another command replaces the chain's step: the chain still ends, with a reason.
    a->transfer()->setAnswerLimitMs(1500);
    rig.messages.clear();
    a->uploadTable();
    worker->command(CANWorker::SET_MODE, 2);
    ASSERT_TRUE(done.wait(5000));
    EXPECT_FALSE(done.last().at(0).toBool());
    EXPECT_FALSE(a->transfer()->busy());
    EXPECT_TRUE(
        rig.messages.filter("<ERROR> Upload parameters from R58 Motor 1 stopped: no answer to 0X").size()
        == 1)
        << rig.messages.join('\n').toStdString();
}

TEST(ParamTablePage, AMotorDescribingMoreTextsThanTheTableHoldsIsReportedNotIndexed)
{
    sim::SimConfig cfg = sim::SimConfig::forCanIds({3});
    cfg.faults.extraTexts = 33; // 40 read-only texts
    ParamTablePageRig rig(cfg);
    ASSERT_TRUE(rig.connect(1));
    rig.makeCurrent(3);
    ve::d("trigger.configure.param.new")->trigger();
    ParamTablePage* page = ParamTablePage::of(rig.node(3));
    ASSERT_TRUE(page);
    ASSERT_TRUE(rig.waitFor([&] { return !rig.messages.filter("incomplete").isEmpty(); }))
        << rig.messages.join('\n').toStdString();
    EXPECT_TRUE(
        rig.messages.filter("incomplete")
            .first()
            .startsWith("<ERROR> The parameter description of R58 Motor 3 is incomplete (error bits 0x"));
    EXPECT_TRUE(rig.messages.filter("incomplete")
                    .first()
                    .endsWith("It describes 40 entries of group 1, which holds 32."));
    EXPECT_EQ(page->tableWidget->rowCount(), 0);
    EXPECT_EQ(
        Helper::instance()->canWorker()->engine()->withParams([](ParamTable& t) { return t.count(1); }), 32);
    // Nothing can be read into or written from a table that was not described whole.
    const int boxes = rig.dialogs->texts(DialogProvider::Box::Critical).size();
    page->uploadTable();
    EXPECT_EQ(rig.dialogs->texts(DialogProvider::Box::Critical).size(), boxes + 1);
}
