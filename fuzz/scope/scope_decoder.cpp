// The oscilloscope's sample stream as a motor may send it: any channel layout, any tick length,
// then any sequence of (frame number, 8 data bytes). Whatever arrives, every channel's keys
// must rise strictly (the plot needs sorted keys), stay finite, and the buffers stay within
// their window.
#include "FuzzSupport.h"

#include <ScopeDecoder.h>

#include <QVector>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool ready = fuzzSetUp();
    (void)ready;
    // Layout: 8 slot type codes (0xFF: slot unused), tick (float), frequency (uint16).
    if (size < 14)
        return 0;
    QVector<quint8> slotList;
    std::array<quint32, ScopeDecoder::Slots> expected {};
    for (int s = 0; s < ScopeDecoder::Slots; ++s) {
        if (data[s] == 0xFF)
            continue;
        const quint8 type = data[s] % 11;
        if (!ScopeDecoder::isNumeric(type))
            continue; // the channel dialog never offers these
        slotList.append(quint8(s));
        expected[size_t(s)] = type;
    }
    float tick = 0;
    std::memcpy(&tick, data + 8, 4);
    const quint16 frequency = quint16(1 + (data[12] | (data[13] << 8)) % 2000);

    ScopeDecoder d;
    d.setChannels(slotList, expected);
    d.setTickLength(tick);
    d.restartClock();
    d.startRun(frequency);
    for (size_t at = 14; at + 9 <= size; at += 9)
        d.storeFrame(data[at] & 0x0F, data + at + 1);

    for (const ScopeBuffer& b : d.buffers()) {
        if (b.size() > int(d.capacity()) + 1)
            std::abort();
        for (int i = 0; i < b.size(); ++i) {
            if (!std::isfinite(b.at(i).key))
                std::abort();
            if (i > 0 && !(b.at(i).key > b.at(i - 1).key))
                std::abort();
        }
    }
    return 0;
}
