// A co-op purchase statement, as pasted (→ stands for a TAB, ␣ for a space):
//
//   STATEMENT
//   2024/12/05→MILK→1,280␣円
//   2024/12/12→BREAD→640␣円
//   TOTAL→1,920␣円
//
// Lines beginning with "20" are rewritten in place to 2024/12/05→MILK→→→1,280 (+ →保険) and
// go to the clipboard; the other lines stay as they are.
#include "converters/CoopStatement.h"

#include "converters/Evidence.h"
#include "text/LineModel.h"
#include "text/OutputList.h"
#include "text/RowText.h"
#include "text/TextPrimitives.h"

namespace tallemo {

namespace {

const QString kDatePrefix = QStringLiteral("20");
const QString kYen = QStringLiteral("円");
const QString kHoken = QStringLiteral("保険");

// The line's rewrite into St in the general case, step by step.
void rewriteLine(QStringView line, QString& St) {
    St.resize(0);
    St.append(line);

    // Two empty cells go in before the second TAB (before the only TAB when there is one, at the
    // very start when there is none).
    int n = AnsiPos(kTab, St);
    n = MyAnsiPosEx(kTab, St, n);
    Insert(kTab, St, n);
    Insert(kTab, St, n);

    // The yen mark is looked for from the inserted cells on, so that a "円" in the description
    // stays; a line without TABs is searched from its start. Only a space before the mark goes
    // with it: in 1,280円 the 0 is part of the amount.
    const int from = n < 1 ? 0 : n + 1;
    const int yen = MyAnsiPosEx(kYen, St, from);
    if (yen > from) {
        if (St.at(yen - 2) == QLatin1Char(' '))
            Delete(St, yen - 1, 2);
        else
            Delete(St, yen, 1);
    }
}

// The same for a line with two TABs or more, the statement's own rows, without the steps: the
// cells go in before the second TAB, and the yen mark is the first one from that TAB on. Other
// lines take the steps in scratch.
void rewriteRow(QStringView line, RowText& St, QString& scratch) {
    const qsizetype first = indexOfUnit(line, u'\t');
    const qsizetype second = first < 0 ? -1 : indexOfUnit(line, u'\t', first + 1);
    St.clear();
    if (second < 0) {
        rewriteLine(line, scratch);
        St.append(scratch);
        return;
    }
    St.append(line.first(second));
    St.append(u'\t');
    St.append(u'\t');
    const qsizetype yen = indexOfUnit(line, kYen.front().unicode(), second);
    if (yen < 0) {
        St.append(line.sliced(second));
        return;
    }
    // The TAB at second is no space, so a space before the mark lies after it.
    St.append(line.sliced(second, (line[yen - 1] == u' ' ? yen - 1 : yen) - second));
    St.append(line.sliced(yen + 1));
}

} // namespace

OutputList convertCoopStatement(LineModel& Lines, bool LHoken, const RowsSink* rowsSink) {
    // One buffer for every rewritten line, reused.
    RowText St;
    QString scratch;
    const int N = Lines.count();
    for (int i = N - 1; i >= 0; --i) {
        const QStringView line = Lines.lineView(i);
        if (!beginsWith(line, kDatePrefix))
            continue;
        rewriteRow(line, St, scratch);

        if (LHoken) {
            St.append(u'\t');
            St.append(kHoken);
        }
        Lines.setLine(i, St.view());
    }

    OutputList SL(rowsSink);
    const int count = Lines.count();
    for (int i = 0; i < count; ++i) {
        const QStringView line = Lines.lineView(i);
        if (beginsWith(line, kDatePrefix))
            SL.add(line, i);
    }
    return SL;
}

Recognition recogniseCoopStatement(const LineModel& Lines) {
    static const QString kCardMarker = QStringLiteral("支払方法");
    Recognition recognition;
    const int N = Lines.count();
    for (int i = 0; i < N; ++i) {
        const QStringView St = Lines.lineView(i);
        // A card usage line looks the same, but a card statement has a payment line for each.
        if (beginsWith(evidence::trimmedBlanks(St), kCardMarker))
            ++recognition.against;
        // Without a TAB the empty cells go in at the very start, and the row no longer begins
        // with "20": it stays in the text but not on the clipboard.
        if (!beginsWith(St, kDatePrefix) || indexOfUnit(St, u'\t') < 0)
            continue;
        ++recognition.entries;
        // The page gives date, item and amount in yen, separated by TABs; a card usage line
        // has its payment line right below it.
        if (evidence::startsWithDate(St) && evidence::tabCount(St) >= 2 &&
            indexOfUnit(St, kYen.front().unicode()) >= 0 &&
            !beginsWith(evidence::trimmedBlanks(Lines.lineView(i + 1)), kCardMarker))
            ++recognition.wellFormed;
    }
    return recognition;
}

QString coopStatementSampleEntry(int i) {
    return QStringLiteral("2024/12/%1\tMILK %2\t%3 円\r\n")
        .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
        .arg(i, 6, 10, QLatin1Char('0'))
        .arg(100 + i % 9000);
}

} // namespace tallemo
