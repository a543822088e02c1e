// XML import of the data tree: any text is read without crashing, and what it
// leaves exports to a document that reads back to the same export.
#include "FuzzSupport.h"
#include "TreeRoundTrip.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool ready = fuzzSetUp();
    (void)ready;
    if (size < 1)
        return 0;
    // The first byte picks the flags; strict is what files are read with.
    const bool strict = data[0] & 1;
    const bool overwrite = !(data[0] & 2);
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 1), int(size - 1));
    auto first = freshNode();
    first->importFromXmlStr(nullptr, text, true, overwrite, strict);
    const QString exported = first->exportToXmlStr(0, false);
    auto second = freshNode();
    second->importFromXmlStr(nullptr, exported, true, true, true);
    FUZZ_CHECK(second->exportToXmlStr(0, false) == exported);
    return 0;
}
