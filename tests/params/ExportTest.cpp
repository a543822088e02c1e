#include "ParamTablePageRig.h"

#include "ConfigureTools.h"
#include "Helper.h"
#include "ParamTableExporter.h"
#include "ParamTablePage.h"
#include "SheetWriter.h"
#include <QPushButton>

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {
// Records what the exporter asks of a workbook; can fail at the end like a full disk.
struct RecordingWriter : SheetWriter
{
    struct Log
    {
        QString path;
        QStringList calls;
        QHash<QPair<int, int>, QString> cells;
        QString failWith;
    };
    explicit RecordingWriter(Log* l)
        : log(l)
    { }
    bool begin(const QString& path) override
    {
        log->path = path;
        return true;
    }
    void formatHeader(int row, int column, double height, double width) override
    {
        log->calls << QString("format %1,%2 %3 %4").arg(row).arg(column).arg(height).arg(width);
    }
    void setValue(int row, int column, const QString& text) override { log->cells[{row, column}] = text; }
    bool finish() override
    {
        log->calls << "finish";
        return log->failWith.isEmpty();
    }
    QString error() const override { return log->failWith; }
    Log* log;
};

struct ExportRig : ParamTablePageRig
{
    ExportRig()
        : ParamTablePageRig(sim::SimConfig::forCanIds({3}))
    {
        if (connect(1))
            page = openPage(3);
        ParamTableExporter::setWriterFactory([this] { return std::make_unique<RecordingWriter>(&log); });
    }
    ~ExportRig() { ParamTableExporter::setWriterFactory(nullptr); }
    QStringList status() const { return messages.filter("export"); }
    ParamTablePage* page = nullptr;
    RecordingWriter::Log log;
    QTemporaryDir dir;
};
} // namespace

TEST(Export, TheTableGoesCellByCellBehindTheBlockBoxAndOpensThroughTheSeam)
{
    ExportRig rig;
    ASSERT_TRUE(rig.page);
    const QString chosen = rig.dir.filePath("table"); // no suffix typed
    rig.dialogs->answers << chosen;
    QTest::mouseClick(rig.tools->btnExportParam, Qt::LeftButton);

    ASSERT_EQ(rig.dialogs->fileDialogs.size(), 1);
    const auto dialog = rig.dialogs->fileDialogs.first();
    EXPECT_TRUE(dialog.save);
    EXPECT_EQ(dialog.caption, "Excel file");
    EXPECT_EQ(dialog.filter, "Excel Files(*.xlsx)");
    EXPECT_TRUE(QRegularExpression(R"(^\./mcu_\d{4}_\d\d_\d\d_\d{6}\.xlsx$)").match(dialog.dir).hasMatch())
        << dialog.dir.toStdString();
    EXPECT_EQ(rig.log.path, chosen + ".xlsx");
    EXPECT_EQ(rig.log.calls.mid(0, 7),
        QStringList({"format 1,1 20 12", "format 1,2 20 25", "format 1,3 20 12", "format 1,4 20 10",
            "format 1,5 20 12", "format 1,6 20 12", "format 1,7 20 25"}));
    EXPECT_EQ(rig.log.calls.last(), "finish");
    QTableWidget* t = rig.page->tableWidget;
    EXPECT_EQ(rig.log.cells.size(), 7 * (t->rowCount() + 1));
    EXPECT_EQ(rig.log.cells.value({1, 7}), "Value");
    EXPECT_EQ(rig.log.cells.value({2, 1}), "0X0000");
    const int last = t->rowCount() - 1;
    EXPECT_EQ(rig.log.cells.value({last + 2, 2}), t->item(last, 1)->text());
    EXPECT_EQ(rig.log.cells.value({last + 2, 5}), QString()); // empty Maximum of a read-only value

    EXPECT_EQ(rig.blockTexts, QVariantList({"Exporting...", QVariant()}));
    EXPECT_EQ(rig.messages.last(), "Param table export successfully!");
    EXPECT_EQ(rig.dialogs->texts(DialogProvider::Box::Question).last(),
        "Param table has been exported, do you want to open it now?");
    EXPECT_EQ(rig.dialogs->openedFiles, QStringList({chosen + ".xlsx"}));

    // "No" to opening it, and a cancelled dialog does nothing at all.
    rig.dialogs->confirm = false;
    rig.dialogs->answers << rig.dir.filePath("two.xlsx") << QString();
    rig.page->exportTable();
    rig.page->exportTable();
    EXPECT_EQ(rig.dialogs->openedFiles.size(), 1);
    EXPECT_EQ(rig.blockTexts.size(), 4);
    EXPECT_EQ(rig.log.path, rig.dir.filePath("two.xlsx"));
}

TEST(Export, AFailedWriteIsReportedAndTheBlockBoxCloses)
{
    ExportRig rig;
    ASSERT_TRUE(rig.page);
    rig.log.failWith = "No space left on device";
    rig.dialogs->answers << rig.dir.filePath("t.xlsx");
    rig.page->exportTable();
    EXPECT_EQ(rig.dialogs->texts(DialogProvider::Box::Critical),
        QStringList({"Param table export failed: No space left on device"}));
    EXPECT_FALSE(rig.messages.contains("Param table export successfully!"));
    EXPECT_TRUE(rig.dialogs->texts(DialogProvider::Box::Question).isEmpty());
    EXPECT_EQ(rig.blockTexts, QVariantList({"Exporting...", QVariant()}));

    // The real writer into a folder that does not exist fails the same way.
    ParamTableExporter::setWriterFactory(nullptr);
    rig.dialogs->answers << rig.dir.filePath("no/such/folder/t.xlsx");
    rig.page->exportTable();
    EXPECT_EQ(rig.dialogs->texts(DialogProvider::Box::Critical).size(), 2);
    EXPECT_TRUE(
        rig.dialogs->texts(DialogProvider::Box::Critical).last().startsWith("Param table export failed: "));
    EXPECT_FALSE(rig.messages.contains("Param table export successfully!"));
    EXPECT_EQ(rig.blockTexts.last(), QVariant());
}

TEST(Export, ARealWorkbookReadsBackWithTheSheetLayout)
{
    ExportRig rig;
    ASSERT_TRUE(rig.page);
    ParamTableExporter::setWriterFactory(nullptr);
    const QString path = rig.dir.filePath("real table.xlsx");
    rig.dialogs->answers << path;
    rig.page->exportTable();
    ASSERT_TRUE(QFileInfo::exists(path))
        << rig.dialogs->texts(DialogProvider::Box::Critical).join('\n').toStdString();

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
}
