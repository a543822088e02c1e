// Throughput of the motor link: reassembly and parsing, sample decoding, a full parameter upload
// and a 512 KiB firmware transfer through the simulator, and the CPU an idle connection costs.

#include "AdapterLink.h"
#include "CANWorker.h"
#include "CanProtocol.h"
#include "FirmwareUpdate.h"
#include "FrameAssembler.h"
#include "ParamTransfer.h"
#include "ScopeDecoder.h"

#include <AppTree.h>
#include <DataManager.h>
#include <DataObject.h>
#include <SimServer.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <functional>
#include <memory>
#include <random>

namespace {
QByteArray frameStream(int frames)
{
    QByteArray s;
    std::mt19937 rng(7);
    for (int k = 0; k < frames; ++k) {
        CanPack f(CanProtocol::makeId(CANCOM_MOTOR_FEEDBACK, quint8(0x80), 1, 0xFD));
        for (auto& b : f.data)
            b = quint8(rng() % 0x0D);
        s += AdapterLink::envelope(f);
    }
    return s;
}

// Chunks as a CH340 delivers them.
void feedInChunks(const QByteArray& s, const std::function<void(const QByteArray&)>& f)
{
    for (int at = 0; at < s.size(); at += 32)
        f(s.mid(at, 32));
}

void BM_ReassembleAndParse(benchmark::State& state)
{
    const QByteArray s = frameStream(4096);
    for (auto _ : state) {
        FrameAssembler a;
        int frames = 0;
        feedInChunks(s, [&](const QByteArray& chunk) {
            a.feed(chunk, [&](const QByteArray& piece) {
                CanPack f;
                frames += AdapterLink::parseFrame(piece, &f) ? 1 : 0;
            });
        });
        benchmark::DoNotOptimize(frames);
    }
    state.SetItemsProcessed(state.iterations() * 4096);
}
BENCHMARK(BM_ReassembleAndParse)->Unit(benchmark::kMillisecond);

// The whole receive path of the engine: reassembly, parsing, status capture and delivery.
void BM_EngineReceivePath(benchmark::State& state)
{
    const QByteArray s = frameStream(4096);
    otaThread eng;
    int statuses = 0;
    QObject::connect(&eng, &otaThread::sendState, [&](const OtaStatus&) { ++statuses; });
    for (auto _ : state)
        feedInChunks(s, [&](const QByteArray& chunk) { eng.getSerialData(chunk); });
    benchmark::DoNotOptimize(statuses);
    state.SetItemsProcessed(state.iterations() * 4096);
}
BENCHMARK(BM_EngineReceivePath)->Unit(benchmark::kMillisecond);

void BM_DecodeRecords(benchmark::State& state)
{
    ScopeDecoder d;
    std::array<quint32, 8> types;
    types.fill(6);
    d.setChannels({0, 1, 2, 3, 4, 5, 6, 7}, types);
    d.setTickLength(500.0f);
    d.startRun(2000);
    quint8 rec[40] = {};
    quint16 counter = 0;
    for (auto _ : state) {
        ++counter;
        rec[0] = quint8(counter);
        rec[1] = quint8(counter >> 8);
        benchmark::DoNotOptimize(d.decode(rec));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeRecords);

bool waitUntil(const std::function<bool()>& cond, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > ms)
            return false;
        QEventLoop loop;
        QTimer::singleShot(1, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// With the link model: the floor the simulator's wire times imply for the same traffic, the run
// as a ratio to it, and the host's turnaround (acknowledgement in, next frame written).
void reportLink(benchmark::State& state, const sim::SimServer& sim, qint64 wallNs)
{
    const sim::SimServer::LinkStats st = sim.linkStats();
    if (st.busyUs <= 0)
        return;
    state.counters["floor_ms"] = st.busyUs / 1000.0;
    state.counters["ratio"] = double(wallNs) / 1000.0 / st.busyUs;
    state.counters["turn_p50_us"] = st.turnaroundP50Us;
    state.counters["turn_p99_us"] = st.turnaroundP99Us;
    state.counters["sim_late_p50_us"] = st.lateP50Us;
}

struct Link
{
    std::unique_ptr<sim::SimServer> sim;
    std::unique_ptr<CANWorker> worker;
    ve::DataObject* node = nullptr;
    explicit Link(bool linkModel)
    {
        ve::d("project.device")->clear(nullptr, true);
        sim::SimConfig cfg;
        cfg.faults.linkModel = linkModel;
        sim = std::make_unique<sim::SimServer>(cfg);
        sim->start();
        worker = std::make_unique<CANWorker>();
        worker->connectPort(sim->portPath());
        waitUntil(
            [&] { return worker->deviceMapSize() == 1 && worker->engine()->step() == STEP_STOP; }, 10000);
        node = worker->deviceByCanId(1);
        worker->setCurrentDevice(node);
    }
};

void BM_ParameterUpload(benchmark::State& state)
{
    for (auto _ : state) {
        Link link(state.range(0) != 0);
        link.worker->command(CANWorker::LOAD_PARAM);
        waitUntil([&] { return link.worker->engine()->status() == OTA_STA_GET_PARA_INFO_SUCCESS; }, 10000);
        ParamTransfer xfer(link.worker.get(), link.node);
        bool done = false;
        QObject::connect(&xfer, &ParamTransfer::finished, [&](bool) { done = true; });
        const quint64 before = link.sim->framesReceived() + link.sim->framesSent();
        link.sim->resetLinkStats();
        QElapsedTimer t;
        t.start();
        xfer.upload();
        waitUntil([&] { return done; }, 60000);
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
        const quint64 frames = link.sim->framesReceived() + link.sim->framesSent() - before;
        state.counters["frames"] = double(frames);
        reportLink(state, *link.sim, t.nsecsElapsed());
    }
}
BENCHMARK(BM_ParameterUpload)->Arg(0)->Arg(1)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_Firmware512KiB(benchmark::State& state)
{
    const QByteArray image(0x80000, '\x5a');
    for (auto _ : state) {
        Link link(state.range(0) != 0);
        FirmwareUpdate up(link.worker.get());
        up.setStallLimit(120000);
        bool done = false;
        bool ok = false;
        QObject::connect(&up, &FirmwareUpdate::finished, [&](bool good, const QString&) {
            done = true;
            ok = good;
        });
        const quint64 before = link.sim->framesReceived() + link.sim->framesSent();
        link.sim->resetLinkStats();
        QElapsedTimer t;
        t.start();
        up.start(image);
        waitUntil([&] { return done; }, 300000);
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
        const quint64 frames = link.sim->framesReceived() + link.sim->framesSent() - before;
        state.counters["ok"] = ok ? 1 : 0;
        state.counters["frames"] = double(frames);
        reportLink(state, *link.sim, t.nsecsElapsed());
    }
}
BENCHMARK(BM_Firmware512KiB)->Arg(0)->Arg(1)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

double cpuSeconds()
{
    rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
        + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The simulator runs as its own process so that only the worker and its engine are measured.
void BM_IdleConnectedCpu(benchmark::State& state)
{
    for (auto _ : state) {
        QProcess simProc;
        simProc.start(QStringLiteral(SERVOBENCH_SIM_EXE), QStringList());
        simProc.waitForReadyRead(5000);
        const QString port = QString::fromUtf8(simProc.readLine()).trimmed();
        ve::d("project.device")->clear(nullptr, true);
        CANWorker worker;
        worker.connectPort(port);
        waitUntil([&] { return worker.deviceMapSize() == 1 && worker.engine()->step() == STEP_STOP; }, 10000);
        const double before = cpuSeconds();
        QElapsedTimer t;
        t.start();
        QEventLoop idle;
        QTimer::singleShot(10000, &idle, &QEventLoop::quit);
        idle.exec();
        const double used = cpuSeconds() - before;
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
        state.counters["cpu_ms"] = used * 1000.0;
        state.counters["cpu_pct"] = used * 100.0 / (double(t.elapsed()) / 1000.0);
        worker.disconnectPort();
        simProc.terminate();
        simProc.waitForFinished(3000);
    }
}
BENCHMARK(BM_IdleConnectedCpu)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    servobench::importTemplate();
    ve::d().rootDobj()->set(nullptr, QStringLiteral("config.setting.upload_param_on_connected"), false, true);
    ve::d().rootDobj()->set(nullptr, QStringLiteral("config.setting.record_write_raw_data"), false, true);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
