#include "XlsxSheetWriter.h"

#include <xlsxwriter.h>

XlsxSheetWriter::~XlsxSheetWriter()
{
    // Closing is the only way to free a workbook; callers normally finish() it themselves.
    if (m_book)
        workbook_close(m_book);
}

void XlsxSheetWriter::fail(int code)
{
    if (m_error.isEmpty() && code != LXW_NO_ERROR)
        m_error = QString::fromUtf8(lxw_strerror(lxw_error(code)));
}

bool XlsxSheetWriter::begin(const QString& path)
{
    m_path = path.toUtf8();
    m_book = workbook_new(m_path.constData());
    if (m_book)
        m_sheet = workbook_add_worksheet(m_book, nullptr);
    if (!m_book || !m_sheet) {
        m_error = QStringLiteral("cannot create a workbook");
        return false;
    }
    m_header = workbook_add_format(m_book);
    format_set_align(m_header, LXW_ALIGN_CENTER);
    format_set_align(m_header, LXW_ALIGN_VERTICAL_CENTER);
    return true;
}

void XlsxSheetWriter::formatHeader(int row, int column, double rowHeight, double columnWidth)
{
    if (!m_sheet || row < 1 || column < 1)
        return;
    fail(worksheet_set_row(m_sheet, lxw_row_t(row - 1), rowHeight, m_header));
    fail(worksheet_set_column(m_sheet, lxw_col_t(column - 1), lxw_col_t(column - 1), columnWidth, nullptr));
}

void XlsxSheetWriter::setValue(int row, int column, const QString& text)
{
    if (!m_sheet || row < 1 || column < 1)
        return;
    const QByteArray utf8 = text.toUtf8();
    fail(worksheet_write_string(
        m_sheet, lxw_row_t(row - 1), lxw_col_t(column - 1), utf8.constData(), row == 1 ? m_header : nullptr));
}

bool XlsxSheetWriter::finish()
{
    if (!m_book)
        return false;
    const lxw_error result = workbook_close(m_book);
    m_book = nullptr;
    m_sheet = nullptr;
    fail(result);
    return m_error.isEmpty();
}
