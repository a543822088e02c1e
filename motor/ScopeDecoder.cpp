#include "ScopeDecoder.h"

#include "ValueCodec.h"

#include <QtGlobal>

#include <cmath>
#include <cstring>

using ValueCodec::load;

int ScopeDecoder::sizeOf(int type)
{
    return ValueCodec::typeSize(type);
}

double ScopeDecoder::valueOf(int type, const quint8* b)
{
    switch (type) {
    case 0:
        return load<quint8>(b);
    case 1:
        return load<qint8>(b);
    case 2:
        return load<quint16>(b);
    case 3:
        return load<qint16>(b);
    case 4:
        return load<quint32>(b);
    case 5:
        return load<qint32>(b);
    case 6:
        return double(load<float>(b));
    case 7:
        return double(load<quint64>(b));
    case 8:
        return double(load<qint64>(b));
    case 9:
        return load<double>(b);
    default:
        return 0;
    }
}

QString ScopeDecoder::formatValue(int type, const quint8* b, double* value)
{
    *value = valueOf(type, b);
    QString text;
    switch (type) {
    case 0:
        text = QString::asprintf("%4u", unsigned(load<quint8>(b)));
        break;
    case 1:
        text = QString::asprintf("%5d", int(load<qint8>(b)));
        break;
    case 2:
        text = QString::asprintf("%6u", unsigned(load<quint16>(b)));
        break;
    case 3:
        text = QString::asprintf("%7d", int(load<qint16>(b)));
        break;
    case 4:
        text = QString::asprintf("%10u", load<quint32>(b));
        break;
    case 5:
        text = QString::asprintf("%11d", load<qint32>(b));
        break;
    case 6:
        text = QString::asprintf("%12.6f", double(load<float>(b)));
        break;
    case 7:
        text = QString::asprintf("%15llu", static_cast<unsigned long long>(load<quint64>(b)));
        break;
    case 8:
        text = QString::asprintf("%16lld", static_cast<long long>(load<qint64>(b)));
        break;
    case 9:
        text = QString::asprintf("%16.8f", load<double>(b));
        break;
    default:
        text = QStringLiteral("null");
        break;
    }
    // A field that fills its width would run into the one before it.
    if (!text.startsWith(QLatin1Char(' ')))
        text.prepend(QLatin1Char(' '));
    return text;
}

void ScopeDecoder::setChannels(const QVector<quint8>& slotList, const std::array<quint32, Slots>& expected)
{
    slots_ = slotList;
    expected_ = expected;
    reported_ = {};
    recordLength_ = 2;
    for (quint8 s : slots_)
        recordLength_ += sizeOf(int(expected_[s]));
    framesSeen_ = 0;
}

void ScopeDecoder::restartClock()
{
    first_ = true;
    prevCounter_ = 0;
    ticks_ = 0;
}

void ScopeDecoder::startRun(quint16 frequency)
{
    const double f = frequency ? frequency : 1;
    if (std::isfinite(tick_) && tick_ > 0 && tick_ <= 1e6f) {
        tickUs_ = double(tick_);
    } else {
        // The keys must rise: a tick of zero, below zero or not a number would stall or reverse them.
        tickUs_ = 1e6 / f;
        qWarning("oscilloscope: the motor reported a tick of %g us; using %g us (1 / %g Hz)", double(tick_),
            tickUs_, f);
    }
    // Bounded before the conversion: a tiny tick would give a ratio no integer holds, and a
    // 16-bit counter cannot tell records apart that lie further apart than this anyway.
    ticksPerRecord_ = quint32(qBound(1.0, std::round(1e6 / (f * tickUs_)), 65535.0));
    for (auto& b : buffers_)
        b.clear();
    divisor_ = frequency / 50 ? frequency / 50 : 1;
    notifyCounter_ = 0;
    capacity_ = quint32(f) * 10;
    recordCount_ = 0;
    full_ = false;
    framesSeen_ = 0;
    records_ = lost_ = duplicates_ = 0;
    restartClock();
}

bool ScopeDecoder::storeFrame(int frame, const quint8* bytes)
{
    const int last = framesPerRecord() - 1;
    if (frame < 0 || frame > last)
        return false; // not part of this layout
    if (frame == 0) {
        framesSeen_ = 0;
    } else {
        const quint32 before = (1u << frame) - 1;
        if ((framesSeen_ & before) != before) {
            // A frame of this record went missing: its bytes would be stale. The counter of the
            // next complete record shows the loss.
            framesSeen_ = 0;
            return false;
        }
    }
    std::memcpy(record_ + frame * 8, bytes, 8);
    framesSeen_ |= 1u << frame;
    if (frame < last)
        return false;
    framesSeen_ = 0;
    return decode(record_);
}

bool ScopeDecoder::decode(const quint8* record)
{
    const quint16 counter = load<quint16>(record);
    if (first_) {
        first_ = false;
        ticks_ = 0;
    } else {
        const quint16 delta = quint16(counter - prevCounter_);
        if (delta == 0) {
            ++duplicates_; // the same record again: time does not move
            return false;
        }
        ticks_ += delta;
        const quint64 steps = (delta + ticksPerRecord_ / 2) / ticksPerRecord_;
        if (steps > 1)
            lost_ += steps - 1;
    }
    prevCounter_ = counter;
    const double t = time();

    QString line;
    if (saving_)
        line = QString::asprintf("%14.6f", t);
    int offset = 2;
    for (quint8 slot : slots_) {
        const int type = int(expected_[slot]);
        double value = 0;
        if (saving_)
            line += formatValue(type, record + offset, &value);
        else
            value = valueOf(type, record + offset);
        offset += sizeOf(type);
        ScopeBuffer& buf = buffers_[slot];
        buf.append({t, value});
        if (full_)
            buf.dropFirst();
    }
    ++records_;
    if (!full_) {
        ++recordCount_;
        if (recordCount_ >= capacity_)
            full_ = true;
    }
    bool notify = false;
    if (++notifyCounter_ >= divisor_) {
        notifyCounter_ = 0;
        notify = true;
    }
    if (saving_) {
        line += QLatin1String("\r\n");
        const QByteArray bytes = line.toUtf8();
        // Written through at every notification, so a full disk shows within a fiftieth of a second.
        if (file_.write(bytes) != bytes.size() || (notify && !file_.flush()))
            failFile();
    }
    return notify;
}

void ScopeDecoder::failFile()
{
    fileError_ = file_.errorString();
    file_.close();
    saving_ = false;
}

bool ScopeDecoder::openFile(const QString& path)
{
    closeFile();
    fileError_.clear();
    file_.setFileName(path);
    saving_ = file_.open(QIODevice::WriteOnly | QIODevice::Append);
    if (!saving_)
        fileError_ = file_.errorString();
    return saving_;
}

void ScopeDecoder::closeFile()
{
    if (file_.isOpen() && !file_.flush())
        fileError_ = file_.errorString();
    if (file_.isOpen())
        file_.close();
    saving_ = false;
}
