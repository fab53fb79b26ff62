// A View card usage statement, as pasted (→ stands for a TAB):
//
//   2024
//   12/01xx→CAFE→REF
//   1,500
//   2024
//   12/03xx→BOOKS→REF
//   2,300
//
// Each usage is a year line of four characters, a date line and an amount line; the rows read
// 2024/12/01→CAFE→→→1,500 (+ →Suica).
#include "converters/ViewCard.h"

#include "converters/Evidence.h"
#include "settings/IntegerSyntax.h"
#include "text/LineModel.h"
#include "text/OutputList.h"
#include "text/TextPrimitives.h"

#include <algorithm>

namespace tallemo {

namespace {

bool isYearLine(const QString& St1) {
    int value = 0;
    return St1.size() == 4 && TryStrToInt(St1, value);
}

} // namespace

OutputList ConvertViewCard(LineModel& Lines, bool LSuica) {
    OutputList SL;
    const int N = Lines.count();
    // A block needs at least one line after it, so the last three lines never start one.
    for (int i = 0; i <= N - 4; ++i) {
        const QString St1 = Lines.line(i);
        if (!isYearLine(St1))
            continue;

        QString St2 = St1 + QStringLiteral("/") + Lines.line(i + 1);
        // The two characters after the month and day are not part of the date.
        Delete(St2, 11, 2);
        const int n = MyAnsiPosEx(kTab, St2, 11);
        QString LOutput = AnsiLeftStr(St2, n);
        LOutput += kTab + kTab + Lines.line(i + 2);
        if (LSuica)
            LOutput += kTab + QStringLiteral("Suica");
        SL.add(LOutput);

        // The date and amount lines belong to this row: an amount such as -980 or 1500 also
        // reads as a year and would otherwise start a bogus block of its own.
        i += 2;
    }

    Lines.setText(SL.text());
    return SL;
}

Recognition RecogniseViewCard(const LineModel& Lines) {
    Recognition recognition;
    const int N = Lines.count();
    for (int i = 0; i <= N - 4; ++i) {
        const QString St1 = Lines.line(i);
        if (!isYearLine(St1))
            continue;
        ++recognition.entries;
        // A year of this century in digits, the month and day before the first TAB and an
        // amount alone on its line.
        const QString dateLine = Lines.line(i + 1);
        const bool year =
            St1.startsWith(QStringLiteral("20")) &&
            std::all_of(St1.begin(), St1.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
        if (year && evidence::startsWithMonthDay(dateLine) && evidence::tabCount(dateLine) >= 1 &&
            evidence::isAmount(evidence::trimmedBlanks(Lines.line(i + 2))))
            ++recognition.wellFormed;
        i += 2;
    }
    return recognition;
}

QString ViewCardSampleEntry(int i) {
    return QStringLiteral("2024\r\n12/%1xx\tCAFE %2\tREF\r\n%3\r\n")
        .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
        .arg(i, 6, 10, QLatin1Char('0'))
        .arg(100 + i % 9000);
}

} // namespace tallemo
