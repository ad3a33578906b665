#include "model/QvFrac.h"
#include "model/QvTransform.h"
#include "persistence/DocumentFormat.h"
#include "persistence/AtomicWrite.h"
#include "persistence/DocumentReader.h"
#include "persistence/RecoveryFormat.h"
#include "persistence/WdJsonParser.h"

#include <QByteArray>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

using namespace attractor;

namespace {

FracPtr fractalWithMaps(int64_t count)
{
    std::srand(1);
    auto list = std::make_shared<TransformList>();
    list->reserve(static_cast<size_t>(count));
    for (int64_t k = 0; k < count; ++k) {
        // 64-bit values print with all 15 digits: the longest text the writer makes.
        auto t = std::make_shared<QvTransform>(QPointF(std::rand() / 2147483647.0, std::rand() / 2147483647.0),
                                               static_cast<float>(std::rand() / 2147483647.0 * 6.28),
                                               QPointF(std::rand() / 2147483647.0 * 2 - 1, std::rand() / 2147483647.0),
                                               _rgb_color{0.1f, 0.2f, 0.3f, 1.0f});
        list->push_back(t);
    }
    return std::make_shared<QvFrac>(list, 100000, _rgb_color{0, 0, 0, 1});
}

void BM_ReadDocument(benchmark::State &state)
{
    const QByteArray bytes = jsonRepresentation(*fractalWithMaps(state.range(0))).toUtf8();
    for (auto _ : state) {
        const DocumentReadResult result = readDocument(bytes);
        benchmark::DoNotOptimize(result.fractal);
    }
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes.size());
}
BENCHMARK(BM_ReadDocument)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond)->Complexity();

void BM_ParseText(benchmark::State &state)
{
    const QString text = jsonRepresentation(*fractalWithMaps(state.range(0)));
    for (auto _ : state) {
        std::optional<JsonValue> root = jsonObject(text);
        benchmark::DoNotOptimize(root);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ParseText)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond)->Complexity();

void BM_WriteDocument(benchmark::State &state)
{
    const FracPtr fractal = fractalWithMaps(state.range(0));
    for (auto _ : state) {
        QByteArray bytes = jsonRepresentation(*fractal).toUtf8();
        benchmark::DoNotOptimize(bytes);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_WriteDocument)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond)->Complexity();

// One flat table with many keys: replacing a repeated key must not make
// reading quadratic.
void BM_ParseWideTable(benchmark::State &state)
{
    QString text = QStringLiteral("{");
    for (int64_t k = 0; k < state.range(0); ++k)
        text += QStringLiteral("'key%1':%2, ").arg(k % 1000 == 0 ? 0 : k).arg(k);
    text += QLatin1Char('}');
    for (auto _ : state) {
        std::optional<JsonValue> root = jsonObject(text);
        benchmark::DoNotOptimize(root);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ParseWideTable)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond)->Complexity();

// A recovery copy: made on the interface thread after an edit's pause ...
void BM_RecoveryCopyMade(benchmark::State &state)
{
    const FracPtr fractal = fractalWithMaps(state.range(0));
    const RecoveryInfo info{QStringLiteral("/home/user/fern.frac"), QStringLiteral("fern.frac"), QDateTime::currentDateTimeUtc()};
    for (auto _ : state) {
        QByteArray bytes = recoveryText(info, jsonRepresentation(*fractal).toUtf8());
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_RecoveryCopyMade)->Arg(3)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

// ... and written atomically on its own thread.
void BM_RecoveryCopyWritten(benchmark::State &state)
{
    const QByteArray bytes = recoveryText({}, jsonRepresentation(*fractalWithMaps(state.range(0))).toUtf8());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("copy.recovery"));
    for (auto _ : state) {
        QString error;
        benchmark::DoNotOptimize(writeFileAtomically(path, bytes, &error));
    }
}
BENCHMARK(BM_RecoveryCopyWritten)->Arg(3)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
