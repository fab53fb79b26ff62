#include "KindBenchmarks.h"

#include "cli/ConvertCommand.h"
#include "converters/StatementKinds.h"
#include "text/Regional.h"

#include <QBuffer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace tallemo;

namespace {

// The companion's whole path for one kind, as `tallemo-convert KIND` runs it on a statement
// piped in: read, decode, line model, recognition, conversion, rows encoded and handed over. Bytes
// are the statement's UTF-8 size, so the MB/s compare with the converter-only figures.
void runCompanion(benchmark::State& state, const StatementKind& kind) {
    const QByteArray statement = sampleStatement(kind, static_cast<int>(state.range(0))).toUtf8();
    QStringList arguments{kind.id};
    if (kind.needsDate)
        arguments << QStringLiteral("--date") << QStringLiteral("2025/01/15");
    if (kind.needsRate)
        arguments << QStringLiteral("--rate") << QStringLiteral("155.576923076923");
    if (kind.remark)
        arguments << QStringLiteral("--remark");
    const QTemporaryDir settings;
    ConvertEnvironment environment{settings.filePath(QStringLiteral("Tallemo")),
                                   Regional::fixed(QStringLiteral("2025/01/15")),
                                   {},
                                   /*keepAreaText=*/false};
    // The rows go where the program writes them, here nowhere.
    qsizetype written = 0;
    environment.writeRows = [&written](QByteArrayView rows) { written += rows.size(); };
    for (auto _ : state) {
        QBuffer input;
        input.setData(statement);
        input.open(QIODevice::ReadOnly);
        written = 0;
        ConvertOutcome outcome = runConvertCommand(arguments, input, environment);
        if (outcome.exitCode != 0 || written + outcome.standardOutput.size() == 0) {
            state.SkipWithError("the companion made no rows");
            break;
        }
        benchmark::DoNotOptimize(outcome.standardOutput.data());
    }
    state.SetBytesProcessed(state.iterations() * statement.size());
}

const bool registered = bench::registerForEveryKind("Companion", runCompanion);

} // namespace
