#include "SimFirmwareReceiver.h"

namespace sim {

SimFirmwareReceiver::SimFirmwareReceiver(
    int retryAt, bool failEnd, TraceFn trace, bool retryForever, bool silentEnd)
    : retryAt_(retryAt)
    , failEnd_(failEnd)
    , retryForever_(retryForever)
    , silentEnd_(silentEnd)
    , trace_(std::move(trace))
{ }

SimCanFrame SimFirmwareReceiver::answer(quint8 type, quint8 canId, bool ok, quint16 index)
{
    SimCanFrame f = SimCanFrame::fromMotor(type, ok ? quint16(canId) : quint16(canId | 0xF00));
    if (!ok)
        f.setU16(0, index);
    return f;
}

void SimFirmwareReceiver::start(quint8 canId, std::vector<SimCanFrame>* out)
{
    state_ = Started;
    size_ = frames_ = next_ = 0;
    retried_ = false;
    image_.clear();
    trace_(QStringLiteral("firmware: update mode"));
    out->push_back(answer(11, canId, true));
}

void SimFirmwareReceiver::info(const SimCanFrame& f, quint8 canId, std::vector<SimCanFrame>* out)
{
    if (state_ == Idle) {
        trace_(QStringLiteral("firmware: information frame outside update mode ignored"));
        return;
    }
    const quint32 size = f.u32(0);
    const quint32 frames = f.u32(4);
    if (size == 0 || size > MaxImage || frames != (size + 7) / 8) {
        trace_(QStringLiteral("firmware: bad information (size %1, frames %2) not acknowledged")
                   .arg(size)
                   .arg(frames));
        return;
    }
    size_ = size;
    frames_ = frames;
    next_ = 0;
    retried_ = false;
    image_.clear();
    image_.reserve(int(frames * 8));
    state_ = Receiving;
    trace_(QStringLiteral("firmware: expecting %1 bytes in %2 frames").arg(size).arg(frames));
    out->push_back(answer(12, canId, true));
}

void SimFirmwareReceiver::data(const SimCanFrame& f, quint8 canId, std::vector<SimCanFrame>* out)
{
    if (state_ != Receiving) {
        trace_(QStringLiteral("firmware: data frame outside a transfer ignored"));
        return;
    }
    const quint32 index = f.field();
    if (index > next_ || index >= frames_) {
        trace_(QStringLiteral("firmware: frame %1 out of order, asking for %2").arg(index).arg(next_));
        out->push_back(answer(13, canId, false, quint16(next_)));
        return;
    }
    if (int(index) == retryAt_ && (!retried_ || retryForever_)) {
        // Injected fault: pretend this frame was corrupted and ask to resume two back.
        retried_ = true;
        next_ = index >= 2 ? index - 2 : 0;
        image_.truncate(int(next_ * 8));
        trace_(QStringLiteral("firmware: retry requested at frame %1 from %2").arg(index).arg(next_));
        out->push_back(answer(13, canId, false, quint16(next_)));
        return;
    }
    // A frame sent again replaces what followed it: the image stays in frame order.
    image_.truncate(int(index * 8));
    image_.append(reinterpret_cast<const char*>(f.data), 8);
    next_ = index + 1;
    out->push_back(answer(13, canId, true));
}

bool SimFirmwareReceiver::end(
    const SimCanFrame& f, quint8 canId, std::vector<SimCanFrame>* out, QByteArray* image)
{
    if (state_ == Idle) {
        trace_(QStringLiteral("firmware: end frame outside update mode ignored"));
        return false;
    }
    if (silentEnd_) {
        trace_(QStringLiteral("firmware: end frame not answered (injected fault)"));
        return false;
    }
    const quint32 count = f.u32(0);
    const bool complete = state_ == Receiving && next_ == frames_ && count == frames_;
    if (!complete || failEnd_) {
        trace_(QStringLiteral("firmware: transfer failed (%1 of %2 frames, end frame says %3%4)")
                   .arg(next_)
                   .arg(frames_)
                   .arg(count)
                   .arg(failEnd_ ? ", injected failure" : ""));
        out->push_back(answer(14, canId, false, quint16(next_)));
        return false;
    }
    *image = image_.left(int(size_));
    state_ = Idle;
    image_.clear();
    image_.squeeze();
    out->push_back(answer(14, canId, true));
    return true;
}

quint32 SimFirmwareReceiver::crc32(const QByteArray& bytes)
{
    static quint32 table[256];
    static const bool init = [] {
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        return true;
    }();
    Q_UNUSED(init);
    quint32 crc = 0xFFFFFFFFu;
    for (char ch : bytes)
        crc = table[(crc ^ quint8(ch)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

} // namespace sim
