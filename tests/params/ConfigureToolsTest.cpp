#include "ParamTablePageRig.h"

#include "CANWorker.h"
#include "ConfigureTools.h"
#include "Editor.h"
#include "Helper.h"
#include "ParamTablePage.h"

#include <DataManager.h>
#include <DataObject.h>
#include <ParamBackup.h>
#include <ParamRow.h>
#include <ParamTable.h>

#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

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
    EXPECT_EQ(rig.dialogs->texts(DialogProvider::Box::Critical),
        QStringList({"No activated device!", "No activated device!", "No activated device!"}));
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
    const auto at = [&](const QString& name) {
        for (int k = 0; k < rows.size(); ++k)
            if (rows[k].name == name)
                return k;
        return -1;
    };
    const int spd = at("limit_spd"), kt = at("Kt"), vbus = at("VBUS");
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
    EXPECT_TRUE(rig.dialogs->texts(DialogProvider::Box::Critical).last().startsWith("Cannot compare with "));
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
