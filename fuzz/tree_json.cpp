// JSON import of the data tree: any document is merged without crashing,
// and its export reads back to the same export.
#include "FuzzSupport.h"
#include "TreeRoundTrip.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool ready = (fuzzQuietLogging(), true);
    (void)ready;
    const QJsonDocument doc
        = QJsonDocument::fromJson(QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size)));
    const QJsonValue value = doc.isObject() ? QJsonValue(doc.object()) : QJsonValue(doc.array());
    auto first = freshNode();
    first->importFromJson(nullptr, value, true, true, false);
    const QJsonValue exported = first->exportToJson(false);
    auto second = freshNode();
    second->importFromJson(nullptr, exported, true, true, false);
    FUZZ_CHECK(second->exportToJson(false) == exported);
    // The variant form of the same tree takes the same way back.
    auto third = freshNode();
    third->importFromVariant(nullptr, first->exportToVariant(false), true, true, false);
    FUZZ_CHECK(third->exportToJson(false) == exported);
    return 0;
}
