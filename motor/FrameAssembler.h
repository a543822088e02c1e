#pragma once

#include <QByteArray>

// Splits the received serial stream into pieces; the same pieces for any split. An adapter record
// ("AT", identifier, length n, n data bytes, CR LF) is taken by its length, so data or identifier
// bytes 0D 0A never cut it; anything else (text lines such as "OK", noise) ends at CR LF.
class FrameAssembler
{
public:
    // Noise at a wrong baud rate may never contain CR LF: beyond this the oldest bytes go.
    static constexpr int MaxPending = 4096;
    static constexpr int MaxRecord = 17; // 9 + 8 data bytes

    // Appends the chunk and calls onPiece(const QByteArray&) for every complete piece, in order.
    template <class F>
    void feed(const QByteArray& chunk, F&& onPiece)
    {
        buffer_.append(chunk);
        const char* b = buffer_.constData();
        const int size = buffer_.size();
        int start = 0;
        for (;;) {
            const int left = size - start;
            const char* p = b + start;
            if (left >= 2 && p[0] == 'A' && p[1] == 'T') {
                if (left < 7)
                    break; // the length byte is still to come
                const int n = quint8(p[6]);
                if (n <= 8) {
                    if (left < n + 9)
                        break;
                    if (p[7 + n] == '\r' && p[8 + n] == '\n') {
                        onPiece(buffer_.mid(start, n + 9));
                        start += n + 9;
                        scanFrom_ = start;
                        continue;
                    }
                }
            } else if (left == 1 && p[0] == 'A') {
                break; // may become a record
            }
            // Not a record: the piece ends at the next CR LF.
            const int from = qMax(start, scanFrom_);
            const int e = buffer_.indexOf("\r\n", from);
            if (e < 0) {
                scanFrom_ = qMax(start, size - 1);
                break;
            }
            onPiece(buffer_.mid(start, e + 2 - start));
            start = e + 2;
            scanFrom_ = start;
        }
        if (start > 0) {
            buffer_.remove(0, start);
            scanFrom_ -= start;
        }
        if (buffer_.size() > MaxPending) {
            // Keep only what could still be the start of a record.
            const int drop = buffer_.size() - (MaxRecord - 1);
            buffer_.remove(0, drop);
            scanFrom_ = 0;
        }
        if (scanFrom_ < 0)
            scanFrom_ = 0;
    }
    void clear()
    {
        buffer_.clear();
        scanFrom_ = 0;
    }
    int pending() const { return buffer_.size(); }

private:
    QByteArray buffer_;
    int scanFrom_ = 0; // where the search for CR LF resumes in a line that is not a record
};
