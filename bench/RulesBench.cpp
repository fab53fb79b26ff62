// Kinds of rules files: the shipped kinds on generated notification mails, and a pattern that would
// backtrack for minutes in a backtracking engine, on one long line and on many lines. RE2 keeps
// both linear: the figures grow with the text, not faster.
#include "rules/RulesKind.h"
#include "text/LineModel.h"

#include <benchmark/benchmark.h>

#include <QFile>

namespace {

using namespace tallemo;

StatementKind kindFrom(const QString& path, const QByteArray& contents) {
    rules::RulesKindOrProblem read = rules::readRulesKind(path, contents, {});
    if (const auto* problem = std::get_if<rules::RulesProblem>(&read))
        qFatal("%s", qPrintable(problem->toString()));
    return std::get<StatementKind>(std::move(read));
}

StatementKind shippedKind(const char* id) {
    const QString path = QStringLiteral(TALLEMO_SHIPPED_KINDS_DIR "/") + QString::fromLatin1(id) +
                         QStringLiteral(".toml");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return kindFrom(path, file.readAll());
}

QString mailLines(int entries) {
    QString text = QStringLiteral("カードご利用のお知らせ\r\n\r\n");
    for (int i = 0; i < entries; ++i)
        text += QStringLiteral(
                    "2024/%1/%2    SAMPLE STORE %3    %4円｜ 支払月：2025/01 ｜ 利用者：本人\r\n")
                    .arg(1 + i % 12)
                    .arg(1 + i % 28)
                    .arg(i)
                    .arg(100 + (i * 37) % 90000);
    return text + QStringLiteral("合計    9,999円\r\n");
}

// Converts text with one of the kinds that come with the program, as the window does.
void convertWithShippedKind(benchmark::State& state, const char* id, const QString& text) {
    const StatementKind kind = shippedKind(id);
    qsizetype rowCount = 0;
    for (auto _ : state) {
        LineModel Lines = LineModel::fromPastedText(text);
        std::optional<OutputList> rows = kind.convert(Lines, ConvertContext{});
        benchmark::DoNotOptimize(rows);
        rowCount = rows ? rows->count() : 0;
    }
    state.SetBytesProcessed(state.iterations() * text.size() * 2);
    // Shown beside the figures: a pattern that stopped matching would make them look fast.
    state.counters["rows"] = static_cast<double>(rowCount);
}

void convertMailLines(benchmark::State& state) {
    convertWithShippedKind(state, "card-mail-line", mailLines(static_cast<int>(state.range(0))));
}

// The block shape: six "■label: value" lines per usage, with an empty line inside some blocks
// (skipped by the kind) and without the optional lines in others.
QString mailBlocks(int entries) {
    QString text = QStringLiteral("カードご利用のお知らせ\r\n\r\n");
    for (int i = 0; i < entries; ++i) {
        text += QStringLiteral("■利用日: 2024/%1/%2\r\n■利用先: SAMPLE STORE %3\r\n")
                    .arg(1 + i % 12)
                    .arg(1 + i % 28)
                    .arg(i);
        if (i % 3 != 0)
            text += QStringLiteral("■利用者: 本人\r\n■支払方法: 1回\r\n");
        if (i % 5 == 0)
            text += QStringLiteral("\r\n");
        text += QStringLiteral("■利用金額: %1 円\r\n■支払月: 2025/01\r\n\r\n")
                    .arg(100 + (i * 37) % 90000);
    }
    return text;
}

void convertMailBlocks(benchmark::State& state) {
    convertWithShippedKind(state, "card-mail", mailBlocks(static_cast<int>(state.range(0))));
}

// A nested repetition that a backtracking engine takes exponential time over on a line of "a"s
// without the "b" it wants.
const QByteArray kNested = "id = 'nested'\ncaption = 'N'\n"
                           "entry = ['(?P<x>(a+)+)b']\nrow = ['{x}']\n";

void nestedRepetitionOnOneLine(benchmark::State& state) {
    const StatementKind kind = kindFrom(QStringLiteral("nested.toml"), kNested);
    const LineModel Lines(QString(static_cast<qsizetype>(state.range(0)), u'a'));
    for (auto _ : state)
        benchmark::DoNotOptimize(kind.recognise(Lines));
    state.SetBytesProcessed(state.iterations() * state.range(0) * 2);
}

void nestedRepetitionOnManyLines(benchmark::State& state) {
    const StatementKind kind = kindFrom(QStringLiteral("nested.toml"), kNested);
    QString text;
    for (int i = 0; i < state.range(0); ++i)
        text += QString(20 + i % 20, u'a') + QStringLiteral("\r\n");
    const LineModel Lines(text);
    for (auto _ : state)
        benchmark::DoNotOptimize(kind.recognise(Lines));
    state.SetBytesProcessed(state.iterations() * text.size() * 2);
}

} // namespace

BENCHMARK(convertMailLines)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(convertMailBlocks)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(nestedRepetitionOnOneLine)
    ->Arg(1 << 16)
    ->Arg(1 << 18)
    ->Arg(1 << 20)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(nestedRepetitionOnManyLines)
    ->Arg(30000)
    ->Arg(100000)
    ->Arg(300000)
    ->Unit(benchmark::kMillisecond);
