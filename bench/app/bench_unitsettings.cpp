// Cost of the settings file: building and reading its 4033 lines, and one save after
// a change, through a temporary file that replaces the old one against rewriting the
// old file in place (which a failed write would leave half-written).
#include "settings/unitsettings.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

qn::UnitSettingsStore filledStore()
{
    qn::UnitSettingsStore store;
    for (int code = 0; code < qn::UnitSettingsStore::ModelCodes; ++code)
        for (int id = 0; id < qn::UnitSettingsStore::UnitIds; ++id)
            for (int ch = 0; ch < 3; ++ch) {
                qn::ChannelSettings r;
                r.signalName = QStringLiteral("炉内温度%1").arg(ch);
                r.a = 0.125 * (ch + 1);
                r.b = -1.5;
                r.unitText = QStringLiteral("℃");
                r.graphMin = -10;
                r.graphMax = 200;
                store.setRecord(code, id, qn::RecordKind::Input, ch, r);  // no path yet: nothing is written
            }
    return store;
}

void BM_SerializeFile(benchmark::State &state)
{
    const qn::UnitSettingsStore store = filledStore();
    for (auto _ : state)
        benchmark::DoNotOptimize(store.serialize());
    state.SetBytesProcessed(int64_t(state.iterations()) * store.serialize().size());
}
BENCHMARK(BM_SerializeFile);

void BM_ReadFile(benchmark::State &state)
{
    const QByteArray bytes = filledStore().serialize();
    qn::UnitSettingsStore store;
    for (auto _ : state)
        store.deserialize(bytes);
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes.size());
}
BENCHMARK(BM_ReadFile);

void BM_SaveThroughTemporaryFile(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("qnview.ini"));
    qn::UnitSettingsStore store = filledStore();
    for (auto _ : state) {
        if (!store.save(path))
            state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_SaveThroughTemporaryFile)->Unit(benchmark::kMicrosecond);

void BM_SaveInPlace(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("qnview.ini"));
    const qn::UnitSettingsStore store = filledStore();
    for (auto _ : state) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(store.serialize()) < 0)
            state.SkipWithError("write failed");
    }
}
BENCHMARK(BM_SaveInPlace)->Unit(benchmark::kMicrosecond);

} // namespace
