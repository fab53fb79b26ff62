// US dividend statements, as pasted (the name is the line three above the amount line; the
// amount line's first four and last four code units are dropped):
//
//   見本ホールディングス
//   数量 200株
//   1株あたり 0.50
//   入金額 100.00 USD
//
// become, at 155.5769… yen per dollar, "2025/01/15 → 配当米国 → 見本ホールディングス → →
// -15558 → 155.6", added below the text after the rate client's trace line.
#include "converters/ForeignDividends.h"

#include "text/Clipboard.h"
#include "text/LineModel.h"
#include "text/NumberText.h"
#include "text/OutputList.h"
#include "text/Regional.h"
#include "text/TextPrimitives.h"

namespace tallemo {

void ConvertForeignDividends(LineModel& Lines, Clipboard& clipboard, const Regional& regional,
                             const YenPerDollarSource& GetYPD) {
    static const QString kAmountKeyword = QStringLiteral("入金額");

    // Without a rate there is nothing to convert with; the client has already said why in its
    // trace line.
    const std::optional<double> rate = GetYPD(Lines);
    if (!rate)
        return;
    double LYPD = *rate;

    const QString dateText = regional.dateText();
    OutputList SL;

    // The count includes the trace lines the rate client has just added.
    const int N = Lines.count();
    for (int i = 0; i < N; ++i) {
        QString St1 = Lines.line(i);
        if (AnsiLeftStr(St1, 3) != kAmountKeyword)
            continue;
        // An amount among the first three lines has no name line above it: the command ends
        // here, adding nothing, and later statements are not converted either.
        if (i < 3)
            return;
        QString St2 = Lines.line(i - 3);
        QString LOutput = dateText + kTab + QStringLiteral("配当米国") + kTab + St2 + kTab + kTab;

        const int m = static_cast<int>(St1.size());
        Delete(St1, 1, 4);
        St2 = AnsiLeftStr(St1, m - 8);

        // The first row uses the rate as delivered; only then is it rounded to one decimal, and
        // every later row uses the rounded rate.
        const double DYen = DecimalTextToFloat(St2, regional.decimalSeparator) * LYPD;
        const int IYen = RoundHalfEvenToInt32(DYen);
        LYPD = RoundHalfEven(LYPD * 10) / 10;

        LOutput += QStringLiteral("-") + QString::number(IYen) + kTab +
                   GeneralNumberText(LYPD, regional.decimalSeparator);
        SL.add(LOutput);
    }

    const QString rows = SL.text();
    Lines.add(rows);
    clipboard.setText(rows);
}

} // namespace tallemo
