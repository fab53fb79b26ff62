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
#include "text/RowText.h"
#include "text/TextPrimitives.h"

namespace tallemo {

namespace {

const QString kNameKeyword = QStringLiteral("銘柄名");
const QString kAmountKeyword = QStringLiteral("入金額");

} // namespace

OutputList convertDomesticDividends(LineModel& Lines, const Regional& regional,
                                    const RowsSink* rowsSink, std::vector<EntryLines>* entryLines) {
    static const QString kCategory = QStringLiteral("配当国内");
    const QString dateText = regional.dateText();
    OutputList SL(rowsSink);
    // One buffer for every row, reused: the rows go into SL's text.
    RowText LOutput;
    // The "銘柄名" line of the row being built, -1 before one.
    int nameLine = -1;

    const int N = Lines.count();
    for (int i = 0; i < N; ++i) {
        // The keywords are three characters without surrogates: the first three characters are
        // a keyword exactly when the line starts with it.
        const QStringView St1 = Lines.lineView(i);
        // What is left after Delete(St2, 1, 10).
        const QStringView St2 = St1.size() > 10 ? St1.sliced(10) : QStringView();
        if (beginsWith(St1, kNameKeyword)) {
            LOutput.clear();
            LOutput.append(dateText);
            LOutput.append(kTab);
            LOutput.append(kCategory);
            LOutput.append(kTab);
            LOutput.append(St2);
            LOutput.append(kTab);
            LOutput.append(kTab);
            nameLine = i;
        }
        if (beginsWith(St1, kAmountKeyword)) {
            // AnsiLeftStr counts characters, m code units: a surrogate pair in the amount keeps
            // the last character.
            const int m = static_cast<int>(St1.size());
            LOutput.append(u'-');
            LOutput.append(AnsiLeftView(St2, m - 11));
            SL.add(LOutput.view());
            LOutput.clear();
            if (entryLines != nullptr)
                entryLines->push_back({nameLine < 0 ? i : nameLine, i});
            nameLine = -1;
        }
    }

    if (rowsSink == nullptr) {
        Lines.setText(SL.text());
        SL.rowsMakeTheWholeText();
    }
    return SL;
}

Recognition recogniseDomesticDividends(const LineModel& Lines) {
    Recognition recognition;
    bool named = false;
    const int N = Lines.count();
    for (int i = 0; i < N; ++i) {
        const QStringView St = Lines.lineView(i);
        // Three characters without surrogates: AnsiLeftStr(St, 3) is a keyword exactly when St
        // begins with it.
        if (beginsWith(St, kNameKeyword)) {
            named = true;
        } else if (beginsWith(St, kAmountKeyword)) {
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

QString domesticDividendsSampleEntry(int i) {
    return QStringLiteral("配当金のお知らせ\r\n銘柄名　　　　　　：サンプル工業%1\r\n"
                          "数量　　　　　　　：100株\r\n入金額　　　　　　：%2円\r\n")
        .arg(i, 6, 10, QLatin1Char('0'))
        .arg(100 + i % 9000);
}

} // namespace tallemo
