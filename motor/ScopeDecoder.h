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
    static constexpr int MaxFrames = 16; // the frame number has four bits
    static int sizeOf(int type); // table sizes for codes 0..10, 0 above
    // Only these can be plotted; text and unknown codes are never offered as channels.
    static bool isNumeric(int type) { return type >= 0 && type <= 9; }
    // Text of one value in its type's format ("%4d" ... "%16.8f", "null").
    static QString formatValue(int type, const quint8* bytes, double* value);
    // The value as the buffers keep it (integers exact up to 2^53).
    static double valueOf(int type, const quint8* bytes);

    // The selected slots in ascending order with their expected type codes (by slot).
    void setChannels(const QVector<quint8>& slotList, const std::array<quint32, Slots>& expected);
    const QVector<quint8>& slotList() const { return slots_; }
    quint32 expectedType(int slot) const { return expected_[size_t(slot)]; }
    quint32 reportedType(int slot) const { return reported_[size_t(slot)]; }
    void setReportedType(int slot, quint32 type) { reported_[size_t(slot)] = type; }
    int recordLength() const { return recordLength_; }
    int framesPerRecord() const { return (recordLength_ + 7) / 8; }

    // Microseconds per counter tick as the motor reported it; checked by startRun.
    void setTickLength(float us) { tick_ = us; }
    float tickLength() const { return tick_; }
    // The tick used for time keys: the reported one when finite and in (0, 1e6] us, else 1e6 / f.
    double effectiveTick() const { return tickUs_; }
    // The next record is the first of a run (t = 0).
    void restartClock();
    // Empties the buffers and counters; decimation max(f / 50, 1) and capacity f * 10 records.
    void startRun(quint16 frequency);

    // Stores 8 bytes of frame `frame`; decodes once frames 0..last of a record all arrived.
    // Returns true when a display notification is due.
    bool storeFrame(int frame, const quint8* bytes);
    bool decode(const quint8* record);

    const std::array<ScopeBuffer, Slots>& buffers() const { return buffers_; }
    double time() const { return double(ticks_) * tickUs_ / 1e6; }
    quint32 notifyDivisor() const { return divisor_; }
    quint32 capacity() const { return capacity_; }
    bool full() const { return full_; }
    // Records of this run: decoded, lost (broken by a missing frame or skipped by the counter),
    // dropped as repeats of the previous counter.
    quint64 records() const { return records_; }
    quint64 lostRecords() const { return lost_; }
    quint64 duplicates() const { return duplicates_; }

    // Sample file, opened for appending; lines "%14.6f" + values + CR LF. A failed write
    // closes it and leaves the reason in fileError().
    bool openFile(const QString& path);
    void closeFile();
    bool saving() const { return saving_; }
    bool fileOpen() const { return file_.isOpen(); }
    QString fileError() const { return fileError_; }
    QString filePath() const { return file_.fileName(); }

private:
    void abandonRecord();
    void failFile();

    QVector<quint8> slots_;
    std::array<quint32, Slots> expected_ {};
    std::array<quint32, Slots> reported_ {};
    int recordLength_ = 2;
    quint8 record_[MaxFrames * 8] = {};
    quint32 framesSeen_ = 0; // bit k: frame k of the current record arrived
    float tick_ = 0;
    double tickUs_ = 10000;
    quint32 ticksPerRecord_ = 1;
    bool first_ = true;
    quint16 prevCounter_ = 0;
    quint64 ticks_ = 0;
    std::array<ScopeBuffer, Slots> buffers_;
    quint32 divisor_ = 1, notifyCounter_ = 0, capacity_ = 0, recordCount_ = 0;
    bool full_ = false;
    quint64 records_ = 0, lost_ = 0, duplicates_ = 0;
    QFile file_;
    bool saving_ = false;
    QString fileError_;
};
