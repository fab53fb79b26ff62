// Domestic dividend statements, as pasted (the seven characters after each keyword are never
// looked at; the amount line's last character is dropped):
//
//   配当金のお知らせ
//   銘柄名　　　　　　：サンプル工業
//   数量　　　　　　　：100株
//   入金額　　　　　　：1,500円
//
// become "2025/01/15 → 配当国内 → サンプル工業 → → -1,500".
#include "converters/DomesticDividends.h"

#include "text/Clipboard.h"
#include "text/LineModel.h"
#include "text/OutputList.h"
#include "text/Regional.h"
#include "text/TextPrimitives.h"

namespace tallemo {

void ConvertDomesticDividends(LineModel& Lines, Clipboard& clipboard, const Regional& regional) {
    static const QString kNameKeyword = QStringLiteral("銘柄名");
    static const QString kAmountKeyword = QStringLiteral("入金額");

    const QString dateText = regional.dateText();
    OutputList SL;
    QString LOutput;

    const int N = Lines.count();
    for (int i = 0; i < N; ++i) {
        QString St1 = Lines.line(i);
        QString St2 = St1;
        St1 = AnsiLeftStr(St1, 3);
        if (St1 == kNameKeyword) {
            LOutput = dateText + kTab + QStringLiteral("配当国内") + kTab;
            Delete(St2, 1, 10);
            LOutput += St2 + kTab + kTab;
        }
        if (St1 == kAmountKeyword) {
            // AnsiLeftStr counts characters, m code units: a surrogate pair in the amount keeps
            // the last character.
            const int m = static_cast<int>(St2.size());
            Delete(St2, 1, 10);
            St2 = AnsiLeftStr(St2, m - 11);
            LOutput += QStringLiteral("-") + St2;
            SL.add(LOutput);
            LOutput.clear();
        }
    }

    const QString rows = SL.text();
    Lines.setText(rows);
    clipboard.setText(rows);
}

} // namespace tallemo
