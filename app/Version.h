#pragma once

#include <QString>

namespace servobench {
// The product version the About box shows.
inline QString productVersion()
{
    return QStringLiteral("0.0.3");
}
// The internal version written in the start-up log line.
inline QString internalVersion()
{
    return QStringLiteral("0.0.4");
}
} // namespace servobench
