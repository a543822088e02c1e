#include "ParamTableExporter.h"

#include "Helper.h"
#include "XlsxSheetWriter.h"

#include <DataManager.h>
#include <DataObject.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTableWidget>

namespace {
ParamTableExporter::WriterFactory& factory()
{
    static ParamTableExporter::WriterFactory f;
    return f;
}

// The block box goes away on every path out of the export.
struct BlockBoxGuard
{
    QObject* sender;
    explicit BlockBoxGuard(QObject* s)
        : sender(s)
    {
        ve::d().rootDobj()->set(sender, "trigger.block", ParamTableExporter::tr("Exporting..."), true);
    }
    ~BlockBoxGuard() { ve::d().rootDobj()->set(sender, "trigger.block", QVariant(), true); }
};
} // namespace

void ParamTableExporter::setWriterFactory(WriterFactory f)
{
    factory() = std::move(f);
}

QString ParamTableExporter::defaultFileName()
{
    return QString("./%1%2.xlsx").arg("mcu_", QDateTime::currentDateTime().toString("yyyy_MM_dd_hhmmss"));
}

bool ParamTableExporter::writeTable(QTableWidget* table, SheetWriter& writer)
{
    // Design widths of the columns in pixels; a spreadsheet column is about 8 pixels wide.
    static const int designWidths[] = {100, 200, 100, 80, 100, 100, 200};
    for (int c = 1; c <= table->columnCount(); ++c) {
        const int width = c <= 7 ? designWidths[c - 1] : 100;
        writer.formatHeader(1, c, 20, width / 8);
        const QTableWidgetItem* header = table->horizontalHeaderItem(c - 1);
        writer.setValue(1, c, header ? header->text() : QString());
    }
    for (int r = 0; r < table->rowCount(); ++r) {
        for (int c = 0; c < table->columnCount(); ++c) {
            const QTableWidgetItem* item = table->item(r, c);
            writer.setValue(r + 2, c + 1, item ? item->text() : QString());
        }
    }
    return writer.error().isEmpty();
}

bool ParamTableExporter::exportTable(QTableWidget* table, QWidget* parent)
{
    Helper* helper = Helper::instance();
    QString path
        = helper->getSaveFileName(parent, tr("Excel file"), defaultFileName(), tr("Excel Files(*.xlsx)"));
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += ".xlsx";
    std::unique_ptr<SheetWriter> writer = factory() ? factory()() : std::make_unique<XlsxSheetWriter>();
    bool ok = false;
    {
        BlockBoxGuard block(parent);
        ok = writer->begin(path) && writeTable(table, *writer);
        // Finished even after a failed cell, so no temporary file stays behind.
        ok = writer->finish() && ok;
    }
    if (!ok) {
        helper->showError(tr("Param table export failed: %1").arg(writer->error()));
        return false;
    }
    helper->showStatus(tr("Param table export successfully!"));
    if (helper->askConfirm(tr("Param table has been exported, do you want to open it now?")))
        helper->openLocalFile(QFileInfo(path).absoluteFilePath());
    return true;
}
