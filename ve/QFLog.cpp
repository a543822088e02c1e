#include "QFLog.h"

namespace ve {

QFLog::QFLog(const QString& color, const QString& prefix, const QString& sub, const QString& path,
    const QString& suffix)
    : QLog(color, prefix, sub)
    , FLog(prefix, sub, path, suffix)
{ }

// The file part is written by ~FLog before ~QLog emits the console line.
QFLog::~QFLog() = default;

QFLog& QFLog::space()
{
    QLog::space();
    FLog::space();
    return *this;
}

} // namespace ve
