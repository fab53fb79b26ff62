// The categories' speed: learning pasted spreadsheet rows into categories.sqlite (100,000 rows
// must take under a second), and filling rows from a learned table of 5,000 descriptions loaded
// once: a card conversion through the pipeline with and without the filling stage (300,000
// entries, where filling should stay within a tenth of the conversion; 1,000 entries, a window
// command, where it should take at most 10 ms), the table read from categories.sqlite, and a
// window command that keeps the table between commands.
#include "categories/CategoryMatcher.h"
#include "categories/CategoryStore.h"
#include "converters/StatementKinds.h"
#include "pipeline/Conversion.h"
#include "text/LineModel.h"
#include "text/Regional.h"

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

// The reading alone, the part of the learning before the store.
void readSheetRows(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    const QString text = sheet(rows, 5000, true);
    for (auto _ : state) {
        SheetReading reading = readSheet(text);
        benchmark::DoNotOptimize(reading);
    }
    state.counters["rows"] = rows;
}
BENCHMARK(readSheetRows)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

constexpr int kLearnedShops = 5000;
// More shops in what is filled than were learned: some are new.
constexpr int kFilledShops = 7000;

std::vector<LearnedChoice> learnedTable() {
    std::vector<LearnedChoice> learned;
    for (int shop = 0; shop < kLearnedShops; ++shop) {
        const int chain = shop % static_cast<int>(kChains.size());
        learned.push_back({description(shop, kLearnedShops), QStringLiteral("分類%1").arg(chain),
                           QStringLiteral("細目%1").arg(chain), 3, QStringLiteral("2025-06-30")});
    }
    return learned;
}

const CategoryMatcher& learnedMatcher() {
    static const CategoryMatcher matcher = [] {
        CategoryMatcher loaded;
        loaded.setLearned(learnedTable());
        return loaded;
    }();
    return matcher;
}

void fillRows(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    const CategoryMatcher& matcher = learnedMatcher();
    const QString text = sheet(rows, kFilledShops, false);
    for (auto _ : state) {
        FillCounts counts;
        QString filled = matcher.fillText(u"card", text, &counts);
        benchmark::DoNotOptimize(filled);
        state.counters["filled"] = counts.filled;
    }
    state.counters["rows"] = rows;
}
BENCHMARK(fillRows)->Arg(1000)->Arg(300000)->Unit(benchmark::kMillisecond);

// A card statement as the card kind reads it, its shops those of description().
QString cardStatement(int entries) {
    QString text;
    text.reserve(static_cast<qsizetype>(entries) * 90);
    for (int i = 0; i < entries; ++i)
        text += QStringLiteral("2024/11/%1\t%2\t%3 円\r\n支払方法\t1回払い\r\nご利用者 本人\r\n"
                               "備考なし\r\n")
                    .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                    .arg(description(i, kFilledShops))
                    .arg(100 + i % 9000);
    return text + QStringLiteral("以上\r\n");
}

// The window's and the companion's conversion of a card statement, as the pipeline runs it, with
// (second argument 1) and without the filling stage. The difference is what filling costs. With
// a third argument 1 the rows are also taken as the clipboard gets them: a stage that replaces
// rows may leave work for the delivery.
void convertCard(benchmark::State& state) {
    const int entries = static_cast<int>(state.range(0));
    const bool filling = state.range(1) != 0;
    const bool delivering = state.range(2) != 0;
    const CategoryMatcher& matcher = learnedMatcher();
    const std::shared_ptr<const tallemo::KindRegistry> kinds = tallemo::KindRegistry::builtIn();
    const tallemo::StatementKind* card = kinds->find(u"card");
    const QString statement = cardStatement(entries);
    int filled = 0;
    for (auto _ : state) {
        state.PauseTiming();
        tallemo::LineModel lines(statement);
        tallemo::ConversionRequest request;
        request.kinds = kinds;
        request.kind = card;
        request.regional = tallemo::Regional::fixed(QStringLiteral("2025/01/15"));
        request.categories = filling ? &matcher : nullptr;
        tallemo::Conversion conversion(std::move(request));
        state.ResumeTiming();
        conversion.run(lines);
        if (delivering) {
            QString clipboard = conversion.rowsText();
            benchmark::DoNotOptimize(clipboard);
        }
        benchmark::DoNotOptimize(lines);
        filled = conversion.report().filled;
    }
    state.counters["entries"] = entries;
    state.counters["filled"] = filled;
}
BENCHMARK(convertCard)
    ->ArgNames({"entries", "fill", "deliver"})
    ->Args({1000, 0, 0})
    ->Args({1000, 1, 0})
    ->Args({300000, 0, 0})
    ->Args({300000, 1, 0})
    ->Args({300000, 0, 1})
    ->Args({300000, 1, 1})
    ->Unit(benchmark::kMillisecond);

// categories.sqlite with the learned table, as the window finds it.
QString learnedFile(const QTemporaryDir& folder) {
    QString file = folder.filePath(QStringLiteral("categories.sqlite"));
    CategoryStore store(file, nullptr);
    QString text;
    for (const LearnedChoice& choice : learnedTable()) {
        for (int time = 0; time < choice.times; ++time)
            text += QStringLiteral("2025/06/%1\t%2\t%3\t%4\t500\n")
                        .arg(time + 1)
                        .arg(choice.description, choice.cell3, choice.cell4);
    }
    store.learn(readSheet(text));
    return file;
}

// Reading the learned table from categories.sqlite: what a window command did every time, and
// what it does now only when the file changed.
void loadLearnedTable(benchmark::State& state) {
    ensureApplication();
    const QTemporaryDir folder;
    const QString file = learnedFile(folder);
    for (auto _ : state) {
        CategoryMatcher matcher = loadMatcher(file, QString(), nullptr);
        benchmark::DoNotOptimize(matcher);
    }
    state.counters["descriptions"] = kLearnedShops;
}
BENCHMARK(loadLearnedTable)->Unit(benchmark::kMillisecond);

// A window command of 1,000 card entries with filling, as the window runs it: the kept matcher
// (looked up again, the files unchanged) and the conversion.
void windowCommand(benchmark::State& state) {
    ensureApplication();
    const QTemporaryDir folder;
    const QString file = learnedFile(folder);
    const QString rules = folder.filePath(QStringLiteral("categories.toml"));
    const std::shared_ptr<const tallemo::KindRegistry> kinds = tallemo::KindRegistry::builtIn();
    const tallemo::StatementKind* card = kinds->find(u"card");
    const QString statement = cardStatement(1000);
    MatcherCache cache;
    int filled = 0;
    for (auto _ : state) {
        QStringList notices;
        tallemo::LineModel lines(statement);
        tallemo::ConversionRequest request;
        request.kinds = kinds;
        request.kind = card;
        request.regional = tallemo::Regional::fixed(QStringLiteral("2025/01/15"));
        request.categories = tallemo::categoriesFor(*card, true, cache, file, rules, notices);
        tallemo::Conversion conversion(std::move(request));
        conversion.run(lines);
        benchmark::DoNotOptimize(lines);
        filled = conversion.report().filled;
    }
    state.counters["filled"] = filled;
}
BENCHMARK(windowCommand)->Unit(benchmark::kMillisecond);

} // namespace
