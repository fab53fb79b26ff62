// The categories' speed: learning pasted spreadsheet rows into categories.sqlite (100,000 rows
// must take under a second), and filling rows from a learned table of 5,000 descriptions loaded
// once (1,000 rows, a window command, at most 10 ms; 300,000 rows small next to converting them).
#include "categories/CategoryMatcher.h"
#include "categories/CategoryStore.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

using namespace tallemo::categories;

const QStringList kChains = {
    QStringLiteral("ローソン"),       QStringLiteral("ｾﾌﾞﾝ-ｲﾚﾌﾞﾝ"),   QStringLiteral("ENEOS"),
    QStringLiteral("スターバックス"), QStringLiteral("AMAZON.CO.JP"), QStringLiteral("東京電力"),
    QStringLiteral("マツモトキヨシ"), QStringLiteral("イオン"),       QStringLiteral("ユニクロ"),
};
const QStringList kTowns = {QStringLiteral("町田"), QStringLiteral("渋谷"),
                            QStringLiteral("相模大野"), QStringLiteral("横浜"),
                            QStringLiteral("立川")};

// Description i: one of `shops` shops, a chain's branch with a store number.
QString description(int i, int shops) {
    const int shop = i % shops;
    return QStringLiteral("%1 %2%3店 %4")
        .arg(kChains[shop % kChains.size()], kTowns[(shop / kChains.size()) % kTowns.size()])
        .arg(shop / (kChains.size() * kTowns.size()))
        .arg(i % 997);
}

QString sheet(int rows, int shops, bool withCells) {
    QString text = QStringLiteral("日付\t内容\t大項目\t小項目\t金額\n");
    for (int i = 0; i < rows; ++i) {
        const int chain = (i % shops) % static_cast<int>(kChains.size());
        text += QStringLiteral("2025/%1/%2\t%3\t%4\t%5\t%6\n")
                    .arg(1 + i % 12)
                    .arg(1 + i % 28)
                    .arg(description(i, shops),
                         withCells ? QStringLiteral("分類%1").arg(chain) : QString(),
                         withCells ? QStringLiteral("細目%1").arg(chain) : QString())
                    .arg(100 + i % 5000);
    }
    return text;
}

void ensureApplication() {
    static int argc = 1;
    static char name[] = "tallemo_bench";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr)
        new QCoreApplication(argc, argv); // lives as long as the benchmark program
}

void learnRows(benchmark::State& state) {
    ensureApplication();
    const int rows = static_cast<int>(state.range(0));
    const QString text = sheet(rows, 5000, true);
    for (auto _ : state) {
        state.PauseTiming();
        const QTemporaryDir folder;
        CategoryStore store(folder.filePath(QStringLiteral("categories.sqlite")), nullptr);
        state.ResumeTiming();
        // Reading the text belongs to the learning: the window does both on one command.
        auto counts = store.learn(readSheet(text));
        benchmark::DoNotOptimize(counts);
    }
    state.counters["rows"] = rows;
}
BENCHMARK(learnRows)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

void fillRows(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    std::vector<LearnedChoice> learned;
    for (int shop = 0; shop < 5000; ++shop) {
        const int chain = shop % static_cast<int>(kChains.size());
        learned.push_back({description(shop, 5000), QStringLiteral("分類%1").arg(chain),
                           QStringLiteral("細目%1").arg(chain), 3, QStringLiteral("2025-06-30")});
    }
    CategoryMatcher matcher;
    matcher.setLearned(learned);
    const QString text = sheet(rows, 7000, false);
    for (auto _ : state) {
        FillCounts counts;
        QString filled = matcher.fillText(u"card", text, &counts);
        benchmark::DoNotOptimize(filled);
        state.counters["filled"] = counts.filled;
    }
    state.counters["rows"] = rows;
}
BENCHMARK(fillRows)->Arg(1000)->Arg(300000)->Unit(benchmark::kMillisecond);

} // namespace
