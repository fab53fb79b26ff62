#include "converters/StatementKinds.h"

#include "converters/CardStatement.h"
#include "converters/CoopStatement.h"
#include "converters/DomesticDividends.h"
#include "converters/ForeignDividends.h"
#include "converters/ViewCard.h"
#include "text/LineModel.h"

#include <algorithm>
#include <array>

namespace tallemo {

double Recognition::confidence() const {
    if (entries <= 0)
        return 0;
    return (static_cast<double>(wellFormed) - against) / entries;
}

namespace {

const std::array<StatementKind, 5>& table() {
    static const std::array<StatementKind, 5> kinds = {
        StatementKind{
            .id = QStringLiteral("card"),
            .caption = QStringLiteral("楽天カード"),
            .summary = QStringLiteral("card usage statement"),
            .remark = std::nullopt,
            .convert = [](LineModel& Lines,
                          const ConvertContext& context) -> std::optional<OutputList> {
                return convertCardStatement(Lines, context.rowsSink);
            },
            .recognise = recogniseCardStatement,
            .sampleEntry = cardStatementSampleEntry,
        },
        StatementKind{
            .id = QStringLiteral("domestic"),
            .caption = QStringLiteral("国内配当"),
            .summary = QStringLiteral("domestic dividends"),
            .needsDate = true,
            .remark = std::nullopt,
            .convert = [](LineModel& Lines,
                          const ConvertContext& context) -> std::optional<OutputList> {
                return convertDomesticDividends(Lines, context.regional, context.rowsSink);
            },
            .recognise = recogniseDomesticDividends,
            .sampleEntry = domesticDividendsSampleEntry,
        },
        StatementKind{
            .id = QStringLiteral("foreign"),
            .caption = QStringLiteral("国外配当"),
            .summary = QStringLiteral("US dividends in dollars, as rows in yen"),
            .needsDate = true,
            .needsRate = true,
            .remark = std::nullopt,
            .canFailAfterRows = true,
            .convert =
                [](LineModel& Lines, const ConvertContext& context) {
                    return convertForeignDividends(Lines, context.regional, context.yenPerDollar,
                                                   context.rowsSink);
                },
            .recognise = recogniseForeignDividends,
            .sampleEntry = foreignDividendsSampleEntry,
        },
        StatementKind{
            .id = QStringLiteral("view"),
            .caption = QStringLiteral("View"),
            .summary = QStringLiteral("View card statement"),
            .remark = RemarkSetting{QStringLiteral("View"), QStringLiteral("Suica"),
                                    QStringLiteral("Suica")},
            .convert = [](LineModel& Lines,
                          const ConvertContext& context) -> std::optional<OutputList> {
                return convertViewCard(Lines, context.remark, context.rowsSink);
            },
            .recognise = recogniseViewCard,
            .sampleEntry = viewCardSampleEntry,
        },
        StatementKind{
            .id = QStringLiteral("coop"),
            .caption = QStringLiteral("生協"),
            .summary = QStringLiteral("co-op statement"),
            .remark = RemarkSetting{QStringLiteral("seikyo"), QStringLiteral("hoken"),
                                    QStringLiteral("保険")},
            .convert = [](LineModel& Lines,
                          const ConvertContext& context) -> std::optional<OutputList> {
                return convertCoopStatement(Lines, context.remark, context.rowsSink);
            },
            .recognise = recogniseCoopStatement,
            .sampleEntry = coopStatementSampleEntry,
        },
    };
    return kinds;
}

} // namespace

std::span<const StatementKind> statementKinds() {
    return table();
}

const StatementKind* findStatementKind(QStringView id) {
    for (const StatementKind& kind : table()) {
        if (kind.id == id)
            return &kind;
    }
    return nullptr;
}

std::vector<RankedKind> rankStatementKinds(const LineModel& Lines) {
    std::vector<RankedKind> ranked;
    for (const StatementKind& kind : table()) {
        const Recognition recognition = kind.recognise(Lines);
        if (recognition.looksRight())
            ranked.push_back({&kind, recognition});
    }
    // Stable, so that the table's order decides what is otherwise equal.
    std::stable_sort(ranked.begin(), ranked.end(), [](const RankedKind& a, const RankedKind& b) {
        if (a.recognition.confidence() != b.recognition.confidence())
            return a.recognition.confidence() > b.recognition.confidence();
        return a.recognition.entries > b.recognition.entries;
    });
    return ranked;
}

QString sampleStatement(const StatementKind& kind, int n) {
    QString text;
    for (int i = 0; i < n; ++i)
        text += kind.sampleEntry(i);
    // Pages go on below the last entry, and some layouts need a line after it.
    return text + QStringLiteral("以上\r\n");
}

} // namespace tallemo
