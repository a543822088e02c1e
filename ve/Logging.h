#pragma once

#include "QFLog.h"

namespace ve {

// Base path and suffix of the daily log file "./log/global_yyyyMMdd.log".
VE_EXPORT QString logPath();
VE_EXPORT QString logSuffix();

// "[L|MM/dd hh:mm:ss.zzz]" with the current local time.
VE_EXPORT QString logHeader(QChar level);

// One line at a level, to the console (coloured) and the day's file; the
// line ends with the statement:  ve::logError() << "cannot open " << path;
VE_EXPORT QFLog logInfo();
VE_EXPORT QFLog logWarning();
VE_EXPORT QFLog logError();
VE_EXPORT QFLog logSpecial();

} // namespace ve
