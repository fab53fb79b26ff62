// Learns rows into a categories file from a process of its own, for the tests of concurrent
// learning.
//
//   categories_writer <categories file> <prefix> <count> <times>
//
// Each time learns the rows "<prefix> <i>" (i from 0 to <count> - 1) with the cells
// "<prefix>-<time>" and "x", so that every time but the first corrects every row; prints the
// number of the time once it is written, or "failed" and the notices.
#include "categories/CategoryStore.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: categories_writer file prefix count times\n");
        return 2;
    }
    const QCoreApplication application(argc, argv);
    const QString file = QString::fromLocal8Bit(argv[1]);
    const QString prefix = QString::fromLocal8Bit(argv[2]);
    const int count = QByteArray(argv[3]).toInt();
    const int times = QByteArray(argv[4]).toInt();
    for (int n = 1; n <= times; ++n) {
        QString sheet;
        for (int i = 0; i < count; ++i)
            sheet += QStringLiteral("2025/01/01\t%1 %2\t%1-%3\tx\t100\n").arg(prefix).arg(i).arg(n);
        tallemo::categories::CategoryStore store(file, nullptr);
        if (!store.learn(tallemo::categories::readSheet(sheet))) {
            std::printf("failed\n");
            for (const QString& notice : store.notices())
                std::printf("%s\n", notice.toUtf8().constData());
            return 1;
        }
        std::printf("%d\n", n);
        std::fflush(stdout);
    }
    return 0;
}
