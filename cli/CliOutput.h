#pragma once

#include <QJsonValue>
#include <QString>
#include <QStringList>

// Where a command's results go: lines or JSON on standard output, progress bars only on a
// terminal, and the one error line on standard error.
class CliOutput
{
public:
    static void line(const QString& text);
    static void json(const QJsonValue& value);
    static void error(const QString& text);
    static bool stdoutIsTerminal();
    // A bar redrawn in place on a terminal; nothing when standard output is a file or pipe.
    static void progress(const QString& label, int percent, const QString& detail);
    static void endProgress();
    // Columns padded to their widest cell.
    static QString table(const QStringList& header, const QVector<QStringList>& rows);
    // One CSV field, quoted when it needs to be.
    static QString csvField(const QString& s);
};
