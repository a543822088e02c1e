#pragma once

#include "SimCanFrame.h"

#include <QByteArray>

#include <functional>
#include <vector>

namespace sim {

// The motor's side of a firmware update (frame types 11 to 14): acknowledges each step,
// keeps the image in frame order and gives its verdict on the end frame.
class SimFirmwareReceiver
{
public:
    using TraceFn = std::function<void(const QString&)>;
    // retryAt: frame index refused once per transfer with a retry request (-1: never);
    // failEnd: every end frame is answered with failure; with retryForever the refusal repeats
    // every time; silentEnd: end frames are never answered.
    SimFirmwareReceiver(
        int retryAt, bool failEnd, TraceFn trace, bool retryForever = false, bool silentEnd = false);

    void start(quint8 canId, std::vector<SimCanFrame>* out);
    void info(const SimCanFrame& f, quint8 canId, std::vector<SimCanFrame>* out);
    void data(const SimCanFrame& f, quint8 canId, std::vector<SimCanFrame>* out);
    // True with *image set when the transfer ended successfully.
    bool end(const SimCanFrame& f, quint8 canId, std::vector<SimCanFrame>* out, QByteArray* image);

    bool active() const { return state_ != Idle; }

    static quint32 crc32(const QByteArray& bytes);
    static constexpr quint32 MaxImage = 0x80000;

private:
    enum State
    {
        Idle,
        Started,
        Receiving
    };
    static SimCanFrame answer(quint8 type, quint8 canId, bool ok, quint16 index = 0);

    int retryAt_;
    bool failEnd_;
    bool retryForever_;
    bool silentEnd_;
    TraceFn trace_;
    State state_ = Idle;
    quint32 size_ = 0;
    quint32 frames_ = 0;
    quint32 next_ = 0; // index of the next expected frame
    bool retried_ = false;
    QByteArray image_;
};

} // namespace sim
