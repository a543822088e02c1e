#include "FLog.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace ve {

FLog::FLog(const QString& prefix, const QString& sub, const QString& path, const QString& suffix)
    : QFile(fileName(path, suffix, QDateTime::currentDateTime().date()))
{
    const QFileInfo info(QFile::fileName());
    QDir dir = info.absoluteDir();
    if (!dir.exists())
        dir.mkpath(dir.absolutePath());
    if (!open(QIODevice::Append))
        return;
    m_stream = std::make_unique<QDebug>(&m_line);
    m_stream->nospace().noquote();
    *m_stream << prefix;
    if (!sub.isEmpty())
        *m_stream << sub;
}

FLog::~FLog()
{
    if (!m_stream)
        return;
    m_stream.reset(); // flushes the pieces into m_line
    m_line.append(QLatin1Char('\n'));
    write(m_line.toUtf8());
    close();
}

QString FLog::fileName(const QString& path, const QString& suffix, const QDate& date)
{
    return QStringLiteral("%1_%2.%3").arg(path, date.toString(QStringLiteral("yyyyMMdd")), suffix);
}

FLog& FLog::operator<<(const QString& text)
{
    if (m_stream)
        *m_stream << text;
    return *this;
}

FLog& FLog::operator<<(const QVariant& value)
{
    if (m_stream)
        *m_stream << value.toString();
    return *this;
}

FLog& FLog::operator<<(const void* pointer)
{
    if (m_stream)
        *m_stream << pointer;
    return *this;
}

FLog& FLog::operator<<(const char* text)
{
    if (m_stream)
        *m_stream << text;
    return *this;
}

FLog& FLog::space()
{
    if (m_stream)
        m_stream->setAutoInsertSpaces(true);
    return *this;
}

} // namespace ve
