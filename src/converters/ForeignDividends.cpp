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

#include "converters/Evidence.h"
#include "text/LineModel.h"
#include "text/NumberText.h"
#include "text/OutputList.h"
#include "text/Regional.h"
#include "text/TextPrimitives.h"

namespace tallemo {

namespace {

const QString kAmountKeyword = QStringLiteral("入金額");
// Code units the converter drops before and after the amount: "入金額 " and " USD".
constexpr int kAmountPrefix = 4;
constexpr int kAmountSuffix = 4;

} // namespace

std::optional<OutputList> ConvertForeignDividends(LineModel& Lines, const Regional& regional,
                                                  const YenPerDollarSource& GetYPD) {
    // Without a rate there is nothing to convert with; the client has already said why in its
    // trace line.
    const std::optional<double> rate = GetYPD(Lines);
    if (!rate)
        return std::nullopt;
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
            return std::nullopt;
        QString St2 = Lines.line(i - 3);
        QString LOutput = dateText + kTab + QStringLiteral("配当米国") + kTab + St2 + kTab + kTab;

        const int m = static_cast<int>(St1.size());
        Delete(St1, 1, kAmountPrefix);
        St2 = AnsiLeftStr(St1, m - kAmountPrefix - kAmountSuffix);

        // The first row uses the rate as delivered; only then is it rounded to one decimal, and
        // every later row uses the rounded rate.
        const double DYen = DecimalTextToFloat(St2, regional.decimalSeparator) * LYPD;
        const int IYen = RoundHalfEvenToInt32(DYen);
        LYPD = RoundHalfEven(LYPD * 10) / 10;

        LOutput += QStringLiteral("-") + QString::number(IYen) + kTab +
                   GeneralNumberText(LYPD, regional.decimalSeparator);
        SL.add(LOutput);
    }

    Lines.add(SL.text());
    return SL;
}

Recognition RecogniseForeignDividends(const LineModel& Lines) {
    Recognition recognition;
    const int N = Lines.count();
    for (int i = 0; i < N; ++i) {
        const QString St1 = Lines.line(i);
        if (AnsiLeftStr(St1, 3) != kAmountKeyword)
            continue;
        // The converter stops at an amount without a name line three above it.
        if (i < 3)
            return {};
        ++recognition.entries;
        // "入金額 100.00 USD": the dollar amount between the cuts; yen amounts are the domestic
        // notices'.
        const QStringView amount =
            QStringView(St1).mid(kAmountPrefix, St1.size() - kAmountPrefix - kAmountSuffix);
        if (St1.endsWith(QStringLiteral(" USD")) && evidence::isAmount(amount))
            ++recognition.wellFormed;
        else if (St1.endsWith(u'円'))
            ++recognition.against;
    }
    return recognition;
}

QString ForeignDividendsSampleEntry(int i) {
    return QStringLiteral("SAMPLE HOLDINGS %1\r\n数量 200株\r\n1株あたり 0.50\r\n"
                          "入金額 %2.%3 USD\r\n")
        .arg(i, 6, 10, QLatin1Char('0'))
        .arg(1 + i % 900)
        .arg(i % 100, 2, 10, QLatin1Char('0'));
}

} // namespace tallemo
