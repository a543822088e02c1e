#pragma once

#include <QVector>

#include <algorithm>

// One decoded sample: time in seconds and value (the layout the plot's point type uses).
struct ScopePoint
{
    double key = 0;
    double value = 0;
};

// The points of one channel with a bounded window; dropping the oldest point is O(1) amortised.
class ScopeBuffer
{
public:
    int size() const { return points_.size() - head_; }
    bool isEmpty() const { return size() == 0; }
    const ScopePoint& at(int i) const { return points_[head_ + i]; }
    const ScopePoint* begin() const { return points_.constData() + head_; }
    const ScopePoint* end() const { return points_.constData() + points_.size(); }
    QVector<ScopePoint> toVector() const { return points_.mid(head_); }
    // Index of the first point whose key is above `key` (size() when none): where new points start.
    int indexAfter(double key) const
    {
        return int(std::upper_bound(begin(), end(), key, [](double k, const ScopePoint& p) {
            return k < p.key;
        }) - begin());
    }
    // Points held including the dropped prefix not yet compacted away (bounded by twice the window).
    int storage() const { return points_.size(); }

    void clear()
    {
        points_.clear();
        head_ = 0;
    }
    void append(const ScopePoint& p) { points_.append(p); }
    void replaceLast(const ScopePoint& p) { points_.last() = p; }
    void dropFirst()
    {
        if (isEmpty())
            return;
        ++head_;
        // Compact once the dead prefix is as large as the live part.
        if (head_ >= 1024 && head_ >= size()) {
            points_.remove(0, head_);
            head_ = 0;
        }
    }

private:
    QVector<ScopePoint> points_;
    int head_ = 0;
};
