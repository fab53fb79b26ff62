// tallemo-make-statement KIND ENTRIES: writes a generated statement of the kind, as the
// benchmarks and the recognition tests use it, to standard output in UTF-8.
#include "converters/StatementKinds.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

using namespace tallemo;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    bool isNumber = false;
    const int entries = arguments.size() == 3 ? arguments[2].toInt(&isNumber) : 0;
    const StatementKind* kind = arguments.size() == 3 ? findBuiltInKind(arguments[1]) : nullptr;
    if (kind == nullptr || !isNumber || entries < 0) {
        std::fputs("Usage: tallemo-make-statement KIND ENTRIES\n", stderr);
        return 2;
    }
    const QByteArray bytes = sampleStatement(*kind, entries).toUtf8();
    return std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout) ==
                   static_cast<std::size_t>(bytes.size())
               ? 0
               : 1;
}
