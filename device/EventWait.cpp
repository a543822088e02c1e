#include "EventWait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

bool EventWait::until(const std::function<bool()>& condition, int limitMs)
{
    QElapsedTimer clock;
    clock.start();
    // Engine statuses arrive as queued events; the tick only bounds the sleep between tests so
    // the wait neither spins the CPU nor oversleeps its limit.
    QTimer tick;
    tick.setInterval(5);
    tick.start();
    while (!condition()) {
        if (limitMs >= 0 && clock.elapsed() >= limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::ExcludeUserInputEvents);
    }
    return true;
}
