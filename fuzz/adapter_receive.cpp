// The adapter's receive path: the serial stream cut into chunks anywhere
// gives the same pieces as the stream in one go, and never more bytes out
// than went in.
#include "FrameAssembler.h"
#include "FuzzSupport.h"

#include <QList>

#include <cstdint>

namespace {

// Pieces of data fed in chunks of the given lengths (cycled), then the rest.
QList<QByteArray> pieces(const QByteArray& data, const QByteArray& lengths, int* pending)
{
    FrameAssembler assembler;
    QList<QByteArray> out;
    auto collect = [&out](const QByteArray& piece) { out.append(piece); };
    int pos = 0;
    for (int i = 0; pos < data.size(); ++i) {
        const int n = lengths.isEmpty() ? data.size() : 1 + quint8(lengths.at(i % lengths.size())) % 40;
        assembler.feed(data.mid(pos, n), collect);
        pos += n;
    }
    *pending = assembler.pending();
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The first bytes, up to a 0xff, choose the chunk lengths (a real adapter
    // delivers up to 32 bytes at a time); the rest is the stream.
    const QByteArray input(reinterpret_cast<const char*>(data), int(size));
    int split = input.indexOf('\xff');
    if (split < 0 || split > 16)
        split = 0;
    const QByteArray lengths = input.left(split);
    const QByteArray stream = input.mid(split ? split + 1 : 0);

    int pendingWhole = 0;
    int pendingSplit = 0;
    int pendingBytes = 0;
    const QList<QByteArray> whole = pieces(stream, QByteArray(), &pendingWhole);
    FUZZ_CHECK(pieces(stream, lengths.isEmpty() ? QByteArray("\x07", 1) : lengths, &pendingSplit) == whole);
    FUZZ_CHECK(pieces(stream, QByteArray("\x00", 1), &pendingBytes) == whole);
    FUZZ_CHECK(pendingSplit == pendingWhole && pendingBytes == pendingWhole);
    qint64 out = pendingWhole;
    for (const QByteArray& piece : whole)
        out += piece.size();
    FUZZ_CHECK(out <= stream.size());
    return 0;
}
