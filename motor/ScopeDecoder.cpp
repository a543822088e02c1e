#include "ScopeDecoder.h"

#include <cstring>

namespace {
template <class T>
T load(const quint8* b)
{
    T v;
    std::memcpy(&v, b, sizeof(T));
    return v;
}
} // namespace

int ScopeDecoder::sizeOf(int type)
{
    static const int sizes[] = {1, 1, 2, 2, 4, 4, 4, 8, 8, 8, 16};
    return (type >= 0 && type <= 10) ? sizes[type] : 0;
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
        return double(float(load<quint32>(b)));
    case 5:
        return double(float(load<qint32>(b)));
    case 6:
        return double(load<float>(b));
    case 7:
        return double(float(load<quint64>(b)));
    case 8:
        return double(float(load<qint64>(b)));
    case 9:
        return load<double>(b);
    default:
        return 0;
    }
}

QString ScopeDecoder::formatValue(int type, const quint8* b, double* value)
{
    switch (type) {
    case 0:
        *value = load<quint8>(b);
        return QString::asprintf("%4d", int(load<quint8>(b)));
    case 1:
        *value = load<qint8>(b);
        return QString::asprintf("%5d", int(load<qint8>(b)));
    case 2:
        *value = load<quint16>(b);
        return QString::asprintf("%6d", int(load<quint16>(b)));
    case 3:
        *value = load<qint16>(b);
        return QString::asprintf("%7d", int(load<qint16>(b)));
    case 4: {
        const quint32 v = load<quint32>(b);
        *value = double(float(v));
        return QString::asprintf("%10u", v);
    }
    case 5: {
        const qint32 v = load<qint32>(b);
        *value = double(float(v));
        return QString::asprintf("%11d", v);
    }
    case 6: {
        const float v = load<float>(b);
        *value = double(v);
        return QString::asprintf("%12.6f", double(v));
    }
    case 7: {
        const quint64 v = load<quint64>(b);
        *value = double(float(v));
        return QString::asprintf("%15llu", static_cast<unsigned long long>(v));
    }
    case 8: {
        const qint64 v = load<qint64>(b);
        *value = double(float(v));
        return QString::asprintf("%16lld", static_cast<long long>(v));
    }
    case 9: {
        const double v = load<double>(b);
        *value = v;
        return QString::asprintf("%16.8f", v);
    }
    default:
        *value = 0;
        return QStringLiteral("null");
    }
}

void ScopeDecoder::setChannels(const QVector<quint8>& slotList, const std::array<quint32, Slots>& expected)
{
    slots_ = slotList;
    expected_ = expected;
    reported_ = {};
    recordLength_ = 2;
    for (quint8 s : slots_)
        recordLength_ += sizeOf(int(expected_[s]));
}

void ScopeDecoder::startRun(quint16 frequency)
{
    for (auto& b : buffers_)
        b.clear();
    divisor_ = frequency / 50 ? frequency / 50 : 1;
    notifyCounter_ = 0;
    capacity_ = quint32(frequency) * 10;
    recordCount_ = 0;
    full_ = false;
}

bool ScopeDecoder::storeFrame(int frame, const quint8* bytes)
{
    const int at = frame * 8;
    if (at < 0 || at + 8 > int(sizeof(record_)))
        return false;
    std::memcpy(record_ + at, bytes, 8);
    if (at + 8 >= recordLength_)
        return decode(record_);
    return false;
}

bool ScopeDecoder::decode(const quint8* record)
{
    const quint16 counter = load<quint16>(record);
    const quint32 delta
        = counter > prevCounter_ ? quint32(counter - prevCounter_) : quint32(counter) + 65536u - prevCounter_;
    const float inc = float(delta) * tick_ / 1000000.0f;
    time_ += double(inc);
    prevCounter_ = counter;

    QString line;
    if (saving_)
        line = QString::asprintf("%14.6f", time_);
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
        const ScopePoint p {time_, value};
        // The first point of a run is replaced by the second one.
        if (buf.size() == 1)
            buf.replaceLast(p);
        buf.append(p);
        if (full_)
            buf.dropFirst();
    }
    if (saving_) {
        line += QLatin1String("\r\n");
        file_.write(line.toUtf8());
    }
    if (!full_) {
        ++recordCount_;
        if (recordCount_ >= capacity_)
            full_ = true;
    }
    if (++notifyCounter_ >= divisor_) {
        notifyCounter_ = 0;
        return true;
    }
    return false;
}

bool ScopeDecoder::openFile(const QString& path)
{
    if (file_.isOpen())
        file_.close();
    file_.setFileName(path);
    saving_ = file_.open(QIODevice::WriteOnly | QIODevice::Append);
    return saving_;
}

void ScopeDecoder::closeFile()
{
    if (file_.isOpen())
        file_.close();
    saving_ = false;
}
