#include "ParamTablePageRig.h"

#include "ConfigureTools.h"
#include "ParamTablePage.h"

#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {
struct ExportRig : ParamTablePageRig
{
    ExportRig()
        : ParamTablePageRig(sim::SimConfig::forCanIds({3}))
    {
        if (connect(1))
            page = openPage(3);
    }
    QStringList failures() const { return dialogs->texts(DialogProvider::Box::Critical); }
    ParamTablePage* page = nullptr;
    QTemporaryDir dir;
};
} // namespace

TEST(Export, TheTableReadsBackFromTheWorkbookAndOpensThroughTheSeam)
{
    ExportRig rig;
    ASSERT_TRUE(rig.page);
    const QString chosen = rig.dir.filePath("real table"); // no suffix typed
    const QString path = chosen + ".xlsx";
    rig.dialogs->answers << chosen;
    QTest::mouseClick(rig.tools->btnExportParam, Qt::LeftButton);
    ASSERT_TRUE(QFileInfo::exists(path)) << rig.failures().join('\n').toStdString();
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
print(ws.max_row, ws.max_column, ws.row_dimensions[1].height)
print("|".join(str(ws.column_dimensions[c].width) for c in "ABCDEFG"))
print(ws["A1"].alignment.horizontal, ws["A1"].alignment.vertical)
for r in (1, 2, ws.max_row):
    print("|".join("" if c.value is None else str(c.value) for c in ws[r]))
print(ws["A2"].data_type, ws["G40"].data_type)
)";
    QProcess py;
    // Debian's interpreter, which has the python3-openpyxl package.
    py.start("/usr/bin/python3", {"-c", script, path});
    ASSERT_TRUE(py.waitForFinished(30000));
    const QStringList out = QString::fromUtf8(py.readAllStandardOutput()).split('\n');
    ASSERT_GE(out.size(), 7) << py.readAllStandardError().toStdString();
    QTableWidget* t = rig.page->tableWidget;
    EXPECT_EQ(out[0], QString("%1 7 20.0").arg(t->rowCount() + 1));
    // openpyxl reports the stored width, which includes the cell padding a spreadsheet adds.
    const QStringList widths = out[1].split('|');
    ASSERT_EQ(widths.size(), 7);
    const double expected[] = {12, 25, 12, 10, 12, 12, 25};
    for (int c = 0; c < 7; ++c)
        EXPECT_NEAR(widths[c].toDouble(), expected[c], 0.75) << c;
    EXPECT_EQ(out[2], "center center");
    EXPECT_EQ(out[3], "Code|Name|Type|Property|Maximum|Minimum|Value");
    QStringList first, lastRow;
    for (int c = 0; c < 7; ++c) {
        first << t->item(0, c)->text();
        lastRow << t->item(t->rowCount() - 1, c)->text();
    }
    EXPECT_EQ(out[4], first.join('|'));
    EXPECT_EQ(out[5], lastRow.join('|'));
    EXPECT_EQ(out[6], "s s"); // numbers stay text, as the table shows them

    // "No" to opening it, and a cancelled dialog, write and open nothing.
    rig.dialogs->confirm = false;
    rig.dialogs->answers << rig.dir.filePath("two.xlsx") << QString();
    rig.page->exportTable();
    rig.page->exportTable();
    EXPECT_TRUE(QFileInfo::exists(rig.dir.filePath("two.xlsx")));
    EXPECT_EQ(rig.dialogs->openedFiles.size(), 1);
    EXPECT_EQ(rig.blockTexts.size(), 4);
}

TEST(Export, AFailedWriteIsReportedAndTheBlockBoxCloses)
{
    ExportRig rig;
    ASSERT_TRUE(rig.page);
    rig.dialogs->answers << rig.dir.filePath("no/such/folder/t.xlsx");
    rig.page->exportTable();
    ASSERT_EQ(rig.failures().size(), 1);
    EXPECT_TRUE(rig.failures().first().startsWith("Param table export failed: "))
        << rig.failures().first().toStdString();
    EXPECT_FALSE(rig.messages.contains("Param table export successfully!"));
    EXPECT_TRUE(rig.dialogs->texts(DialogProvider::Box::Question).isEmpty());
    EXPECT_EQ(rig.blockTexts, QVariantList({"Exporting...", QVariant()}));
}
