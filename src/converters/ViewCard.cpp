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

#include "settings/IntegerSyntax.h"
#include "text/Clipboard.h"
#include "text/LineModel.h"
#include "text/OutputList.h"
#include "text/TextPrimitives.h"

namespace tallemo {

void ConvertViewCard(LineModel& Lines, Clipboard& clipboard, bool LSuica) {
    OutputList SL;
    const int N = Lines.count();
    // A block needs at least one line after it, so the last three lines never start one.
    for (int i = 0; i <= N - 4; ++i) {
        const QString St1 = Lines.line(i);
        int value = 0;
        if (St1.size() != 4 || !TryStrToInt(St1, value))
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

    const QString text = SL.text();
    Lines.setText(text);
    clipboard.setText(text);
}

} // namespace tallemo
