// The card usage statement, as copied from the card company's web page (→ is a TAB):
//
//   2024/11/03→SAMPLE STORE→1,500 円      main line: becomes the row
//   支払方法→1回払い                        marker: deleted with the two lines after it
//   ...
//   ...
//
// The row is the main line with two empty cells after its second cell and every " 円" removed:
//   2024/11/03→SAMPLE STORE→→→1,500
#include "converters/CardStatement.h"

#include "converters/Evidence.h"
#include "text/LineModel.h"
#include "text/OutputList.h"
#include "text/RowText.h"
#include "text/TextPrimitives.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace tallemo {

namespace {

const QString kMarker = QStringLiteral("支払方法");
const QString kYenMark = QStringLiteral(" 円");
constexpr int kLinesPerMarker = 3;

QString rowFromMainLine(QString St) {
    // Removing the first TAB and putting it back at the same place leaves it where it was, while
    // the second TAB gains two more: 'A→B→C' becomes 'A→B→→→C'. With fewer TABs the same steps
    // move them to the front, and the entry is still counted.
    const int n = AnsiPos(kTab, St);
    Delete(St, n, 1);
    const int m = AnsiPos(kTab, St);
    Insert(kTab, St, m);
    Insert(kTab, St, m);
    Insert(kTab, St, n);
    return AnsiReplaceStr(St, kYenMark, QString());
}

// Where the first " 円" at or after from starts, or -1. The yen sign is the rarer of the two
// characters, so it is the one looked for.
qsizetype indexOfYenMark(QStringView s, qsizetype from) {
    for (qsizetype at = from + 1; at < s.size(); ++at) {
        at = indexOfUnit(s, kYenMark.back().unicode(), at);
        if (at < 0)
            return -1;
        if (s[at - 1] == kYenMark.front())
            return at - 1;
    }
    return -1;
}

// Appends s without any " 円" in it.
void appendWithoutYenMarks(RowText& out, QStringView s) {
    for (qsizetype from = 0;;) {
        const qsizetype at = indexOfYenMark(s, from);
        out.append(s.sliced(from, (at < 0 ? s.size() : at) - from));
        if (at < 0)
            return;
        from = at + kYenMark.size();
    }
}

// rowFromMainLine into row, without a string of its own for each line in the usual case of two
// TABs or more: the two new cells go in before the second TAB, and no " 円" can span a TAB.
void buildRow(QStringView St, RowText& row) {
    const qsizetype first = indexOfUnit(St, u'\t');
    const qsizetype second = first < 0 ? -1 : indexOfUnit(St, u'\t', first + 1);
    row.clear();
    if (second < 0) {
        row.append(rowFromMainLine(St.toString()));
        return;
    }
    appendWithoutYenMarks(row, St.first(second));
    row.append(u'\t');
    row.append(u'\t');
    appendWithoutYenMarks(row, St.sliced(second));
}

} // namespace

OutputList convertCardStatement(LineModel& Lines, const RowsSink* rowsSink,
                                std::vector<EntryLines>* entryLines) {
    // The rows written so far, topmost last, each as its distance from the end of the text: a
    // deletion above a row leaves that distance as it is, so no index has to be shifted. A row
    // that a later entry's deletion takes away is dropped, so the clipboard gets exactly the rows
    // that stay in the text.
    std::vector<int> rowsFromEnd;
    // The lines of the given text each row's entry took, beside rowsFromEnd. The lines above the
    // scan point are never moved, so the main line and its marker keep their indexes.
    std::vector<EntryLines> rowEntries;
    RowText rowText;
    const int lastLine = Lines.count() - 1;

    // Deletions only ever remove lines at i and below it, so the lines still to be tested keep
    // their indexes while the scan runs upwards.
    for (int i = Lines.count() - 1; i >= 0; --i) {
        // The marker is four characters of the Basic Multilingual Plane, so "the first four
        // characters are the marker" is the same as "the line starts with it".
        if (!beginsWith(Lines.lineView(i), kMarker))
            continue;

        for (int k = 0; k < kLinesPerMarker; ++k) {
            if (!rowsFromEnd.empty() && Lines.pieceCount() - rowsFromEnd.back() == i) {
                rowsFromEnd.pop_back();
                if (entryLines != nullptr)
                    rowEntries.pop_back();
            }
            Lines.deleteLine(i);
        }

        // A marker on the first line has no main line above it: nothing to rewrite or count.
        if (i == 0)
            continue;

        buildRow(Lines.lineView(i - 1), rowText);
        Lines.setLine(i - 1, rowText.view());
        rowsFromEnd.push_back(Lines.pieceCount() - (i - 1));
        if (entryLines != nullptr)
            rowEntries.push_back({i - 1, std::min(i + kLinesPerMarker - 1, lastLine)});
    }

    OutputList SL(rowsSink);
    for (std::size_t k = rowsFromEnd.size(); k-- > 0;) {
        const int line = Lines.pieceCount() - rowsFromEnd[k];
        SL.add(Lines.lineView(line), line);
    }
    if (entryLines != nullptr)
        entryLines->assign(rowEntries.rbegin(), rowEntries.rend());
    return SL;
}

Recognition recogniseCardStatement(const LineModel& Lines) {
    // The converter's upward scan, played on what each line is rather than on its text: the
    // lines at and below the scan point form a stack whose top is the current line. A row's
    // deletion by a later marker then drops it from the count exactly as the converter drops it
    // from the clipboard.
    struct Line {
        bool isRow = false;
        bool isMarker = false;
    };
    std::vector<Line> below;
    // The empty piece after a final CR LF is never scanned but can be deleted into.
    for (int k = Lines.pieceCount() - 1; k >= Lines.count(); --k)
        below.push_back({});

    Recognition recognition;
    std::optional<QString> pendingRow;
    for (int i = Lines.count() - 1; i >= 0; --i) {
        Line current;
        if (pendingRow) {
            current = {true, pendingRow->startsWith(kMarker)};
            pendingRow.reset();
        } else {
            current.isMarker = beginsWith(Lines.lineView(i), kMarker);
        }
        below.push_back(current);
        if (!current.isMarker)
            continue;

        for (int k = 0; k < kLinesPerMarker; ++k) {
            if (below.back().isRow)
                --recognition.entries;
            // Of the last piece only the text goes: it stays as an empty line.
            if (below.size() == 1)
                below.back() = {};
            else
                below.pop_back();
        }
        if (i == 0)
            continue;

        // Only a main line holding the marker's first character can become a row that starts
        // with the marker; any other row is known not to without building it.
        const QStringView mainLine = Lines.lineView(i - 1);
        pendingRow = indexOfUnit(mainLine, kMarker.front().unicode()) >= 0
                         ? rowFromMainLine(mainLine.toString())
                         : QString();
        ++recognition.entries;
        // The page puts the date first and TABs between date, shop and amount.
        if (evidence::startsWithDate(mainLine) && evidence::tabCount(mainLine) >= 2)
            ++recognition.wellFormed;
    }
    recognition.wellFormed = std::min(recognition.wellFormed, recognition.entries);
    return recognition;
}

QString cardStatementSampleEntry(int i) {
    return QStringLiteral("2024/11/%1\tSAMPLE STORE %2\t%3 円\r\n支払方法\t1回払い\r\n"
                          "ご利用者 本人\r\n備考なし\r\n")
        .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
        .arg(i, 6, 10, QLatin1Char('0'))
        .arg(100 + i % 9000);
}

} // namespace tallemo
