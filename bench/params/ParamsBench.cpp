// The page's rebuild for a typical (150 rows) and a full (576 rows) table, and the export of a
// full table to a real .xlsx file. Run offscreen: QT_QPA_PLATFORM=offscreen params_bench
#include "CANWorker.h"
#include "Helper.h"
#include "ParamTableExporter.h"
#include "ParamTablePage.h"
#include "XlsxSheetWriter.h"

#include <AppTree.h>
#include <DataManager.h>
#include <DataObject.h>
#include <ParamTable.h>

#include <QApplication>
#include <QTableWidget>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstring>

namespace {
constexpr quint8 CanId = 9;

CanPack frame(quint8 sub, quint16 code)
{
    CanPack f((quint32(19) << 24) | (quint32(sub) << 16) | (quint32(CanId) << 8) | 0xFD);
    f.data[0] = quint8(code);
    f.data[1] = quint8(code >> 8);
    return f;
}

void text(ParamTable& t, quint8 first, quint16 code, const QByteArray& s)
{
    const QByteArray b = s.leftJustified(16, '\0', true);
    bool ended = false;
    for (int k = 0; k < 3; ++k) {
        CanPack f = frame(quint8(first + k), code);
        std::memcpy(f.data + 2, b.constData() + 6 * k, k < 2 ? 6 : 4);
        t.describe(f, &ended);
    }
}

// A motor describing n0..n3 entries per group, floats with limits, as a real one would.
void describe(ParamTable& t, int n0, int n1, int n2, int n3)
{
    t.beginDescription();
    const int counts[4] = {n0, n1, n2, n3};
    bool ended = false;
    for (int g = 0; g < 4; ++g) {
        for (int i = 0; i < counts[g]; ++i) {
            const quint16 code = quint16((g << 12) | i);
            text(t, 0, code, "param_" + QByteArray::number(code, 16));
            if (g < 2) {
                text(t, 6, code, "value " + QByteArray::number(i));
                continue;
            }
            CanPack lim = frame(3, code);
            lim.data[2] = 0;
            lim.data[4] = 0x10;
            lim.data[5] = 0x27; // 0 .. 10000
            lim.data[6] = quint8(-2);
            lim.data[7] = quint8(6 | (g == 2 ? 1 << 5 : 0));
            t.describe(lim, &ended);
            CanPack v = frame(4, code);
            v.data[3] = 6;
            const float value = 1.25f * float(i);
            std::memcpy(v.data + 4, &value, 4);
            t.describe(v, &ended);
        }
    }
    CanPack end = frame(9, quint16(n2 / 2));
    end.data[2] = quint8(n0);
    end.data[3] = quint8(n1);
    end.data[4] = quint8(n2);
    end.data[5] = quint8(n2 >> 8);
    end.data[6] = quint8(n3);
    end.data[7] = quint8(n3 >> 8);
    t.describe(end, &ended);
}

ParamTablePage* pageFor(int n0, int n1, int n2, int n3)
{
    static bool ready = false;
    Helper* helper = Helper::instance();
    if (!ready) {
        servobench::importTemplate();
        helper->createServices();
        ve::DataObject* node = ve::d("project.device")->append(nullptr, "bench");
        node->copyFrom(nullptr, ve::d("template.r58_motor"), true, false);
        node->set(nullptr, "info.can_id", int(CanId), true);
        helper->setCurrentDevice(node);
        ready = true;
    }
    auto* page = new ParamTablePage;
    helper->canWorker()->engine()->withParams([&](ParamTable& t) { describe(t, n0, n1, n2, n3); });
    page->reloadTable();
    return page;
}

void rebuild(benchmark::State& state, int n0, int n1, int n2, int n3)
{
    ParamTablePage* page = pageFor(n0, n1, n2, n3);
    for (auto _ : state) {
        page->reloadTable();
        QApplication::processEvents();
    }
    state.counters["rows"] = page->tableWidget->rowCount();
    delete page;
}

void BM_Rebuild150(benchmark::State& state)
{
    rebuild(state, 8, 12, 80, 50);
}
BENCHMARK(BM_Rebuild150)->Unit(benchmark::kMillisecond);

void BM_Rebuild576(benchmark::State& state)
{
    rebuild(state, 32, 32, 256, 256);
}
BENCHMARK(BM_Rebuild576)->Unit(benchmark::kMillisecond);

void BM_Export576(benchmark::State& state)
{
    ParamTablePage* page = pageFor(32, 32, 256, 256);
    QTemporaryDir dir;
    for (auto _ : state) {
        XlsxSheetWriter writer;
        writer.begin(dir.filePath("t.xlsx"));
        ParamTableExporter::writeTable(page->tableWidget, writer);
        if (!writer.finish())
            state.SkipWithError("export failed");
    }
    state.counters["rows"] = page->tableWidget->rowCount();
    delete page;
}
BENCHMARK(BM_Export576)->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
