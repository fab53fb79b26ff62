#pragma once

#include "converters/StatementKinds.h"

#include <benchmark/benchmark.h>

#include <string>

namespace tallemo::bench {

// Registers run as NAME/ID for every kind of the table, on generated statements of 1,000, 10,000
// and 100,000 entries.
inline bool registerForEveryKind(const std::string& name,
                                 void (*run)(benchmark::State&, const StatementKind&)) {
    for (const StatementKind& kind : builtInKinds()) {
        benchmark::RegisterBenchmark((name + '/' + kind.id.toStdString()).c_str(),
                                     [&kind, run](benchmark::State& state) { run(state, kind); })
            ->Arg(1000)
            ->Arg(10000)
            ->Arg(100000)
            ->Unit(benchmark::kMillisecond);
    }
    return true;
}

} // namespace tallemo::bench
