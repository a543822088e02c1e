// A long scripted session: many exchanges of every common kind, watching memory.
#include "SimFixture.h"

#include <malloc.h>
#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes(void);
#endif

namespace {
// Bytes in live heap blocks (AddressSanitizer's quarantine of freed blocks excluded,
// which makes RSS useless there).
long long liveHeapBytes()
{
#if defined(__SANITIZE_ADDRESS__)
    return static_cast<long long>(__sanitizer_get_current_allocated_bytes());
#else
    return static_cast<long long>(mallinfo2().uordblks);
#endif
}
} // namespace

TEST_F(SimFixture, HundredThousandExchanges)
{
    const int total = qEnvironmentVariableIsSet("SIM_SOAK_EXCHANGES")
        ? qEnvironmentVariableIntValue("SIM_SOAK_EXCHANGES")
        : 100000;
    sim::SimConfig cfg;
    cfg.motors = {{1, 0}, {2, 0}, {3, 0}};
    startSim(cfg);
    const quint16 kp = quint16(code("loc_kp"));
    const QByteArray mit = QByteArray::fromHex("7fff7fff00000000");
    long long heapAfterWarmup = 0;
    QElapsedTimer t;
    t.start();
    int exchanges = 0;
    for (int i = 0; i < total; ++i) {
        const int motor = 1 + i % 3;
        std::optional<WireFrame> a;
        switch (i % 6) {
        case 0:
            a = ask(0, 0, motor, QByteArray(1, '\0'));
            break;
        case 1:
            a = ask(9, 0, motor, pad8(le16(quint16(0x3000 | (i / 6) % 18))));
            client.framesUntilQuiet(0);
            break;
        case 2:
            a = ask(8, 0, motor, le16(kp) + char(6) + char(0) + f32le(float(10 + i % 50)));
            break;
        case 3:
            a = ask(3 + (i / 6) % 2, 0, motor, QByteArray(8, '\0'));
            break;
        case 4:
            a = ask(1, 0x7F, motor, mit);
            break;
        default:
            a = sdoFloat(motor, 0x700A, float((i % 7) - 3));
            break;
        }
        ASSERT_TRUE(a) << "exchange " << i;
        ++exchanges;
        // The in-memory trace is full (bounded) well before a fifth of the session.
        if (i == total / 5)
            heapAfterWarmup = liveHeapBytes();
    }
    const double secs = t.nsecsElapsed() / 1e9;
    const long long heapEnd = liveHeapBytes();
    std::printf(
        "[ info ] %d exchanges in %.1f s (%.0f/s); live heap after 20%%: %lld KiB, at end: %lld KiB\n",
        exchanges, secs, exchanges / secs, heapAfterWarmup / 1024, heapEnd / 1024);
    EXPECT_EQ(exchanges, total);
    if (total >= 50000) {
        EXPECT_LT(heapEnd - heapAfterWarmup, 512 * 1024) << "memory must not grow with the session";
    }
    EXPECT_EQ(server->framesReceived(), quint64(total));
}
