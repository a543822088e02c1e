#pragma once

#include "VeGlobal.h"

#include <QDebug>
#include <QString>
#include <QVariant>

#include <memory>

namespace ve {

// One coloured console line; the destructor resets the colour and hands the
// line to Qt's message output. Copies share the stream, as QDebug copies do.
class VE_EXPORT QLog
{
public:
    QLog(const QString& color, const QString& prefix, const QString& sub = QString());
    ~QLog();

    QLog& operator<<(const QString& text);
    QLog& operator<<(const QVariant& value);
    QLog& operator<<(const void* pointer);
    QLog& operator<<(const char* text);
    template <typename T>
    QLog& operator<<(const T& piece)
    {
        *m_stream << piece;
        return *this;
    }
    QLog& space();
    QDebug& stream() { return *m_stream; }

private:
    // Shared by copies; the last copy ends the line.
    std::shared_ptr<QDebug> m_stream;
};

} // namespace ve
