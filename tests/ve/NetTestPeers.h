#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QThread>
#include <QTimer>
#include <QVariant>

#include <functional>
#include <type_traits>

// Records a signal's arguments on the test's thread. Unlike QSignalSpy,
// whose direct connection appends from the emitting worker thread, the
// checks never race the worker.
class QueuedSpy : public QObject
{
public:
    template <typename Sender, typename... Args>
    QueuedSpy(Sender* sender, void (Sender::*signal)(Args...))
    {
        connect(
            sender, signal, this,
            [this](Args... args) {
                m_calls.append(QVariantList {QVariant::fromValue(std::decay_t<Args>(args))...});
            },
            Qt::QueuedConnection);
    }

    int count() const { return m_calls.size(); }
    bool isEmpty() const { return m_calls.isEmpty(); }
    QVariantList at(int i) const { return m_calls.at(i); }
    QVariantList last() const { return m_calls.last(); }
    QList<QVariantList>::const_iterator begin() const { return m_calls.begin(); }
    QList<QVariantList>::const_iterator end() const { return m_calls.end(); }

private:
    QList<QVariantList> m_calls;
};

// Blocks on the event loop for at most ms: wakes for the first event, never spins.
inline void sleepOnEvents(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.processEvents(QEventLoop::WaitForMoreEvents);
}

// Processes events until pred holds or ms pass; bounds are wide because the
// test machine is shared and loaded.
inline bool waitFor(const std::function<bool()>& pred, int ms = 20000)
{
    QDeadlineTimer deadline(ms);
    while (!pred()) {
        if (deadline.hasExpired())
            return false;
        sleepOnEvents(20);
    }
    return true;
}

// Keeps processing events for ms.
inline void settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        sleepOnEvents(int(qMax<qint64>(1, ms - timer.elapsed())));
}
