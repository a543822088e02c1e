// Throughput of the simulator: one request/answer exchange over its terminal, and the
// adapter's parsing of a received byte stream.
#include "SimAdapter.h"
#include "SimServer.h"
#include "SimTestClient.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

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
