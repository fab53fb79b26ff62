#include "converters/StatementKinds.h"

#include "converters/CardStatement.h"
#include "converters/CoopStatement.h"
#include "converters/DomesticDividends.h"
#include "converters/ForeignDividends.h"
#include "converters/ViewCard.h"
#include "text/LineModel.h"

#include <algorithm>

namespace tallemo {

double Recognition::confidence() const {
    if (entries <= 0)
        return 0;
    return (static_cast<double>(wellFormed) - against) / entries * coverage;
}

namespace {

// A built-in kind's engine: its converter and recogniser functions.
template <class Convert> class BuiltInEngine final : public StatementEngine {
public:
    BuiltInEngine(Convert converter, Recognition (*recogniser)(const LineModel&))
        : m_convert(std::move(converter)), m_recognise(recogniser) {}

    std::optional<OutputList> convert(LineModel& Lines,
                                      const ConvertContext& context) const override {
        return m_convert(Lines, context);
    }
    Recognition recognise(const LineModel& Lines) const override { return m_recognise(Lines); }
    // A conversion of a copy of the text, whose rows are split into their cells and paired with
    // the lines the converter says their entries took.
    KindScan scan(const LineModel& Lines, const ConvertContext& context) const override {
        LineModel copy(Lines.text());
        std::vector<EntryLines> entryLines;
        std::vector<SkippedEntry> skipped;
        std::vector<int> nearMisses;
        ConvertContext scanning = context;
        scanning.rowsSink = nullptr;
        scanning.entryLines = &entryLines;
        scanning.skipped = &skipped;
        scanning.nearMisses = &nearMisses;
        const std::optional<OutputList> rows = m_convert(copy, scanning);
        KindScan scan;
        for (int k = 0; rows && k < rows->count(); ++k) {
            const EntryLines lines = static_cast<std::size_t>(k) < entryLines.size()
                                         ? entryLines[static_cast<std::size_t>(k)]
                                         : EntryLines{-1, -1};
            scan.entries.push_back(
                {lines.first, lines.last, std::nullopt, rows->row(k).toString().split(u'\t')});
        }
        for (const SkippedEntry& entry : skipped)
            scan.entries.push_back({entry.line, entry.line, entry.reason, {}});
        std::stable_sort(scan.entries.begin(), scan.entries.end(),
                         [](const KindScan::Entry& a, const KindScan::Entry& b) {
                             return a.firstLine < b.firstLine;
                         });
        for (const int line : nearMisses)
            scan.nearMisses.push_back({line, line, 0});
        return scan;
    }

private:
    Convert m_convert;
    Recognition (*m_recognise)(const LineModel&);
};

template <class Convert>
std::shared_ptr<const StatementEngine> builtInEngine(Convert convert,
                                                     Recognition (*recognise)(const LineModel&)) {
    return std::make_shared<const BuiltInEngine<Convert>>(std::move(convert), recognise);
}

std::vector<StatementKind> builtInTable() {
    return {
        StatementKind{
            .id = QStringLiteral("card"),
            .caption = QStringLiteral("楽天カード"),
            .summary = QStringLiteral("card usage statement"),
            .remark = std::nullopt,
            .recordsHistory = true,
            .layout = RowLayout{},
            .fill = true,
            .engine = builtInEngine(
                [](LineModel& Lines, const ConvertContext& context) -> std::optional<OutputList> {
                    return convertCardStatement(Lines, context.rowsSink, context.entryLines);
                },
                recogniseCardStatement),
            .ownWindowElement = true,
            .sampleEntry = cardStatementSampleEntry,
        },
        StatementKind{
            .id = QStringLiteral("domestic"),
            .caption = QStringLiteral("国内配当"),
            .summary = QStringLiteral("domestic dividends"),
            .needsDate = true,
            .remark = std::nullopt,
            .engine = builtInEngine(
                [](LineModel& Lines, const ConvertContext& context) -> std::optional<OutputList> {
                    return convertDomesticDividends(Lines, context.regional, context.rowsSink,
                                                    context.entryLines);
                },
                recogniseDomesticDividends),
            .ownWindowElement = true,
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
            .engine = builtInEngine(
                [](LineModel& Lines, const ConvertContext& context) {
                    return convertForeignDividends(Lines, context.regional, context.yenPerDollar,
                                                   context.rowsSink, context.entryLines);
                },
                recogniseForeignDividends),
            .ownWindowElement = true,
            .sampleEntry = foreignDividendsSampleEntry,
        },
        StatementKind{
            .id = QStringLiteral("view"),
            .caption = QStringLiteral("View"),
            .summary = QStringLiteral("View card statement"),
            .remark = RemarkSetting{QStringLiteral("View"), QStringLiteral("Suica"),
                                    QStringLiteral("Suica")},
            .recordsHistory = true,
            .layout = RowLayout{},
            .fill = true,
            .engine = builtInEngine(
                [](LineModel& Lines, const ConvertContext& context) -> std::optional<OutputList> {
                    return convertViewCard(Lines, context.remark, context.rowsSink,
                                           context.entryLines);
                },
                recogniseViewCard),
            .ownWindowElement = true,
            .sampleEntry = viewCardSampleEntry,
        },
        StatementKind{
            .id = QStringLiteral("coop"),
            .caption = QStringLiteral("生協"),
            .summary = QStringLiteral("co-op statement"),
            .remark = RemarkSetting{QStringLiteral("seikyo"), QStringLiteral("hoken"),
                                    QStringLiteral("保険")},
            .recordsHistory = true,
            .layout = RowLayout{},
            .fill = true,
            .engine = builtInEngine(
                [](LineModel& Lines, const ConvertContext& context) -> std::optional<OutputList> {
                    OutputList rows = convertCoopStatement(Lines, context.remark, context.rowsSink);
                    // Each row is its entry's line, rewritten where it stands.
                    if (context.entryLines != nullptr && context.rowsSink == nullptr) {
                        for (int k = 0; k < rows.count(); ++k)
                            context.entryLines->push_back({rows.lineOf(k), rows.lineOf(k)});
                    }
                    return rows;
                },
                recogniseCoopStatement),
            .ownWindowElement = true,
            .sampleEntry = coopStatementSampleEntry,
        },
    };
}

} // namespace

QString remarkQuestion(const StatementKind& kind) {
    return QStringLiteral("%1は%2限定ですか?").arg(kind.caption, kind.remark->cell);
}

QString remarkInformation(const StatementKind& kind) {
    return QStringLiteral("備考欄に%1と出力します").arg(kind.remark->cell);
}

std::shared_ptr<const KindRegistry> KindRegistry::builtIn() {
    static const std::shared_ptr<const KindRegistry> registry(new KindRegistry(builtInTable()));
    return registry;
}

std::shared_ptr<const KindRegistry> KindRegistry::withAdded(std::vector<StatementKind> added) {
    const std::span<const StatementKind> builtIn = KindRegistry::builtIn()->kinds();
    std::vector<StatementKind> kinds(builtIn.begin(), builtIn.end());
    kinds.insert(kinds.end(), std::make_move_iterator(added.begin()),
                 std::make_move_iterator(added.end()));
    return std::shared_ptr<const KindRegistry>(new KindRegistry(std::move(kinds)));
}

const StatementKind* KindRegistry::find(QStringView id) const {
    for (const StatementKind& kind : m_kinds) {
        if (kind.id == id)
            return &kind;
    }
    return nullptr;
}

std::span<const StatementKind> builtInKinds() {
    return KindRegistry::builtIn()->kinds();
}

const StatementKind* findBuiltInKind(QStringView id) {
    return KindRegistry::builtIn()->find(id);
}

std::vector<RankedKind> KindRegistry::rank(const LineModel& Lines) const {
    std::vector<RankedKind> ranked;
    for (const StatementKind& kind : m_kinds) {
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
