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

#include "text/Clipboard.h"
#include "text/LineModel.h"
#include "text/OutputList.h"
#include "text/TextPrimitives.h"

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

} // namespace

void ConvertCardStatement(LineModel& Lines, Clipboard& clipboard) {
    // The rows written so far, topmost last, each as its distance from the end of the text: a
    // deletion above a row leaves that distance as it is, so no index has to be shifted. A row
    // that a later entry's deletion takes away is dropped, so the clipboard gets exactly the rows
    // that stay in the text.
    std::vector<int> rowsFromEnd;

    // Deletions only ever remove lines at i and below it, so the lines still to be tested keep
    // their indexes while the scan runs upwards.
    for (int i = Lines.count() - 1; i >= 0; --i) {
        // The marker is four characters of the Basic Multilingual Plane, so "the first four
        // characters are the marker" is the same as "the line starts with it".
        if (!Lines.line(i).startsWith(kMarker))
            continue;

        for (int k = 0; k < kLinesPerMarker; ++k) {
            if (!rowsFromEnd.empty() && Lines.pieceCount() - rowsFromEnd.back() == i)
                rowsFromEnd.pop_back();
            Lines.deleteLine(i);
        }

        // A marker on the first line has no main line above it: nothing to rewrite or count.
        if (i == 0)
            continue;

        Lines.setLine(i - 1, rowFromMainLine(Lines.line(i - 1)));
        rowsFromEnd.push_back(Lines.pieceCount() - (i - 1));
    }

    OutputList SL;
    for (auto row = rowsFromEnd.rbegin(); row != rowsFromEnd.rend(); ++row)
        SL.add(Lines.line(Lines.pieceCount() - *row));
    clipboard.setText(SL.text());
}

} // namespace tallemo
