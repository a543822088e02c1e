#include "CliOutput.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVector>

#include <cstdio>
#include <unistd.h>

namespace {
bool g_progressShown = false;

void write(FILE* f, const QString& text)
{
    const QByteArray b = text.toUtf8();
    std::fwrite(b.constData(), 1, size_t(b.size()), f);
    std::fflush(f);
}
} // namespace

void CliOutput::line(const QString& text)
{
    endProgress();
    write(stdout, text + QLatin1Char('\n'));
}

void CliOutput::json(const QJsonValue& value)
{
    QJsonDocument doc = value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    write(stdout, QString::fromUtf8(doc.toJson(QJsonDocument::Indented)));
}

void CliOutput::error(const QString& text)
{
    endProgress();
    QString one = text;
    one.replace(QLatin1Char('\n'), QLatin1Char(' '));
    write(stderr, QStringLiteral("servobench-cli: %1\n").arg(one));
}

bool CliOutput::stdoutIsTerminal()
{
    return isatty(STDOUT_FILENO) == 1;
}

void CliOutput::progress(const QString& label, int percent, const QString& detail)
{
    if (!stdoutIsTerminal())
        return;
    constexpr int Width = 30;
    const int p = qBound(0, percent, 100);
    const int filled = p * Width / 100;
    const QString bar = QString(filled, QLatin1Char('#')) + QString(Width - filled, QLatin1Char('.'));
    write(stdout, QStringLiteral("\r%1 [%2] %3% %4\x1b[K").arg(label, bar).arg(p, 3).arg(detail));
    g_progressShown = true;
}

void CliOutput::endProgress()
{
    if (!g_progressShown)
        return;
    g_progressShown = false;
    write(stdout, QStringLiteral("\n"));
}

QString CliOutput::table(const QStringList& header, const QVector<QStringList>& rows)
{
    QVector<int> width(header.size(), 0);
    for (int c = 0; c < header.size(); ++c)
        width[c] = header[c].size();
    for (const QStringList& r : rows)
        for (int c = 0; c < r.size() && c < width.size(); ++c)
            width[c] = qMax(width[c], r[c].size());
    auto format = [&](const QStringList& r) {
        QString s;
        for (int c = 0; c < r.size(); ++c) {
            s += c + 1 < r.size() ? r[c].leftJustified(width[c] + 2) : r[c];
        }
        return s;
    };
    QString out = format(header);
    for (const QStringList& r : rows)
        out += QLatin1Char('\n') + format(r);
    return out;
}

QString CliOutput::csvField(const QString& s)
{
    if (!s.contains(QLatin1Char(',')) && !s.contains(QLatin1Char('"')) && !s.contains(QLatin1Char('\n')))
        return s;
    QString q = s;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}
