#include "Logging.h"

#include <QDateTime>

namespace ve {

QString logPath()
{
    return QStringLiteral("./log/global");
}

QString logSuffix()
{
    return QStringLiteral("log");
}

QString logHeader(QChar level)
{
    return QStringLiteral("[%1|%2]").arg(
        level, QDateTime::currentDateTime().toString(QStringLiteral("MM/dd hh:mm:ss.zzz")));
}

QFLog logInfo()
{
    return QFLog(QStringLiteral("\033[36m"), logHeader(QLatin1Char('I')), QString(), logPath(), logSuffix());
}

QFLog logWarning()
{
    return QFLog(QStringLiteral("\033[33m"), logHeader(QLatin1Char('W')), QString(), logPath(), logSuffix());
}

QFLog logError()
{
    return QFLog(QStringLiteral("\033[31m"), logHeader(QLatin1Char('E')), QString(), logPath(), logSuffix());
}

QFLog logSpecial()
{
    return QFLog(QStringLiteral("\033[35m"), logHeader(QLatin1Char('S')), QString(), logPath(), logSuffix());
}

} // namespace ve
