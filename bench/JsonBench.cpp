#include "model/QvFrac.h"
#include "model/QvTransform.h"
#include "persistence/DocumentFormat.h"
#include "persistence/DocumentReader.h"
#include "persistence/WdJsonParser.h"

#include <QByteArray>

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

} // namespace

BENCHMARK_MAIN();
