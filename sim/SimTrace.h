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
