// Learning a kind from one example entry in a pasted statement of about 1 MiB: the learner walks
// the whole text a few times (the example's own check, the optional lines), so its time grows
// with the text and must stay well under a second at this size.
#include "learn/Learner.h"
#include "text/LineModel.h"

#include <benchmark/benchmark.h>

namespace {

QString blockEntry(int i) {
    return QStringLiteral("■利用日: 2024/%1/%2\n■利用先: SHOP %3\n■利用者: %4\n%5■利用金額: %6 円\n"
                          "■支払月: 2024/12\n\n")
        .arg(1 + i % 12)
        .arg(1 + i % 28)
        .arg(i)
        .arg(i % 2 == 0 ? QStringLiteral("本人") : QStringLiteral("家族"))
        .arg(i % 5 == 4 ? QString() : QStringLiteral("■支払方法: 1回\n"))
        .arg(100 + (i * 37) % 90000);
}

void learnFromOneEntry(benchmark::State& state) {
    QString statement = QStringLiteral("カードご利用のお知らせ\n\n");
    int entries = 0;
    while (statement.size() * 2 < state.range(0))
        statement += blockEntry(entries++);
    tallemo::learn::LearnRequest request;
    request.exampleLines = blockEntry(0).split(u'\n');
    request.statement = statement;
    request.wantedCells = {QStringLiteral("2024/01/01"), QStringLiteral("SHOP 0"), QString(),
                           QString(), QStringLiteral("100")};
    for (auto _ : state) {
        auto learned = tallemo::learn::learnKind(request);
        benchmark::DoNotOptimize(learned);
    }
    state.SetBytesProcessed(state.iterations() * statement.size() * 2);
    state.counters["entries"] = entries;
}

// Whether a text no kind recognises could give an example, at its worst: amounts on every line
// and no date anywhere, so every line is read. The window asks this after such a conversion.
void lookForDatesAndAmounts(benchmark::State& state) {
    QString text;
    for (int i = 0; text.size() * 2 < state.range(0); ++i)
        text += QStringLiteral("ご利用 SAMPLE STORE %1 番 ご利用金額 %2 円 残高 12,345,678\r\n")
                    .arg(i)
                    .arg(100 + (i * 37) % 90000);
    const tallemo::LineModel lines(text);
    for (auto _ : state) {
        bool found = tallemo::learn::hasDatesAndAmounts(lines);
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(state.iterations() * text.size() * 2);
}

} // namespace

BENCHMARK(lookForDatesAndAmounts)->Arg(1 << 20)->Arg(1 << 24)->Unit(benchmark::kMillisecond);
BENCHMARK(learnFromOneEntry)->Arg(1 << 18)->Arg(1 << 20)->Unit(benchmark::kMillisecond);
