// Accessors from one thread while the serving thread handles traffic from another.
#include "SimFixture.h"

#include <atomic>
#include <thread>

TEST_F(SimFixture, AccessorsWhileServing)
{
    sim::SimConfig cfg;
    cfg.motors = {{1, 0}, {2, 0}};
    cfg.traceKeepLines = 500;
    startSim(cfg);
    std::atomic<bool> done {false};
    std::atomic<int> reads {0};
    std::thread watcher([&] {
        const quint16 pos = quint16(server->parameterCode(0, "mechPos"));
        while (!done.load()) {
            for (int m = 0; m < server->motorCount(); ++m) {
                server->motorCanId(m);
                server->motorModeState(m);
                server->motorRunMode(m);
                server->motorScopeRunning(m);
                server->parameterValue(m, pos);
            }
            server->traceLines();
            server->framesReceived();
            server->framesSent();
            server->adapterBaud();
            server->lastFirmwareImage();
            reads.fetch_add(1);
        }
    });
    // Traffic: mode changes, set-points, reads and a scope run on motor 2.
    ASSERT_TRUE(ask(18, 0, 1, le16(0x7005) + le16(0) + le32(2))); // velocity mode
    ASSERT_TRUE(sdoFloat(1, 0x700A, 3.0f));
    ASSERT_TRUE(ask(3, 0, 1, QByteArray(8, '\0')));
    ASSERT_TRUE(ask(10, 0, 2, le16(1000) + le16(17) + le32(921600)));
    ASSERT_TRUE(ask(10, 1, 2, le16(quint16(code("mechVel", 1))) + QByteArray(6, '\0')));
    client.sendFrame(10, 2, 2, QByteArray(8, '\0'));
    int answered = 0;
    for (int i = 0; i < 300; ++i) {
        client.sendFrame(9, 0, 1, pad8(le16(0x3001)));
        // Scope frames of motor 2 arrive in between; skip them.
        while (auto f = client.nextFrame(1000)) {
            if (f->type() == 9) {
                ++answered;
                break;
            }
        }
    }
    client.sendFrame(10, 3, 2, QByteArray(8, '\0'));
    done = true;
    watcher.join();
    EXPECT_EQ(answered, 300);
    EXPECT_GT(reads.load(), 0);
    EXPECT_GE(server->framesReceived(), 305u);
}
