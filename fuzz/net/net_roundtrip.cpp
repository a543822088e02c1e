// A package built from the input, cut into frames and parsed again, must
// come back as exactly the package that was sent.
#include "FuzzSupport.h"
#include "NetworkFilePackage.h"
#include "NetworkFrame.h"
#include "NetworkJsonPackage.h"
#include "NetworkPackageParser.h"

#include <QJsonDocument>

#include <cstdint>
#include <cstdlib>

using ve::NetworkPackageParser;
using Event = NetworkPackageParser::Event;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool ready = fuzzSetUp();
    (void)ready;
    if (size < 3)
        return 0;
    const int type = data[0] % 3;
    const int step = 1 + data[1] * 64;
    const QByteArray input(reinterpret_cast<const char*>(data + 3), int(size - 3));
    // Repeating short inputs reaches packages that span several frames.
    const QByteArray rest = type == 2 ? input : input.repeated(1 + (data[2] >> 7) * 7);

    QByteArray package;
    Event expected;
    if (type == 0) {
        package = ve::NetworkPackage(rest).serialize();
        expected.kind = Event::Package;
        expected.bytes = rest;
    } else if (type == 1) {
        const int length = qMin(int(data[2] & 0x3f), rest.size());
        const QString path = QString::fromLatin1(rest.left(length));
        ve::NetworkFilePackage file("", path, data[2] & 0x40);
        file.setContent(rest.mid(length));
        package = file.serialize();
        if (package.isEmpty()) {
            // Only a non-ASCII target path may be refused.
            for (const QChar c : path) {
                if (c.unicode() > 0x7f)
                    return 0;
            }
            std::abort();
        }
        expected.kind = Event::File;
        expected.file = file;
    } else {
        if (ve::NetworkJsonPackage::hasDuplicateKeys(rest))
            return 0; // refused on receipt; tested by the parser target
        const QJsonDocument document = QJsonDocument::fromJson(rest);
        if (document.isNull())
            return 0;
        ve::NetworkJsonPackage json = document.isArray() ? ve::NetworkJsonPackage(document.array())
                                                         : ve::NetworkJsonPackage(document.object());
        package = json.serialize();
        expected.kind = document.isArray() ? Event::JsonArray : Event::Json;
        // The compact form writes integers past 2^53 as doubles: the peer
        // gets what that text says.
        const QJsonDocument sent = QJsonDocument::fromJson(document.toJson(QJsonDocument::Compact));
        expected.object = sent.object();
        expected.array = sent.array();
    }

    const QByteArray wire = ve::NetworkFrame::frames(package);
    NetworkPackageParser parser;
    QVector<Event> events;
    for (int pos = 0; pos < wire.size(); pos += step)
        events += parser.feed(wire.mid(pos, step)).events;
    if (events.size() != 1 || parser.hasPartial())
        std::abort();
    const Event& got = events.first();
    if (got.kind != expected.kind || got.bytes != expected.bytes || got.object != expected.object
        || got.array != expected.array)
        std::abort();
    if (got.kind == Event::File
        && (got.file.targetPath() != expected.file.targetPath()
            || got.file.content() != expected.file.content()
            || got.file.isAppend() != expected.file.isAppend()))
        std::abort();
    return 0;
}
