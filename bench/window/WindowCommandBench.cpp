// The window's commands on a pasted megabyte statement: the handler, its text-area update and a
// repaint, as the user waits for them. Runs on the offscreen platform unless QT_QPA_PLATFORM says
// otherwise.
#include "app/DocumentText.h"
#include "app/TForm1.h"
#include "support/MemoryClipboard.h"

#include <QAction>
#include <QApplication>
#include <QCommandLinkButton>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <functional>
#include <string>

using namespace tallemo;

namespace {

// A megabyte statement of one kind, and how the converted text must look.
struct BigStatement {
    const char* name;
    const char* entry; // %1 day, %2 number, %3 amount
    std::function<void(TForm1&)> command;
    int rowLinesPerEntry; // lines of an entry left in the text area
};

const BigStatement kBigStatements[] = {
    // Three of every four lines go and the fourth is rewritten.
    {"Card", "2024/11/%1\tSAMPLE STORE NUMBER %2\t1,%3 円\r\n支払方法\t1回払い\r\n本人\r\n-\r\n",
     [](TForm1& f) { f.Button1->click(); }, 1},
    // Every fourth line is rewritten in place.
    {"Coop", "2024/12/%1\tMILK NUMBER %2\t1,%3 円\r\n明細\r\n数量 1\r\n-\r\n",
     [](TForm1& f) { f.T1->trigger(); }, 4},
};

void runCommand(benchmark::State& state, const BigStatement& big) {
    QString statement;
    int entries = 0;
    while (statement.size() < qsizetype{1024} * 1024) {
        statement += QString::fromUtf8(big.entry)
                         .arg(entries % 28 + 1, 2, 10, QChar(u'0'))
                         .arg(entries)
                         .arg(entries % 1000, 3, 10, QChar(u'0'));
        ++entries;
    }
    const QString typed = QString(statement).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));

    QTemporaryDir folder;
    MemoryClipboard clipboard;
    TForm1Environment environment;
    environment.programFilePath = folder.filePath(QStringLiteral("Tallemo"));
    environment.clipboard = &clipboard;
    TForm1 window(std::move(environment));
    window.show();

    for (auto _ : state) {
        state.PauseTiming();
        window.Memo1->setPlainText(typed);
        QApplication::processEvents();
        state.ResumeTiming();
        big.command(window);
        window.Memo1->viewport()->repaint();
    }
    state.SetBytesProcessed(state.iterations() * statement.toUtf8().size());
    state.counters["entries"] = entries;

    // A figure for a wrong conversion would mean nothing.
    if (clipboard.text().count(QStringLiteral("\r\n")) != entries ||
        documentText(*window.Memo1->document()).count(QStringLiteral("\r\n")) !=
            qsizetype{entries} * big.rowLinesPerEntry) {
        state.SkipWithError("the rows are not one per entry");
        return;
    }
    window.Memo1->undo();
    if (documentText(*window.Memo1->document()) != statement)
        state.SkipWithError("undo did not bring the statement back");
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    for (const BigStatement& big : kBigStatements)
        benchmark::RegisterBenchmark((std::string("WindowCommand/") + big.name).c_str(),
                                     [&big](benchmark::State& state) { runCommand(state, big); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
