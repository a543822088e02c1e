#include "SimTrace.h"

#include <QDateTime>

#include <cstdio>

namespace sim {

SimTrace::SimTrace(const QString& path, int keepLines)
    : keep_(qMax(0, keepLines))
    , startMs_(QDateTime::currentMSecsSinceEpoch())
{
    if (path == QLatin1String("-"))
        ok_ = file_.open(stderr, QIODevice::WriteOnly | QIODevice::Text);
    else if (!path.isEmpty()) {
        file_.setFileName(path);
        ok_ = file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text);
    }
}

SimTrace::~SimTrace()
{
    if (file_.isOpen())
        file_.close();
}

void SimTrace::add(const QString& line)
{
    const qint64 ms = QDateTime::currentMSecsSinceEpoch() - startMs_;
    const QString stamped = QStringLiteral("%1 %2").arg(ms / 1000.0, 10, 'f', 3).arg(line);
    std::lock_guard<std::mutex> lock(mutex_);
    if (keep_ > 0) {
        lines_.push_back(stamped);
        while (int(lines_.size()) > keep_)
            lines_.pop_front();
    }
    if (file_.isOpen()) {
        file_.write(stamped.toUtf8());
        file_.write("\n", 1);
        file_.flush();
    }
}

QStringList SimTrace::lines() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    QStringList out;
    out.reserve(int(lines_.size()));
    for (const QString& l : lines_)
        out << l;
    return out;
}

void SimTrace::clear()
{
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
}

} // namespace sim
