#pragma once

#include "ScopeBuffer.h"

#include <QFile>
#include <QString>

#include <array>

// Turns the oscilloscope's sample records into per-channel points and sample-file lines.
class ScopeDecoder
{
public:
    static constexpr int Slots = 8;
    static int sizeOf(int type); // table sizes for codes 0..10, 0 above
    // Text of one value in its type's format ("%4d" ... "%16.8f", "null").
    static QString formatValue(int type, const quint8* bytes, double* value);
    // The value as the buffers keep it (64-bit and 32-bit integers through single precision).
    static double valueOf(int type, const quint8* bytes);

    // The selected slots in ascending order with their expected type codes (by slot).
    void setChannels(const QVector<quint8>& slotList, const std::array<quint32, Slots>& expected);
    const QVector<quint8>& slotList() const { return slots_; }
    quint32 expectedType(int slot) const { return expected_[size_t(slot)]; }
    quint32 reportedType(int slot) const { return reported_[size_t(slot)]; }
    void setReportedType(int slot, quint32 type) { reported_[size_t(slot)] = type; }
    int recordLength() const { return recordLength_; }

    void setTickLength(float us) { tick_ = us; }
    float tickLength() const { return tick_; }
    void restartClock()
    {
        prevCounter_ = 0;
        time_ = 0;
    }
    // Empties the buffers; decimation max(f / 50, 1) and capacity f * 10 records.
    void startRun(quint16 frequency);

    // Stores 8 bytes at frame * 8; decodes when the record is complete. Returns true when a
    // display notification is due.
    bool storeFrame(int frame, const quint8* bytes);
    bool decode(const quint8* record);

    const std::array<ScopeBuffer, Slots>& buffers() const { return buffers_; }
    double time() const { return time_; }
    quint32 notifyDivisor() const { return divisor_; }
    quint32 capacity() const { return capacity_; }
    bool full() const { return full_; }

    // Sample file, opened for appending; lines "%14.6f" + values + CR LF.
    bool openFile(const QString& path);
    void closeFile();
    bool saving() const { return saving_; }
    bool fileOpen() const { return file_.isOpen(); }

private:
    QVector<quint8> slots_;
    std::array<quint32, Slots> expected_ {};
    std::array<quint32, Slots> reported_ {};
    int recordLength_ = 2;
    quint8 record_[136] = {};
    float tick_ = 0;
    quint16 prevCounter_ = 0;
    double time_ = 0;
    std::array<ScopeBuffer, Slots> buffers_;
    quint32 divisor_ = 1, notifyCounter_ = 0, capacity_ = 0, recordCount_ = 0;
    bool full_ = false;
    QFile file_;
    bool saving_ = false;
};
