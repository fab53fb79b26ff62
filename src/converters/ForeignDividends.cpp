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
#include "text/RowText.h"
#include "text/TextPrimitives.h"

#include <bit>
#include <cstdint>

namespace tallemo {

namespace {

const QString kAmountKeyword = QStringLiteral("入金額");
// Code units the converter drops before and after the amount: "入金額 " and " USD".
constexpr int kAmountPrefix = 4;
constexpr int kAmountSuffix = 4;

// Calls onAmount(i, line) for every amount line the converter makes a row of, top to bottom. An
// amount among the first three lines has no name line above it: the command ends there, before
// any row, and later statements are not converted either; the walk then returns false.
template <class OnAmount> bool walkAmountLines(const LineModel& Lines, OnAmount onAmount) {
    const int N = Lines.count();
    for (int i = 0; i < N; ++i) {
        // "入金額" has no surrogates: its first three characters are it exactly when the line
        // starts with it.
        const QStringView St1 = Lines.lineView(i);
        if (!beginsWith(St1, kAmountKeyword))
            continue;
        if (i < 3)
            return false;
        onAmount(i, St1);
    }
    return true;
}

} // namespace

std::optional<OutputList> convertForeignDividends(LineModel& Lines, const Regional& regional,
                                                  const YenPerDollarSource& GetYPD,
                                                  const RowsSink* rowsSink,
                                                  std::vector<EntryLines>* entryLines) {
    // Without a rate there is nothing to convert with; the client has already said why in its
    // trace line.
    const std::optional<double> rate = GetYPD(Lines);
    if (!rate)
        return std::nullopt;
    double LYPD = *rate;

    static const QString kCategory = QStringLiteral("配当米国");
    const QString dateText = regional.dateText();
    OutputList SL(rowsSink);
    RowText LOutput;
    // After the first row the rate stays the same: its text is made once.
    double rateOfText = 0;
    QString rateText;

    // The walk includes the trace lines the rate client has just added.
    const bool converted = walkAmountLines(Lines, [&](int i, QStringView St1) {
        LOutput.clear();
        LOutput.append(dateText);
        LOutput.append(kTab);
        LOutput.append(kCategory);
        LOutput.append(kTab);
        LOutput.append(Lines.lineView(i - 3));
        LOutput.append(kTab);
        LOutput.append(kTab);

        // Delete(St1, 1, 4), then the first m - 8 characters.
        const int m = static_cast<int>(St1.size());
        const QStringView St2 =
            AnsiLeftView(St1.size() > kAmountPrefix ? St1.sliced(kAmountPrefix) : QStringView(),
                         m - kAmountPrefix - kAmountSuffix);

        // The first row uses the rate as delivered; only then is it rounded to one decimal, and
        // every later row uses the rounded rate.
        const double DYen = decimalTextToFloat(St2, regional.decimalSeparator) * LYPD;
        const int IYen = roundHalfEvenToInt32(DYen);
        LYPD = roundHalfEven(LYPD * 10) / 10;
        if (rateText.isNull() ||
            std::bit_cast<std::uint64_t>(rateOfText) != std::bit_cast<std::uint64_t>(LYPD)) {
            rateOfText = LYPD;
            rateText = generalNumberText(LYPD, regional.decimalSeparator);
        }

        LOutput.append(u'-');
        LOutput.appendNumber(IYen);
        LOutput.append(kTab);
        LOutput.append(rateText);
        SL.add(LOutput.view());
        if (entryLines != nullptr)
            entryLines->push_back({i - 3, i});
    });
    if (!converted)
        return std::nullopt;

    if (rowsSink == nullptr)
        Lines.add(SL.text());
    return SL;
}

Recognition recogniseForeignDividends(const LineModel& Lines) {
    Recognition recognition;
    const bool converted = walkAmountLines(Lines, [&recognition](int /*i*/, QStringView St1) {
        ++recognition.entries;
        // "入金額 100.00 USD": the dollar amount between the cuts; yen amounts are the domestic
        // notices'.
        const QStringView amount =
            St1.mid(kAmountPrefix, St1.size() - kAmountPrefix - kAmountSuffix);
        if (St1.endsWith(u" USD") && evidence::isAmount(amount))
            ++recognition.wellFormed;
        else if (St1.endsWith(u'円'))
            ++recognition.against;
    });
    return converted ? recognition : Recognition{};
}

QString foreignDividendsSampleEntry(int i) {
    return QStringLiteral("SAMPLE HOLDINGS %1\r\n数量 200株\r\n1株あたり 0.50\r\n"
                          "入金額 %2.%3 USD\r\n")
        .arg(i, 6, 10, QLatin1Char('0'))
        .arg(1 + i % 900)
        .arg(i % 100, 2, 10, QLatin1Char('0'));
}

} // namespace tallemo
