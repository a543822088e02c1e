#pragma once

#include "FLog.h"
#include "QLog.h"

namespace ve {

// A line written to the console and to the day's log file at once.
class VE_EXPORT QFLog : public QLog, public FLog
{
public:
    QFLog(const QString& color, const QString& prefix, const QString& sub, const QString& path,
        const QString& suffix);
    ~QFLog() override;

    template <typename T>
    QFLog& operator<<(const T& piece)
    {
        QLog::operator<<(piece);
        FLog::operator<<(piece);
        return *this;
    }
    QFLog& operator<<(const char* text)
    {
        QLog::operator<<(text);
        FLog::operator<<(text);
        return *this;
    }
    QFLog& space();
};

} // namespace ve
