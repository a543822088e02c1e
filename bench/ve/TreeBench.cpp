// Speed of the data tree's hot paths: path lookup, template import and the
// XML form of a 1,000-node tree.
#include "AppTree.h"
#include "DataManager.h"

#include <QCoreApplication>
#include <QJsonValue>
#include <QXmlStreamReader>

#include <benchmark/benchmark.h>

using ve::DataObject;

namespace {

// 10 branches x 10 groups x 9 leaves + the branches and groups: 1,000 nodes
// below the root, with bool, double and string leaves.
DataObject* makeThousandNodeTree()
{
    auto* root = new DataObject(QStringLiteral("bench"));
    for (int b = 0; b < 10; ++b) {
        for (int g = 0; g < 10; ++g) {
            for (int l = 0; l < 8; ++l) {
                const QString path = QStringLiteral("branch_%1.group_%2.leaf_%3").arg(b).arg(g).arg(l);
                QVariant value = l % 3 == 0 ? QVariant(l % 2 == 0)
                    : l % 3 == 1            ? QVariant(l * 1.5)
                                            : QVariant(path);
                root->set(nullptr, path, value, true);
            }
        }
    }
    // Top up to exactly 1,000 nodes with list elements.
    DataObject* list = root->rdobj(QStringLiteral("branch_0.group_0"));
    int count = 10 + 100 + 800;
    for (int i = 0; count < 1000; ++i, ++count)
        list->append(nullptr, QString())->set(nullptr, double(i));
    return root;
}

void BM_LookupFourPartPath(benchmark::State& state)
{
    DataObject* root = ve::d().rootDobj();
    root->set(nullptr, QStringLiteral("bench_lookup.setting.group.leaf"), 1, true);
    for (int i = 0; i < 50; ++i)
        root->set(nullptr, QStringLiteral("bench_lookup.setting.group.other_%1").arg(i), i, true);
    const QString path = QStringLiteral("bench_lookup.setting.group.leaf");
    for (auto _ : state)
        benchmark::DoNotOptimize(ve::d(path));
    ve::d().cancel(nullptr, QStringLiteral("bench_lookup"));
}
BENCHMARK(BM_LookupFourPartPath);

void BM_LookupFourPartPathWithPosition(benchmark::State& state)
{
    DataObject* root = ve::d().rootDobj();
    root->setList(nullptr, QStringLiteral("bench_list.rows"), QList<QVariant>() << 1 << 2 << 3 << 4, true);
    root->set(nullptr, QStringLiteral("bench_list.rows.#2.cell"), 1, true);
    const QString path = QStringLiteral("bench_list.rows.#2.cell");
    for (auto _ : state)
        benchmark::DoNotOptimize(ve::d(path));
    ve::d().cancel(nullptr, QStringLiteral("bench_list"));
}
BENCHMARK(BM_LookupFourPartPathWithPosition);

void BM_TemplateImport(benchmark::State& state)
{
    servobench::importTemplate(); // resource and tree in place
    const QJsonValue value = ve::DataManager::readFromJson(QStringLiteral(":/template/data.json"));
    for (auto _ : state) {
        state.PauseTiming();
        auto* root = new DataObject(QStringLiteral("fresh"));
        state.ResumeTiming();
        root->importFromJson(nullptr, ve::DataManager::readFromJson(QStringLiteral(":/template/data.json")),
            true, true, false);
        state.PauseTiming();
        delete root;
        state.ResumeTiming();
    }
    benchmark::DoNotOptimize(value);
}
BENCHMARK(BM_TemplateImport)->Unit(benchmark::kMicrosecond);

void BM_XmlExport1000(benchmark::State& state)
{
    DataObject* tree = makeThousandNodeTree();
    qint64 bytes = 0;
    for (auto _ : state) {
        const QString xml = tree->exportToXmlStr(4, false);
        bytes = xml.size();
        benchmark::DoNotOptimize(xml);
    }
    state.counters["chars"] = double(bytes);
    delete tree;
}
BENCHMARK(BM_XmlExport1000)->Unit(benchmark::kMicrosecond);

void BM_XmlImport1000IntoEmpty(benchmark::State& state)
{
    DataObject* tree = makeThousandNodeTree();
    const QString xml = tree->exportToXmlStr(4, false);
    delete tree;
    for (auto _ : state) {
        auto* target = new DataObject(QStringLiteral("target"));
        target->importFromXmlStr(nullptr, xml, true, true, true);
        state.PauseTiming();
        delete target;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_XmlImport1000IntoEmpty)->Unit(benchmark::kMicrosecond);

void BM_XmlImport1000IntoExisting(benchmark::State& state)
{
    DataObject* tree = makeThousandNodeTree();
    const QString xml = tree->exportToXmlStr(4, false);
    for (auto _ : state)
        tree->importFromXmlStr(nullptr, xml, true, true, true);
    delete tree;
}
BENCHMARK(BM_XmlImport1000IntoExisting)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
