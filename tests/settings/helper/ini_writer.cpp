// Writes keys into a settings file from a process of its own, for the tests of concurrent and
// interrupted writes.
//
//   ini_writer <FileName> <Section> <key prefix> <first> <count>
//
// Writes key <prefix><i> = <i> for i from <first> on, <count> times (for ever when <count> is
// negative), and prints i on its own line once the write has returned.
#include "AppError.h"
#include "settings/IniSettings.h"

#include <QString>

#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: ini_writer FileName Section prefix first count\n");
        return 2;
    }
    const QString fileName = QString::fromLocal8Bit(argv[1]);
    const QString section = QString::fromLocal8Bit(argv[2]);
    const QString prefix = QString::fromLocal8Bit(argv[3]);
    const long long first = QByteArray(argv[4]).toLongLong();
    const long long count = QByteArray(argv[5]).toLongLong();
    try {
        for (long long i = first; count < 0 || i < first + count; ++i) {
            tallemo::WriteIniString(fileName, section, prefix + QString::number(i),
                                    QString::number(i));
            std::printf("%lld\n", i);
            std::fflush(stdout);
        }
    } catch (const tallemo::AppError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
