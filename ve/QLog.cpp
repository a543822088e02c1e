#include "QLog.h"

#include <QMessageLogger>

namespace ve {

QLog::QLog(const QString& color, const QString& prefix, const QString& sub)
    : m_stream(std::make_shared<QDebug>(QMessageLogger().debug()))
{
    m_stream->nospace().noquote();
    *m_stream << color << prefix;
    if (!sub.isEmpty())
        *m_stream << sub;
}

// Qt hands the line to the message output when the last QDebug goes.
QLog::~QLog()
{
    if (m_stream.use_count() == 1)
        *m_stream << QStringLiteral("\033[0m");
}

QLog& QLog::operator<<(const QString& text)
{
    *m_stream << text;
    return *this;
}

QLog& QLog::operator<<(const QVariant& value)
{
    *m_stream << value.toString();
    return *this;
}

QLog& QLog::operator<<(const void* pointer)
{
    *m_stream << pointer;
    return *this;
}

QLog& QLog::operator<<(const char* text)
{
    *m_stream << text;
    return *this;
}

QLog& QLog::space()
{
    m_stream->setAutoInsertSpaces(true);
    return *this;
}

} // namespace ve
