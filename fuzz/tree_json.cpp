// JSON import of the data tree: any document is merged without crashing,
// and its export reads back to the same export.
#include "FuzzSupport.h"
#include "NetworkJsonPackage.h"
#include "TreeRoundTrip.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool ready = fuzzSetUp();
    (void)ready;
    const QByteArray text = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    // Qt's reader loses memory on a repeated name, and each such input sets off
    // a full leak scan (after a thousand of them libFuzzer stops looking for
    // leaks at all). What it makes of them, an object without the repeat, is
    // reached from other documents.
    if (ve::NetworkJsonPackage::hasDuplicateKeys(text))
        return 0;
    const QJsonDocument doc = QJsonDocument::fromJson(text);
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
