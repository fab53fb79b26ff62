// Records rows in a history file from a process of its own, for the tests of concurrent,
// interrupted and failing writes.
//
//   history_writer <history file> <prefix> <first> <count> <times> [<file size limit>]
//
// Records conversions of the card kind: each holds the rows "<prefix> <i>" for i from <first>
// to <first> + <count> - 1, each row twice. Does it <times> times (for ever when negative) and
// prints the number of the conversion once it is recorded, or "failed" and the notices. With a
// file size limit, writes past that many bytes fail as on a full disk.
#include "converters/StatementKinds.h"
#include "history/ConversionHistory.h"
#include "history/HistoryStore.h"

#include <QByteArray>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>

int main(int argc, char* argv[]) {
    if (argc != 6 && argc != 7) {
        std::fprintf(stderr, "usage: history_writer file prefix first count times [limit]\n");
        return 2;
    }
    const QCoreApplication application(argc, argv);
    const QString file = QString::fromLocal8Bit(argv[1]);
    const QByteArray prefix(argv[2]);
    const long long first = QByteArray(argv[3]).toLongLong();
    const long long count = QByteArray(argv[4]).toLongLong();
    const long long times = QByteArray(argv[5]).toLongLong();
    if (argc == 7) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{QByteArray(argv[6]).toULongLong(), QByteArray(argv[6]).toULongLong()};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    QByteArray rows;
    for (long long i = first; i < first + count; ++i) {
        const QByteArray row =
            "2024/11/01\t" + prefix + ' ' + QByteArray::number(i) + "\t\t\t100\r\n";
        rows += row + row;
    }
    const tallemo::StatementKind& card = *tallemo::findBuiltInKind(u"card");
    for (long long n = 1; times < 0 || n <= times; ++n) {
        tallemo::history::HistoryStore store(file, nullptr);
        tallemo::history::ConversionHistory history(store, card, false);
        history.take(rows, [](QByteArrayView, bool) {});
        if (!history.record()) {
            std::printf("failed\n");
            for (const QString& notice : store.notices())
                std::printf("%s\n", notice.toUtf8().constData());
            return 1;
        }
        std::printf("%lld\n", n);
        std::fflush(stdout);
    }
    return 0;
}
