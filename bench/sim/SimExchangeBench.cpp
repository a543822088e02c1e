// Throughput of the simulator: one request/answer exchange over its terminal, and the
// adapter's parsing of a received byte stream.
#include "SimAdapter.h"
#include "SimServer.h"
#include "SimTestClient.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

static void BM_ReadExchangeOverPty(benchmark::State& state)
{
    sim::SimConfig cfg;
    cfg.traceKeepLines = 1000;
    sim::SimServer server(cfg);
    if (!server.start()) {
        state.SkipWithError("cannot start the simulator");
        return;
    }
    SimTestClient client;
    client.open(server.portPath());
    const QByteArray req = envelope(canId(9, 0, 0xFD, 1), pad8(le16(0x3000)));
    for (auto _ : state) {
        client.send(req);
        auto f = client.nextFrame(1000);
        if (!f) {
            state.SkipWithError("no answer");
            break;
        }
        benchmark::DoNotOptimize(f->id);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadExchangeOverPty)->UseRealTime();

// What this machine's pseudo-terminals and scheduler cost by themselves: an adapter-sized
// message (17 bytes) to a thread that answers at once, and back, with both sides asleep in
// poll() like the simulator and the host. The host turnaround that motor_bench and
// servobench-sim report can be no shorter than this round trip.
static bool readExactly(int fd, char* buf, int n)
{
    int got = 0;
    while (got < n) {
        pollfd p {fd, POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0)
            return false;
        const ssize_t r = ::read(fd, buf + got, size_t(n - got));
        if (r <= 0)
            return false;
        got += int(r);
    }
    return true;
}

static void BM_PtyRoundTripBaseline(benchmark::State& state)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    termios raw {};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    constexpr int Len = 17;
    std::thread echo([&] {
        char buf[Len];
        while (readExactly(master, buf, Len) && buf[0] != 'q')
            if (::write(master, buf, Len) != Len)
                break;
    });
    char msg[Len] = {'A', 'T'};
    std::vector<double> rtt;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        if (::write(slave, msg, Len) != Len || !readExactly(slave, msg, Len)) {
            state.SkipWithError("no echo");
            break;
        }
        rtt.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
    }
    msg[0] = 'q';
    if (::write(slave, msg, Len) != Len)
        ::close(master);
    echo.join();
    ::close(slave);
    ::close(master);
    if (!rtt.empty()) {
        std::sort(rtt.begin(), rtt.end());
        state.counters["rtt_p50_us"] = rtt[rtt.size() / 2];
        state.counters["rtt_p99_us"] = rtt[std::min(rtt.size() - 1, rtt.size() * 99 / 100)];
    }
}
BENCHMARK(BM_PtyRoundTripBaseline)->Iterations(20000)->UseRealTime();

static void BM_AdapterParse(benchmark::State& state)
{
    sim::SimAdapter adapter(921600, false, [](const QString&) {});
    QByteArray stream;
    for (int i = 0; i < 100; ++i)
        stream += envelope(canId(1, 0x7F, 0xFF, 1 + i % 3), QByteArray::fromHex("7fff7fff00000000"));
    for (auto _ : state) {
        sim::SimAdapter::Result r;
        adapter.receive(stream, 921600, &r);
        benchmark::DoNotOptimize(r.frames.data());
    }
    state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_AdapterParse);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
