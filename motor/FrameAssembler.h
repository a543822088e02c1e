#pragma once

#include <QByteArray>

// Splits the received serial stream into CR LF terminated pieces; the same pieces for any split.
class FrameAssembler
{
public:
    // Appends the chunk and calls onPiece(const QByteArray&) for every complete piece, in order.
    template <class F>
    void feed(const QByteArray& chunk, F&& onPiece)
    {
        buffer_.append(chunk);
        int start = 0;
        // A CR at the end of the previous chunk may pair with an LF at the start of this one.
        int from = scanFrom_;
        for (;;) {
            const int p = buffer_.indexOf("\r\n", from);
            if (p < 0)
                break;
            onPiece(buffer_.mid(start, p + 2 - start));
            start = p + 2;
            from = start;
        }
        if (start > 0)
            buffer_.remove(0, start);
        scanFrom_ = buffer_.isEmpty() ? 0 : buffer_.size() - 1;
    }
    void clear()
    {
        buffer_.clear();
        scanFrom_ = 0;
    }
    int pending() const { return buffer_.size(); }

private:
    QByteArray buffer_;
    int scanFrom_ = 0;
};
