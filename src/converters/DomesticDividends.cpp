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

#include "converters/Evidence.h"
#include "text/LineModel.h"
#include "text/OutputList.h"
#include "text/Regional.h"
#include "text/TextPrimitives.h"

namespace tallemo {

namespace {

const QString kNameKeyword = QStringLiteral("銘柄名");
const QString kAmountKeyword = QStringLiteral("入金額");

} // namespace

OutputList ConvertDomesticDividends(LineModel& Lines, const Regional& regional) {
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

    Lines.setText(SL.text());
    return SL;
}

Recognition RecogniseDomesticDividends(const LineModel& Lines) {
    Recognition recognition;
    bool named = false;
    const int N = Lines.count();
    for (int i = 0; i < N; ++i) {
        const QString St = Lines.line(i);
        const QString keyword = AnsiLeftStr(St, 3);
        if (keyword == kNameKeyword) {
            named = true;
        } else if (keyword == kAmountKeyword) {
            ++recognition.entries;
            // The page gives the amount in yen after a full-width colon; the dollar amounts of
            // the US notices end in USD.
            const QStringView amount = evidence::trimmedBlanks(QStringView(St).sliced(3));
            if (amount.endsWith(u"USD"))
                ++recognition.against;
            else if (named && amount.endsWith(u'円') && amount.contains(u'：'))
                ++recognition.wellFormed;
            named = false;
        }
    }
    return recognition;
}

QString DomesticDividendsSampleEntry(int i) {
    return QStringLiteral("配当金のお知らせ\r\n銘柄名　　　　　　：サンプル工業%1\r\n"
                          "数量　　　　　　　：100株\r\n入金額　　　　　　：%2円\r\n")
        .arg(i, 6, 10, QLatin1Char('0'))
        .arg(100 + i % 9000);
}

} // namespace tallemo
