#pragma once

#include "SimCanFrame.h"

#include <QVector>

#include <functional>
#include <vector>

namespace sim {

class SimParamTable;

// The motor's oscilloscope (frame type 10): configuration, channel groups, and sample
// records of the chosen parameters streamed in 8-byte data frames.
class SimScopeStreamer
{
public:
    using TraceFn = std::function<void(const QString&)>;
    SimScopeStreamer(int wrongTypeChannel, TraceFn trace);

    void request(const SimCanFrame& f, quint8 canId, const SimParamTable& table, qint64 nowUs,
        std::vector<SimCanFrame>* out);
    bool running() const { return running_; }
    qint64 nextSampleUs() const { return startUs_ + index_ * 1000000 / qMax<int>(frequency_, 1); }
    // Emits one record from the table's current values and schedules the next one.
    void sample(quint8 canId, const SimParamTable& table, std::vector<SimCanFrame>* out);
    // Skips records that can no longer be sent in time (the server fell behind).
    void skipTo(qint64 nowUs);

    static constexpr int MaxFrequency = 2000;

private:
    int wrongTypeChannel_;
    TraceFn trace_;
    quint16 frequency_ = 0;
    int channelCount_ = 0; // announced by the channel frames
    QVector<quint16> codes_;
    bool running_ = false;
    qint64 startUs_ = 0;
    qint64 index_ = 0; // records since start; its low 16 bits are the record counter
};

} // namespace sim
