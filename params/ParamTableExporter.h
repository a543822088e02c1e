#pragma once

#include <QCoreApplication>
#include <QString>

#include <functional>
#include <memory>

class QTableWidget;
class QWidget;
class SheetWriter;

// Writes a parameter table page into a spreadsheet file as the user sees it: the header row,
// then one sheet row per table row, every cell as text.
class ParamTableExporter
{
    Q_DECLARE_TR_FUNCTIONS(ParamTableExporter)

public:
    using WriterFactory = std::function<std::unique_ptr<SheetWriter>()>;

    // Asks for the file, writes it behind the block box, reports the outcome and offers to
    // open it. Returns true when the file was written.
    static bool exportTable(QTableWidget* table, QWidget* parent);
    // Copies the table into the writer (header format and every cell); false when the writer
    // failed.
    static bool writeTable(QTableWidget* table, SheetWriter& writer);

    // "./mcu_yyyy_MM_dd_hhmmss.xlsx" for the current local time.
    static QString defaultFileName();
    // Tests record the writer's calls; null restores the .xlsx writer.
    static void setWriterFactory(WriterFactory factory);
};
