#include "Statements.h"

#include "converters/CardStatement.h"
#include "converters/CoopStatement.h"
#include "converters/DomesticDividends.h"
#include "converters/ForeignDividends.h"
#include "converters/ViewCard.h"
#include "text/Clipboard.h"
#include "text/LineModel.h"
#include "text/Regional.h"

#include <benchmark/benchmark.h>

#include <functional>

using namespace tallemo;

namespace {

// Times one converter on a fresh line model of the statement each round; building the model is
// left out (the line model's own benchmarks time it). Bytes are the statement's UTF-8 size.
void runConverter(benchmark::State& state, const QString& statement,
                  const std::function<void(LineModel&, Clipboard&)>& convert) {
    for (auto _ : state) {
        state.PauseTiming();
        LineModel lines(statement);
        MemoryClipboard clipboard;
        state.ResumeTiming();
        convert(lines, clipboard);
        benchmark::DoNotOptimize(clipboard.content());
    }
    state.SetBytesProcessed(state.iterations() * statement.toUtf8().size());
}

int entries(const benchmark::State& state) {
    return static_cast<int>(state.range(0));
}

void CardConverter(benchmark::State& state) {
    runConverter(
        state, bench::cardStatement(entries(state)),
        [](LineModel& lines, Clipboard& clipboard) { ConvertCardStatement(lines, clipboard); });
}

void DomesticConverter(benchmark::State& state) {
    const Regional regional = Regional::fixed(QStringLiteral("2025/01/15"));
    runConverter(state, bench::domesticStatement(entries(state)),
                 [&](LineModel& lines, Clipboard& clipboard) {
                     ConvertDomesticDividends(lines, clipboard, regional);
                 });
}

void ForeignConverter(benchmark::State& state) {
    const Regional regional = Regional::fixed(QStringLiteral("2025/01/15"));
    const YenPerDollarSource fixedRate = [](LineModel&) { return 155.576923076923; };
    runConverter(state, bench::foreignStatement(entries(state)),
                 [&](LineModel& lines, Clipboard& clipboard) {
                     ConvertForeignDividends(lines, clipboard, regional, fixedRate);
                 });
}

void ViewConverter(benchmark::State& state) {
    runConverter(
        state, bench::viewStatement(entries(state)),
        [](LineModel& lines, Clipboard& clipboard) { ConvertViewCard(lines, clipboard, true); });
}

void CoopConverter(benchmark::State& state) {
    runConverter(state, bench::coopStatement(entries(state)),
                 [](LineModel& lines, Clipboard& clipboard) {
                     ConvertCoopStatement(lines, clipboard, true);
                 });
}

} // namespace

BENCHMARK(CardConverter)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(DomesticConverter)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(ForeignConverter)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(ViewConverter)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(CoopConverter)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
