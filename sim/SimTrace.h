#pragma once

#include <QFile>
#include <QStringList>

#include <deque>
#include <mutex>

namespace sim {

// What the simulator received and sent: kept in memory (bounded) and optionally
// written to a file, one line each with a millisecond time stamp. Thread-safe.
class SimTrace
{
public:
    SimTrace(const QString& path, int keepLines);
    ~SimTrace();

    bool isOpen() const { return ok_; }
    // False when lines go nowhere: callers skip formatting the per-frame lines.
    bool enabled() const { return keep_ > 0 || file_.isOpen(); }
    void add(const QString& line);
    QStringList lines() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::deque<QString> lines_;
    int keep_;
    QFile file_;
    bool ok_ = true;
    qint64 startMs_;
};

} // namespace sim
