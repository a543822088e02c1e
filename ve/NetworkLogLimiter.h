#pragma once

#include "VeGlobal.h"

#include <QString>

namespace ve {

// Caps the protocol-error lines one endpoint writes, so a peer cannot fill
// the disk through the log: at most a number of lines per window, then one
// line saying how many were left out.
class VE_EXPORT NetworkLogLimiter
{
public:
    explicit NetworkLogLimiter(int lines_per_window = 10, qint64 window_ms = 1000);

    // True when a line may be written at now_ms (a monotonic clock). A
    // returned summary, when not empty, is to be written first.
    bool allow(qint64 now_ms, QString* summary);

private:
    int m_max;
    qint64 m_window;
    qint64 m_start = -1;
    int m_count = 0;
    int m_suppressed = 0;
};

} // namespace ve
