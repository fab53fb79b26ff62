// tallemo-window-ratio [ROUNDS]: the window's conversion of a pasted 1 MiB card and co-op
// statement (the handler with its text-area update, then the events it leaves) against Qt's
// QPlainTextEdit::setPlainText of the same result in the same window, alternating. Prints the
// medians and their ratio, of the wall time and of the process's CPU time (user and system): on a
// machine shared with other work the CPU time is the steadier figure. Runs on the offscreen
// platform unless QT_QPA_PLATFORM says otherwise.
#include "app/TForm1.h"
#include "converters/StatementKinds.h"
#include "support/MemoryClipboard.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

using namespace tallemo;

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Milliseconds {
    double wall = 0;
    double cpu = 0;
};

double cpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

Milliseconds millisecondsOf(const std::function<void()>& work) {
    QElapsedTimer timer;
    const double cpuBefore = cpuMilliseconds();
    timer.start();
    work();
    QApplication::processEvents();
    return {static_cast<double>(timer.nsecsElapsed()) / 1e6, cpuMilliseconds() - cpuBefore};
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 7;

    QTemporaryDir folder;
    MemoryClipboard clipboard;
    TForm1Environment environment;
    environment.programFilePath = folder.filePath(QStringLiteral("Tallemo"));
    environment.clipboard = &clipboard;
    TForm1 window(environment);
    window.show();
    QApplication::processEvents();

    std::printf("%-6s %6s %12s %16s %7s %12s %16s %7s\n", "kind", "MiB", "convert ms",
                "setPlainText ms", "ratio", "convert CPU", "setPlainText CPU", "ratio");
    for (const char* id : {"card", "coop"}) {
        const StatementKind& kind = *findBuiltInKind(QString::fromLatin1(id));
        const qsizetype entryBytes = sampleStatement(kind, 1000).toUtf8().size() / 1000;
        const QString statement =
            sampleStatement(kind, static_cast<int>((1 << 20) / entryBytes) + 1);
        const auto paste = [&] {
            clipboard.setText(statement);
            window.SelectAllPasteExecute(nullptr);
            QApplication::processEvents();
        };

        std::vector<Milliseconds> converts;
        std::vector<Milliseconds> floors;
        for (int round = 0; round < rounds; ++round) {
            paste();
            converts.push_back(millisecondsOf([&] {
                if (kind.id == QLatin1String("card"))
                    window.Button1Click(nullptr);
                else
                    window.SeikyouAnalysisExecute(nullptr);
            }));
            const QString result = window.Memo1->toPlainText();
            paste();
            floors.push_back(millisecondsOf([&] { window.Memo1->setPlainText(result); }));
        }
        const auto medianOf = [](const std::vector<Milliseconds>& runs,
                                 double Milliseconds::*part) {
            std::vector<double> values;
            values.reserve(runs.size());
            for (const Milliseconds& run : runs)
                values.push_back(run.*part);
            return median(std::move(values));
        };
        const double convert = medianOf(converts, &Milliseconds::wall);
        const double floor = medianOf(floors, &Milliseconds::wall);
        const double convertCpu = medianOf(converts, &Milliseconds::cpu);
        const double floorCpu = medianOf(floors, &Milliseconds::cpu);
        std::printf("%-6s %6.2f %12.1f %16.1f %6.2fx %12.1f %16.1f %6.2fx\n", id,
                    static_cast<double>(statement.toUtf8().size()) / (1 << 20), convert, floor,
                    convert / floor, convertCpu, floorCpu, convertCpu / floorCpu);
    }
    return 0;
}
