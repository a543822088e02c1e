// The package parser fed a peer's stream in arbitrary reads: any split must
// give the same packages as the whole stream, the caches stay bounded, and
// nothing crashes or reads out of bounds.
#include "FuzzSupport.h"
#include "NetworkFrame.h"
#include "NetworkPackageParser.h"

#include <QJsonDocument>

#include <cstdint>
#include <cstdlib>

using ve::NetworkPackageParser;

namespace {

// Events up to the first one that drops the caches: after it, what is lost
// depends on where the reads were cut.
QByteArray describe(const QVector<NetworkPackageParser::Event>& events)
{
    QByteArray out;
    for (const auto& e : events) {
        if (e.kind == NetworkPackageParser::Event::PacketError || e.text == "frame size error, frame abondon")
            return out + "error;";
        out += QByteArray::number(int(e.kind)) + ':' + e.bytes.toHex() + ':' + e.text.toUtf8() + ':'
            + QJsonDocument(e.object).toJson(QJsonDocument::Compact)
            + QJsonDocument(e.array).toJson(QJsonDocument::Compact) + ':' + e.file.targetPath().toUtf8() + ':'
            + e.file.content().toHex() + ';';
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool ready = fuzzSetUp();
    (void)ready;
    if (size < 2)
        return 0;
    const quint32 limit = (data[0] & 1) ? 64 + data[0] * 16 : ve::NetworkPackage::MaxBodySize;
    quint32 seed = data[1];
    const QByteArray stream(reinterpret_cast<const char*>(data + 2), int(size - 2));

    NetworkPackageParser whole;
    whole.setPackageLimit(limit);
    const QByteArray expected = describe(whole.feed(stream).events);

    NetworkPackageParser split;
    split.setPackageLimit(limit);
    QVector<NetworkPackageParser::Event> events;
    for (int pos = 0; pos < stream.size();) {
        seed = seed * 1103515245u + 12345u;
        const int step = 1 + int((seed >> 16) % 97u);
        events += split.feed(stream.mid(pos, step)).events;
        pos += step;
        // A frame is at most 10242 bytes; a package at most its limit.
        if (split.frameCacheSize() > ve::NetworkFrame::HeaderSize + ve::NetworkFrame::MaxContentSize + 97
            || quint64(split.packageCacheSize()) > quint64(limit) + 6 + ve::NetworkFrame::MaxContentSize)
            std::abort();
    }
    if (describe(events) != expected)
        std::abort();
    split.abandon();
    if (split.hasPartial())
        std::abort();
    return 0;
}
