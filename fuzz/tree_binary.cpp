// Binary import of the data tree: any record is merged without crashing or
// allocating beyond its size, and its export reads back to the same bytes.
#include "FuzzSupport.h"
#include "TreeRoundTrip.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool ready = fuzzSetUp();
    (void)ready;
    const QByteArray record(reinterpret_cast<const char*>(data), int(size));
    auto first = freshNode();
    first->importFromBin(nullptr, record, true, true, false);
    const QByteArray exported = first->exportToBin(false);
    auto second = freshNode();
    second->importFromBin(nullptr, exported, true, true, false);
    FUZZ_CHECK(second->exportToBin(false) == exported);
    return 0;
}
