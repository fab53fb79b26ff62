#include "KindBenchmarks.h"

#include "converters/StatementKinds.h"
#include "text/LineModel.h"
#include "text/Regional.h"

#include <benchmark/benchmark.h>

using namespace tallemo;

namespace {

// Times one kind's converter on a fresh line model of a generated statement each round; building
// the model is left out (the line model's own benchmarks time it). Bytes are the statement's
// UTF-8 size.
void runConverter(benchmark::State& state, const StatementKind& kind) {
    const QString statement = sampleStatement(kind, static_cast<int>(state.range(0)));
    const ConvertContext context{
        Regional::fixed(QStringLiteral("2025/01/15")),
        [](LineModel&) { return 155.576923076923; },
        true,
    };
    for (auto _ : state) {
        state.PauseTiming();
        LineModel lines(statement);
        state.ResumeTiming();
        std::optional<OutputList> rows = kind.convert(lines, context);
        benchmark::DoNotOptimize(rows);
    }
    state.SetBytesProcessed(state.iterations() * statement.toUtf8().size());
}

void runRecogniser(benchmark::State& state, const StatementKind& kind) {
    const QString statement = sampleStatement(kind, static_cast<int>(state.range(0)));
    const LineModel lines(statement);
    for (auto _ : state) {
        Recognition recognition = kind.recognise(lines);
        benchmark::DoNotOptimize(recognition);
    }
    state.SetBytesProcessed(state.iterations() * statement.toUtf8().size());
}

// Every kind of the table, converted and recognised at three sizes.
const bool registered = bench::registerForEveryKind("Convert", runConverter) &&
                        bench::registerForEveryKind("Recognise", runRecogniser);

} // namespace
