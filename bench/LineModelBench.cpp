#include "converters/StatementKinds.h"

#include "text/LineModel.h"

#include <benchmark/benchmark.h>

using namespace tallemo;

namespace {

QString cardStatement(const benchmark::State& state) {
    return sampleStatement(*findBuiltInKind(u"card"), static_cast<int>(state.range(0)));
}

int64_t utf8Bytes(const QString& text) {
    return text.toUtf8().size();
}

void LineModelConstruct(benchmark::State& state) {
    const QString text = cardStatement(state);
    for (auto _ : state) {
        LineModel lines(text);
        benchmark::DoNotOptimize(lines.count());
    }
    state.SetBytesProcessed(state.iterations() * utf8Bytes(text));
}

void LineModelText(benchmark::State& state) {
    const QString text = cardStatement(state);
    const LineModel lines(text);
    for (auto _ : state) {
        QString out = lines.text();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * utf8Bytes(text));
}

// The converters' access pattern: read every line from the bottom up and delete some where the
// walk stands.
void LineModelWalkWithDeletes(benchmark::State& state) {
    const QString text = cardStatement(state);
    for (auto _ : state) {
        state.PauseTiming();
        LineModel lines(text);
        state.ResumeTiming();
        for (int i = lines.count() - 1; i >= 0; --i) {
            const QString line = lines.line(i);
            if (i % 4 == 2)
                lines.deleteLine(i);
            benchmark::DoNotOptimize(line.data());
        }
        benchmark::DoNotOptimize(lines.count());
    }
    state.SetBytesProcessed(state.iterations() * utf8Bytes(text));
}

} // namespace

BENCHMARK(LineModelConstruct)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(LineModelText)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(LineModelWalkWithDeletes)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
