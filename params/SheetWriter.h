#pragma once

#include <QString>

// Where the exported table goes: one sheet of a workbook, cells addressed from (1, 1) as in a
// spreadsheet. Tests record the calls; the program writes an .xlsx file.
class SheetWriter
{
public:
    virtual ~SheetWriter() = default;
    // Starts a workbook that finish() writes to path; false (with error()) when it cannot.
    virtual bool begin(const QString& path) = 0;
    // A header cell: its row's height, its column's width, centred both ways.
    virtual void formatHeader(int row, int column, double rowHeight, double columnWidth) = 0;
    virtual void setValue(int row, int column, const QString& text) = 0;
    // Writes the file; false (with error()) when it is not complete on disk.
    virtual bool finish() = 0;
    virtual QString error() const = 0;
};
