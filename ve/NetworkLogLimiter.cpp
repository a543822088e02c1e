#include "NetworkLogLimiter.h"

namespace ve {

NetworkLogLimiter::NetworkLogLimiter(int lines_per_window, qint64 window_ms)
    : m_max(lines_per_window)
    , m_window(window_ms)
{ }

bool NetworkLogLimiter::allow(qint64 now_ms, QString* summary)
{
    summary->clear();
    if (m_start < 0 || now_ms - m_start >= m_window) {
        if (m_suppressed > 0)
            *summary = QString("%1 network error lines suppressed").arg(m_suppressed);
        m_start = now_ms;
        m_count = 0;
        m_suppressed = 0;
    }
    if (m_count >= m_max) {
        ++m_suppressed;
        return false;
    }
    ++m_count;
    return true;
}

} // namespace ve
