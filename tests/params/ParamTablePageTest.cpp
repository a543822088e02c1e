#include "ParamTablePage.h"
#include "BenchRig.h"
#include "CANWorker.h"
#include "CellNote.h"
#include "ConfigureTools.h"
#include "Editor.h"
#include "Helper.h"

#include <DataManager.h>
#include <DataObject.h>
#include <ParamBackup.h>
#include <ParamRow.h>
#include <ParamTable.h>
#include <ParamTransfer.h>

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {
// The editor and the Configure strip in the rig's window.
struct ParamTablePageRig : BenchRig
{
    explicit ParamTablePageRig(const sim::SimConfig& cfg)
        : BenchRig(cfg)
    {
        window->resize(1000, 700);
        auto* layout = new QVBoxLayout(window);
        tools = new ConfigureTools(window);
        editor = new Editor(window);
        layout->addWidget(tools);
        layout->addWidget(editor, 1);
        addBlockBox();
        window->show();
    }
    // Opens (or reopens) the current device's page through its trigger and waits for its rows.
    ParamTablePage* openPage(int canId)
    {
        makeCurrent(canId);
        ve::d("trigger.configure.param.new")->trigger();
        ParamTablePage* page = ParamTablePage::of(node(canId));
        if (!page || !waitFor([page] { return page->isLive() && page->tableWidget->rowCount() > 0; }))
            return nullptr;
        return page;
    }
    int motor(int canId) const { return sim->motorIndexByCanId(quint8(canId)); }
    QStringList errors() const { return dialogs->texts(DialogProvider::Box::Critical); }
    QVariant simValue(int canId, const QString& name) const
    {
        return sim->parameterValue(motor(canId), quint16(sim->parameterCode(motor(canId), name)));
    }

    Editor* editor = nullptr;
    ConfigureTools* tools = nullptr;
};

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
    edit->setText(text);
    QTest::keyClick(edit, Qt::Key_Return);
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The cell note on screen (text and whether it is the green confirmation); closes it.
QPair<QString, bool> takeNote()
{
    QPair<QString, bool> shown;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* n = qobject_cast<CellNote*>(w)) {
            if (n->isVisible())
                shown = {n->text(), n->isConfirmation()};
            n->close();
        }
    QApplication::processEvents();
    return shown;
}

bool modified(ParamTablePage* page, int row)
{
    const int index = row - page->rowOf(2, 0);
    return Helper::instance()->canWorker()->engine()->withParams(
        [&](ParamTable& t) { return t.entry(2, index).modified; });
}
} // namespace

TEST(ParamTablePage, OpensWithTheMotorsValuesChecksEditsDownloadsUploadsAndResets)
{
    ParamTablePageRig rig(sim::SimConfig::forCanIds({3}));
    ASSERT_TRUE(rig.connect(1));
    ParamTablePage* page = rig.openPage(3);
    ASSERT_TRUE(page) << rig.messages.join('\n').toStdString();
    const int name = rowNamed(page, "Name");
    const int limitSpd = rowNamed(page, "limit_spd");
    QTableWidget* t = page->tableWidget;
    EXPECT_EQ(t->rowCount(), 3 + 7 + 31 + 18);
    EXPECT_EQ(value(page, limitSpd), "10.000000");
    EXPECT_TRUE(t->item(limitSpd, 6)->flags() & Qt::ItemIsEditable);
    EXPECT_FALSE(t->item(rowNamed(page, "CAN_ID"), 6)->flags() & Qt::ItemIsEditable);
    EXPECT_FALSE(t->item(limitSpd, 1)->flags() & Qt::ItemIsEditable);

    // The oscilloscope's channels: settings above the channel base, then the read-only values.
    ve::DataObject* param = rig.node(3)->cdobj("param");
    const QStringList leaves = param->cdobjNames();
    ASSERT_EQ(leaves.size(), 12 + 18);
    EXPECT_EQ(leaves.first(), "run_mode");
    EXPECT_EQ(leaves.at(12), "mechPos");
    EXPECT_EQ(param->cdobj("VBUS")->getString(), "24.000000");

    type(page, limitSpd, "30.01");
    EXPECT_EQ(takeNote(), qMakePair(QString("Value out of range"), false));
    EXPECT_EQ(value(page, limitSpd), "10.000000");
    // The shown maximum is accepted (its float is a hair below 30.00).
    type(page, limitSpd, "30.00");
    EXPECT_TRUE(takeNote().second);
    EXPECT_EQ(value(page, limitSpd), "30.000000");
    EXPECT_EQ(page->tableWidget->item(limitSpd, 6)->foreground().color(), QColor(Qt::red));
    type(page, limitSpd, "10");
    EXPECT_EQ(takeNote().first, QString()); // the stored value again: no note, no change
    EXPECT_FALSE(modified(page, limitSpd));
    type(page, limitSpd, "12.5");
    type(page, name, "bench-station-0042");
    takeNote();

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
    EXPECT_FALSE(modified(page, limitSpd));

    // Upload discards an unsent edit and shows the motor's values again.
    type(page, limitSpd, "20");
    takeNote();
    QTest::mouseClick(rig.tools->btnUploadParam, Qt::LeftButton);
    ASSERT_TRUE(rig.waitMessage("Upload parameters table successfully!", 20000));
    EXPECT_EQ(value(page, limitSpd), "12.500000");
    EXPECT_FALSE(modified(page, limitSpd));

    // Factory reset writes no pending edit and reads the table again.
    const int limitCur = rowNamed(page, "limit_cur");
    type(page, limitCur, "5");
    takeNote();
    rig.messages.clear();
    QSignalSpy reset(page->transfer(), &ParamTransfer::resetDone);
    QTest::mouseClick(rig.tools->btnFactoryReset, Qt::LeftButton);
    EXPECT_EQ(rig.dialogs->texts(DialogProvider::Box::Question).last(),
        "Are you sure to reset R58 Motor 3 parameters to default factory configuration?");
    ASSERT_TRUE(reset.wait(5000));
    EXPECT_TRUE(reset.last().at(0).toBool());
    ASSERT_TRUE(rig.waitFor([&] { return page->isLive() && value(page, limitSpd) == "10.000000"; }));
    BenchRig::pause(300);
    EXPECT_DOUBLE_EQ(rig.simValue(3, "limit_cur").toDouble(), 23.0);
    EXPECT_EQ(value(page, limitCur), "23.000000");
    EXPECT_FALSE(modified(page, limitCur));
    EXPECT_FALSE(rig.messages.contains("Download parameters table successfully!"));
}

TEST(ParamTablePage, APageWhoseTableAnotherMotorDescribedIsReadOnlyAndWritesNothing)
{
    ParamTablePageRig rig(sim::SimConfig::forCanIds({1, 2}));
    ASSERT_TRUE(rig.connect(2));
    ParamTablePage* a = rig.openPage(1);
    ASSERT_TRUE(a);
    type(a, rowNamed(a, "limit_spd"), "25");
    takeNote();
    ASSERT_TRUE(rig.openPage(2));
    ASSERT_TRUE(rig.waitFor([&] { return !a->isLive(); }));
    EXPECT_EQ(a->tableWidget->editTriggers(), QAbstractItemView::NoEditTriggers);

    a->downloadTable();
    a->uploadTable();
    const QString stale
        = "The parameter table of R58 Motor 1 is not loaded any more; open its Param Table again.";
    EXPECT_EQ(rig.errors(), QStringList({stale, stale}));
    BenchRig::pause(200);
    EXPECT_DOUBLE_EQ(rig.simValue(1, "limit_spd").toDouble(), 10.0);
    EXPECT_DOUBLE_EQ(rig.simValue(2, "limit_spd").toDouble(), 10.0);
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
    const QString line = rig.messages.filter("incomplete").first();
    EXPECT_TRUE(
        line.startsWith("<ERROR> The parameter description of R58 Motor 3 is incomplete (error bits 0x"));
    EXPECT_TRUE(line.endsWith("It describes 40 entries of group 1, which holds 32."));
    EXPECT_EQ(page->tableWidget->rowCount(), 0);
    // Nothing can be read into or written from a table that was not described whole.
    page->uploadTable();
    EXPECT_EQ(rig.errors().size(), 1);
}

TEST(ConfigureTools, TheButtonsThatNeedAPageOrADevice)
{
    ParamTablePageRig rig(sim::SimConfig::forCanIds({3}));
    ConfigureTools* tools = rig.tools;
    EXPECT_FALSE(tools->btnUploadParam->isEnabled());
    EXPECT_FALSE(tools->btnDownloadParam->isEnabled());

    // Without an active device: the box and nothing else.
    QSignalSpy exported(ve::d("trigger.configure.param.new"), &ve::DataObject::changed);
    for (QPushButton* b : {tools->btnExportParam, tools->btnFactoryReset, tools->btnClearAlarm})
        QTest::mouseClick(b, Qt::LeftButton);
    EXPECT_EQ(
        rig.errors(), QStringList({"No activated device!", "No activated device!", "No activated device!"}));
    EXPECT_TRUE(rig.dialogs->texts(DialogProvider::Box::Question).isEmpty());
    QTest::mouseClick(tools->btnNewParamTable, Qt::LeftButton);
    EXPECT_EQ(exported.count(), 1);
    EXPECT_EQ(rig.editor->count(), 0);

    ASSERT_TRUE(rig.connect(1));
    // Export without an open page says what to do instead of doing nothing.
    rig.makeCurrent(3);
    QTest::mouseClick(tools->btnExportParam, Qt::LeftButton);
    EXPECT_EQ(rig.dialogs->texts(DialogProvider::Box::Warning),
        QStringList({"Please open param table of R58 Motor 3 first!"}));
    ParamTablePage* page = rig.openPage(3);
    ASSERT_TRUE(page);
    EXPECT_TRUE(tools->btnUploadParam->isEnabled());
    EXPECT_TRUE(tools->btnDownloadParam->isEnabled());
    // A strip built while the page is shown starts enabled.
    ConfigureTools again(rig.window);
    EXPECT_TRUE(again.btnDownloadParam->isEnabled());

    rig.messages.clear();
    QTest::mouseClick(tools->btnClearAlarm, Qt::LeftButton);
    EXPECT_TRUE(rig.messages.contains("Send R58 Command CLEAR_ALARM to CAN(3)"))
        << rig.messages.join('\n').toStdString();

    rig.editor->closePage(0);
    EXPECT_FALSE(tools->btnUploadParam->isEnabled());
    EXPECT_FALSE(again.btnDownloadParam->isEnabled());
}

TEST(BackupCompare, MarksDifferingRowsAndAppliesTheFileAsADownload)
{
    ParamTablePageRig rig(sim::SimConfig::forCanIds({3}));
    ASSERT_TRUE(rig.connect(1));
    ParamTablePage* page = rig.openPage(3);
    ASSERT_TRUE(page);
    otaThread* eng = Helper::instance()->canWorker()->engine();
    QVector<ParamRow> rows = eng->withParams([](ParamTable& t) { return ParamRow::all(t); });
    // Page rows are in the table's row order.
    const int spd = rowNamed(page, "limit_spd"), kt = rowNamed(page, "Kt"), vbus = rowNamed(page, "VBUS");
    ASSERT_TRUE(spd >= 0 && kt >= 0 && vbus >= 0);
    rows[spd].value = "17.250000";
    rows[kt].value = "0.950000000000"; // a configuration entry: shown, never written
    rows[vbus].value = "12.000000"; // a live value: not compared
    QTemporaryDir dir;
    const QString path = dir.filePath("motor3.json");
    QString error;
    ASSERT_TRUE(ParamBackup::fromRows(rows, 0x33, 3, 18).write(path, &error));

    rig.dialogs->answers << dir.filePath("missing.json") << path;
    QTest::mouseClick(rig.tools->btnCompareBackup, Qt::LeftButton);
    EXPECT_TRUE(rig.errors().last().startsWith("Cannot compare with "));
    QTest::mouseClick(rig.tools->btnCompareBackup, Qt::LeftButton);
    EXPECT_EQ(rig.messages.last(), QString("2 parameters of R58 Motor 3 differ from %1").arg(path));
    QTableWidget* t = page->tableWidget;
    EXPECT_EQ(t->item(spd, 6)->toolTip(), "Backup: 17.250000");
    EXPECT_EQ(t->item(kt, 6)->toolTip(), "Backup: 0.950000000000");
    EXPECT_EQ(t->item(vbus, 6)->toolTip(), QString());
    EXPECT_EQ(t->item(0, 6)->toolTip(), QString());

    QTest::mouseClick(rig.tools->btnApplyBackup, Qt::LeftButton);
    EXPECT_EQ(rig.dialogs->texts(DialogProvider::Box::Question).last(),
        "Are you sure to write the backup's values to R58 Motor 3 device and save them?");
    ASSERT_TRUE(rig.waitMessage("Download parameters table successfully!"))
        << rig.messages.join('\n').toStdString();
    EXPECT_DOUBLE_EQ(rig.simValue(3, "limit_spd").toDouble(), 17.25);
    EXPECT_DOUBLE_EQ(rig.simValue(3, "Kt").toDouble(), 0.87);
    // Only the entry the motor does not let anyone write still differs.
    EXPECT_EQ(t->item(spd, 6)->toolTip(), QString());
    EXPECT_EQ(t->item(kt, 6)->toolTip(), "Backup: 0.950000000000");
}

TEST(Export, TheTableReadsBackFromTheWorkbookAndOpensThroughTheSeam)
{
    ParamTablePageRig rig(sim::SimConfig::forCanIds({3}));
    ASSERT_TRUE(rig.connect(1));
    ParamTablePage* page = rig.openPage(3);
    ASSERT_TRUE(page);
    QTemporaryDir dir;
    const QString chosen = dir.filePath("real table"); // no suffix typed
    const QString path = chosen + ".xlsx";
    rig.dialogs->answers << chosen;
    QTest::mouseClick(rig.tools->btnExportParam, Qt::LeftButton);
    ASSERT_TRUE(QFileInfo::exists(path)) << rig.errors().join('\n').toStdString();
    ASSERT_EQ(rig.dialogs->fileDialogs.size(), 1);
    const QString proposed = rig.dialogs->fileDialogs.first().dir;
    EXPECT_TRUE(QRegularExpression(R"(^\./mcu_\d{4}_\d\d_\d\d_\d{6}\.xlsx$)").match(proposed).hasMatch())
        << proposed.toStdString();
    EXPECT_EQ(rig.blockTexts, QVariantList({"Exporting...", QVariant()}));
    EXPECT_EQ(rig.messages.last(), "Param table export successfully!");
    EXPECT_EQ(rig.dialogs->texts(DialogProvider::Box::Question).last(),
        "Param table has been exported, do you want to open it now?");
    EXPECT_EQ(rig.dialogs->openedFiles, QStringList({path}));

    const char* script = R"(
import sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).worksheets[0]
print(ws.max_row, ws.max_column)
for r in (1, 2, ws.max_row):
    print("|".join("" if c.value is None else str(c.value) for c in ws[r]))
print(ws["A2"].data_type, ws["G40"].data_type)
)";
    QProcess py;
    // Debian's interpreter, which has the python3-openpyxl package.
    py.start("/usr/bin/python3", {"-c", script, path});
    ASSERT_TRUE(py.waitForFinished(30000));
    const QStringList out = QString::fromUtf8(py.readAllStandardOutput()).split('\n');
    ASSERT_GE(out.size(), 5) << py.readAllStandardError().toStdString();
    QTableWidget* t = page->tableWidget;
    EXPECT_EQ(out[0], QString("%1 7").arg(t->rowCount() + 1));
    EXPECT_EQ(out[1], "Code|Name|Type|Property|Maximum|Minimum|Value");
    QStringList first, lastRow;
    for (int c = 0; c < 7; ++c) {
        first << t->item(0, c)->text();
        lastRow << t->item(t->rowCount() - 1, c)->text();
    }
    EXPECT_EQ(out[2], first.join('|'));
    EXPECT_EQ(out[3], lastRow.join('|'));
    EXPECT_EQ(out[4], "s s"); // numbers stay text, as the table shows them

    // "No" to opening it, and a cancelled dialog, write and open nothing.
    rig.dialogs->confirm = false;
    rig.dialogs->answers << dir.filePath("two.xlsx") << QString();
    page->exportTable();
    page->exportTable();
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("two.xlsx")));
    EXPECT_EQ(rig.dialogs->openedFiles.size(), 1);
    EXPECT_EQ(rig.blockTexts.size(), 4);
}

TEST(Export, AFailedWriteIsReportedAndTheBlockBoxCloses)
{
    ParamTablePageRig rig(sim::SimConfig::forCanIds({3}));
    ASSERT_TRUE(rig.connect(1));
    ParamTablePage* page = rig.openPage(3);
    ASSERT_TRUE(page);
    QTemporaryDir dir;
    rig.dialogs->answers << dir.filePath("no/such/folder/t.xlsx");
    page->exportTable();
    ASSERT_EQ(rig.errors().size(), 1);
    EXPECT_TRUE(rig.errors().first().startsWith("Param table export failed: "))
        << rig.errors().first().toStdString();
    EXPECT_FALSE(rig.messages.contains("Param table export successfully!"));
    EXPECT_TRUE(rig.dialogs->texts(DialogProvider::Box::Question).isEmpty());
    EXPECT_EQ(rig.blockTexts, QVariantList({"Exporting...", QVariant()}));
}
