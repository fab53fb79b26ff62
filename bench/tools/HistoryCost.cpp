// What the history of copied rows adds to a conversion: the companion on a generated card
// statement without --new-only, with it on a fresh history (every row new: looked up, written out
// and recorded) and with it again (every row copied before: looked up, nothing written or
// recorded); and the window's share for a statement of 1,000 rows (open, look up, record). One
// run of each, printed; nothing fails for being slow.
//
//   tallemo-history-cost [ENTRIES...]      (default: 1000 300000)
#include "cli/ConvertCommand.h"
#include "converters/StatementKinds.h"
#include "history/ConversionHistory.h"
#include "history/HistoryStore.h"
#include "text/Regional.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <array>
#include <cstdio>
#include <ctime>

using namespace tallemo;

namespace {

double companionMs(const QByteArray& statement, const QStringList& arguments,
                   const ConvertEnvironment& environment, qsizetype& written) {
    QBuffer input;
    input.setData(statement);
    input.open(QIODevice::ReadOnly);
    written = 0;
    QElapsedTimer timer;
    timer.start();
    ConvertOutcome outcome = runConvertCommand(arguments, input, environment);
    written += outcome.standardOutput.size();
    if (outcome.afterOutput)
        outcome.afterOutput();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

void measure(int entries) {
    const StatementKind& card = *findBuiltInKind(u"card");
    const QByteArray statement = sampleStatement(card, entries).toUtf8();
    const QTemporaryDir folder;
    ConvertEnvironment environment{folder.filePath(QStringLiteral("Tallemo")),
                                   Regional::fixed(QStringLiteral("2025/01/15")),
                                   {},
                                   /*keepAreaText=*/false};
    environment.historyFile = folder.filePath(QStringLiteral("history.sqlite"));
    qsizetype written = 0;
    environment.writeRows = [&written](QByteArrayView rows) { written += rows.size(); };

    const QStringList plain = {QStringLiteral("card")};
    const QStringList newOnly = {QStringLiteral("card"), QStringLiteral("--new-only")};
    const double without = companionMs(statement, plain, environment, written);
    const qsizetype allRows = written;
    const double fresh = companionMs(statement, newOnly, environment, written);
    const double again = companionMs(statement, newOnly, environment, written);
    std::printf("companion, %d entries (%.1f MB of rows):\n", entries,
                static_cast<double>(allRows) / 1e6);
    std::printf("  without --new-only             %9.1f ms\n", without);
    std::printf("  --new-only, every row new      %9.1f ms  (+%.1f ms)\n", fresh, fresh - without);
    std::printf("  --new-only, every row copied   %9.1f ms  (+%.1f ms), %lld bytes written\n",
                again, again - without, static_cast<long long>(written));
}

QString cardRows(int count, int firstShop) {
    QString rows;
    for (int i = 0; i < count; ++i)
        rows += QStringLiteral("2024/11/%1\tSHOP %2\t\t\t%3\r\n")
                    .arg(i % 28 + 1, 2, 10, QChar(u'0'))
                    .arg(firstShop + i)
                    .arg(100 + i);
    return rows;
}

// What the window adds to a command: the rows' text to UTF-8, every row looked up and the
// conversion recorded, in a new history and in one that already holds the rows of many earlier
// statements. The window opens its history and reads its pages ahead while it is idle after
// starting (TForm1::readHistoryAhead), and keeps it open from one command to the next: that is
// timed apart, and the commands after it.
double cpuMsSince(std::clock_t before) {
    return static_cast<double>(std::clock() - before) * 1000.0 / CLOCKS_PER_SEC;
}

void measureWindowShare(int entries, int earlierRows) {
    const StatementKind& card = *findBuiltInKind(u"card");
    const QString rows = cardRows(entries, 0);
    const QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("history.sqlite"));
    if (earlierRows > 0) {
        history::HistoryStore store(file, nullptr);
        history::ConversionHistory earlier(store, card, false);
        earlier.take(cardRows(earlierRows, entries).toUtf8(), [](QByteArrayView, bool) {});
        earlier.record();
    }
    QElapsedTimer idleTimer;
    idleTimer.start();
    const std::clock_t idleCpu = std::clock();
    history::HistoryStore store(file, nullptr);
    store.readAhead();
    std::printf("window, history of %6d rows, opened and read ahead while idle %6.1f ms (CPU "
                "%.1f ms)\n",
                earlierRows, static_cast<double>(idleTimer.nsecsElapsed()) / 1e6,
                cpuMsSince(idleCpu));
    // The third command brings new rows again.
    const QString laterRows = cardRows(entries, entries + earlierRows);
    const std::array<const char*, 3> rounds = {"rows new", "rows copied before", "new rows again"};
    for (std::size_t round = 0; round < rounds.size(); ++round) {
        QElapsedTimer timer;
        timer.start();
        const std::clock_t cpuBefore = std::clock();
        history::ConversionHistory copied(store, card, false);
        copied.take((round == 2 ? laterRows : rows).toUtf8(), [](QByteArrayView, bool) {});
        const double lookUpMs = cpuMsSince(cpuBefore);
        copied.record();
        // The machine may be shared: the CPU time shows what waiting for it hides.
        std::printf("  command, %d rows, %-19s %6.1f ms (CPU %.1f ms: look-up %.1f, record "
                    "%.1f)\n",
                    entries, rounds[round], static_cast<double>(timer.nsecsElapsed()) / 1e6,
                    cpuMsSince(cpuBefore), lookUpMs, cpuMsSince(cpuBefore) - lookUpMs);
    }
}

} // namespace

int main(int argc, char* argv[]) {
    const QCoreApplication application(argc, argv);
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes << QByteArray(argv[i]).toInt();
    if (sizes.isEmpty())
        sizes = {1000, 300000};
    // Ten years of a busy card, and far more than any household gathers.
    for (const int earlierRows : {0, 30000, 300000})
        measureWindowShare(1000, earlierRows);
    for (const int entries : sizes)
        measure(entries);
    return 0;
}
