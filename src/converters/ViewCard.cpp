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
#include "text/IntegerSyntax.h"
#include "text/LineModel.h"
#include "text/OutputList.h"
#include "text/RowText.h"
#include "text/TextPrimitives.h"

#include <algorithm>

namespace tallemo {

namespace {

bool isYearLine(QStringView St1) {
    if (St1.size() != 4)
        return false;
    // Four digits are always an integer: the year lines, and most amounts, need no parsing.
    if (std::all_of(St1.begin(), St1.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return true;
    // Integer syntax starts with a blank, a sign, a digit, "$", "x" or "X": most lines of four
    // characters are words, and are told apart without parsing.
    const char16_t first = St1.front().unicode();
    if (!(first == u' ' || first == u'+' || first == u'-' || (first >= u'0' && first <= u'9') ||
          first == u'$' || first == u'x' || first == u'X'))
        return false;
    int value = 0;
    return TryStrToInt(St1, value);
}

// Calls onBlock(i) for every year line i that starts a block, as the converter walks them.
template <class OnBlock> void walkBlocks(const LineModel& Lines, OnBlock onBlock) {
    const int N = Lines.count();
    // A block needs at least one line after it, so the last three lines never start one.
    for (int i = 0; i <= N - 4; ++i) {
        if (!isYearLine(Lines.lineView(i)))
            continue;
        onBlock(i);
        // The date and amount lines belong to this block: an amount such as -980 or 1500 also
        // reads as a year and would otherwise start a bogus block of its own.
        i += 2;
    }
}

} // namespace

OutputList convertViewCard(LineModel& Lines, bool LSuica, const RowsSink* rowsSink,
                           std::vector<EntryLines>* entryLines) {
    static const QString kSuica = QStringLiteral("Suica");
    OutputList SL(rowsSink);
    // One buffer for every row, reused.
    RowText St2;
    walkBlocks(Lines, [&](int i) {
        // The year line has four units: "2024/" is five, and the units at 11 and 12 of
        // "2024/12/01xx→CAFE" are the date line's sixth and seventh, which are not part of the
        // date and go.
        St2.clear();
        St2.append(Lines.lineView(i));
        St2.append(u'/');
        const QStringView date = Lines.lineView(i + 1);
        if (St2.size() + date.size() >= 11) {
            St2.append(date.first(5));
            if (date.size() > 7)
                St2.append(date.sliced(7));
        } else {
            St2.append(date);
        }
        // The date cell ends at the first TAB after position 11, or after 11 characters.
        qsizetype n = 11;
        if (n < St2.size()) {
            const qsizetype tab = indexOfUnit(St2.view(), u'\t', n);
            if (tab >= 0)
                n = tab + 1;
        }
        St2.truncate(AnsiLeftView(St2.view(), static_cast<int>(n)).size());
        St2.append(u'\t');
        St2.append(u'\t');
        St2.append(Lines.lineView(i + 2));
        if (LSuica) {
            St2.append(u'\t');
            St2.append(kSuica);
        }
        SL.add(St2.view());
        if (entryLines != nullptr)
            entryLines->push_back({i, i + 2});
    });

    if (rowsSink == nullptr) {
        Lines.setText(SL.text());
        SL.rowsMakeTheWholeText();
    }
    return SL;
}

Recognition recogniseViewCard(const LineModel& Lines) {
    Recognition recognition;
    walkBlocks(Lines, [&](int i) {
        const QStringView St1 = Lines.lineView(i);
        ++recognition.entries;
        // A year of this century in digits, the month and day before the first TAB and an
        // amount alone on its line.
        const QStringView dateLine = Lines.lineView(i + 1);
        const bool year = St1.startsWith(u"20") && std::all_of(St1.begin(), St1.end(), [](QChar c) {
                              return c >= u'0' && c <= u'9';
                          });
        if (year && evidence::startsWithMonthDay(dateLine) && evidence::tabCount(dateLine) >= 1 &&
            evidence::isAmount(evidence::trimmedBlanks(Lines.lineView(i + 2))))
            ++recognition.wellFormed;
    });
    return recognition;
}

QString viewCardSampleEntry(int i) {
    return QStringLiteral("2024\r\n12/%1xx\tCAFE %2\tREF\r\n%3\r\n")
        .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
        .arg(i, 6, 10, QLatin1Char('0'))
        .arg(100 + i % 9000);
}

} // namespace tallemo
