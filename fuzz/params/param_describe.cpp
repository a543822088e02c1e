// A motor's description stream: any sequence of type-19 frames, each 12 input bytes
// (identifier, data). The table must stay inside its arrays whatever the motor claims.
#include "FuzzSupport.h"

#include <ParamRow.h>
#include <ParamTable.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool ready = fuzzSetUp();
    (void)ready;
    static ParamTable t; // large: built once, reset by every description
    t.beginDescription();
    bool ended = false;
    for (size_t at = 0; at + 12 <= size; at += 12) {
        quint32 id = 0;
        std::memcpy(&id, data + at, 4);
        CanPack f((id & 0x00FFFFFFu) | (19u << 24));
        std::memcpy(f.data, data + at + 4, 8);
        t.describe(f, &ended);
    }
    ParamRow::all(t);
    ParamRow::channelKeys(t);
    quint16 code = 0;
    quint8 type = 0;
    for (quint16 c = 0; c < 600; c += 7)
        t.mapChannel(c, &code, &type);
    return 0;
}
