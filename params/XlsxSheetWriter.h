#pragma once

#include "SheetWriter.h"

#include <QByteArray>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

// An .xlsx workbook written with libxlsxwriter (every cell a string).
class XlsxSheetWriter : public SheetWriter
{
public:
    ~XlsxSheetWriter() override;
    bool begin(const QString& path) override;
    void formatHeader(int row, int column, double rowHeight, double columnWidth) override;
    void setValue(int row, int column, const QString& text) override;
    bool finish() override;
    QString error() const override { return m_error; }

private:
    void fail(int code);

    lxw_workbook* m_book = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    lxw_format* m_header = nullptr;
    QByteArray m_path;
    QString m_error;
};
