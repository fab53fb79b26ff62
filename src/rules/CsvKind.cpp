#include "rules/CsvKind.h"

#include "files/CsvReader.h"
#include "rules/CellTemplate.h"
#include "text/LineModel.h"
#include "text/OutputList.h"
#include "text/RowText.h"
#include "text/StatementSyntax.h"
#include "text/Utf8.h"

#include <re2/re2.h>

#include <algorithm>

namespace tallemo::rules {

namespace {

using syntax::isBlankLine;

// A date's field holds a digit; the other lines of a statement's file (a holder line, a total,
// the local amount under a foreign usage) leave it empty or hold a word.
bool holdsDigit(QStringView value) {
    return std::any_of(value.begin(), value.end(), [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'０' && c <= u'９');
    });
}

// Where a template's field comes from: a column number, or a header's column name.
struct ColumnReference {
    int column = -1; // 0-based; -1 for a name
    QString name;
};

class CsvEngine final : public StatementEngine {
public:
    CsvEngine(std::unique_ptr<re2::RE2> header, std::vector<ColumnReference> references,
              std::vector<CellTemplate> cells, int columns, QString remarkCell)
        : m_header(std::move(header)), m_references(std::move(references)),
          m_cells(std::move(cells)), m_columns(columns), m_remarkCell(std::move(remarkCell)) {
        for (const CellTemplate& cell : m_cells) {
            for (const CellPart& part : cell) {
                for (const FieldUse& use : part.choices) {
                    if (std::find(use.filters.begin(), use.filters.end(), CellFilter::Date) !=
                            use.filters.end() &&
                        std::find(m_dateFields.begin(), m_dateFields.end(), use.field) ==
                            m_dateFields.end())
                        m_dateFields.push_back(use.field);
                }
            }
        }
        for (const ColumnReference& reference : m_references)
            m_neededColumns = std::max(m_neededColumns, reference.column + 1);
    }

    std::optional<OutputList> convert(LineModel& Lines,
                                      const ConvertContext& context) const override;
    Recognition recognise(const LineModel& Lines) const override;
    KindScan scan(const LineModel& Lines, const ConvertContext& context) const override;
    bool recognisesWhileConverting() const override { return true; }

private:
    // What a line of the text is to the kind.
    enum class LineRole {
        Header,      // a header line
        Entry,       // a record that gives a row, or is counted as one that cannot
        OtherRecord, // a record of the file that is no entry (a holder line, a total)
        Foreign,     // not the file's: before its header, or a record too short for the kind
    };

    // What the walk has seen, for the recognition; the caller counts the well-formed entries.
    struct LineCounts {
        Recognition recognition;
        int coveredLines = 0;
        int textLines = 0;

        void add(int first, int last, LineRole role) {
            const int lines = last - first + 1;
            textLines += lines;
            if (role != LineRole::Foreign)
                coveredLines += lines;
            if (role == LineRole::Entry)
                ++recognition.entries;
        }
        Recognition result(bool hasHeader) const {
            Recognition r = recognition;
            // Without its header, a kind that names its columns has not seen its file.
            if (hasHeader && coveredLines == 0)
                r.entries = r.wellFormed = 0;
            if (textLines > 0)
                r.coverage = static_cast<double>(coveredLines) / textLines;
            return r;
        }
    };

    // Calls onLines(first, last, role, valueOf) for every record and header, top to bottom;
    // valueOf(field) gives a field's text for an entry.
    template <class OnLines> void walk(const LineModel& Lines, OnLines onLines) const;

    std::unique_ptr<re2::RE2> m_header;
    std::vector<ColumnReference> m_references;
    std::vector<CellTemplate> m_cells;
    std::vector<int> m_dateFields; // the fields read with the date filter
    int m_neededColumns = 0;       // the highest column number the cells name
    int m_columns = 0;             // an entry's number of fields; 0: any
    QString m_remarkCell;          // added as the last cell when the kind's setting is on
};

template <class OnLines> void CsvEngine::walk(const LineModel& Lines, OnLines onLines) const {
    const int N = Lines.count();
    // The column each field reads: fixed for a number, set by each header for a name.
    std::vector<int> columnOf(m_references.size());
    std::transform(m_references.begin(), m_references.end(), columnOf.begin(),
                   [](const ColumnReference& reference) { return reference.column; });
    bool belowHeader = m_header == nullptr;
    CsvRecord record;
    QByteArray utf8;
    const auto valueOf = [&](int field) {
        return record.field(columnOf[static_cast<std::size_t>(field)]);
    };
    const auto isHeader = [&](QStringView line) {
        if (m_header == nullptr)
            return false;
        utf8.resize(0);
        appendUtf8(utf8, line);
        const re2::StringPiece text(utf8.constData(), static_cast<std::size_t>(utf8.size()));
        return m_header->Match(text, 0, text.size(), re2::RE2::ANCHOR_BOTH, nullptr, 0);
    };
    const auto lineAt = [&](int i) { return Lines.wholeLineView(i); };
    const auto mapHeader = [&] {
        for (std::size_t f = 0; f < m_references.size(); ++f) {
            if (m_references[f].column >= 0)
                continue;
            columnOf[f] = -1;
            for (int c = 0; c < record.size(); ++c) {
                if (record.field(c).trimmed() == m_references[f].name) {
                    columnOf[f] = c;
                    break;
                }
            }
        }
    };

    for (int i = 0; i < N;) {
        const QStringView line = Lines.wholeLineView(i);
        if (isBlankLine(line)) {
            ++i;
            continue;
        }
        if (!belowHeader) {
            // Only a header starts the file's records; a header never spans lines.
            if (isHeader(line)) {
                readCsvRecord(lineAt, i, 1, record);
                mapHeader();
                belowHeader = true;
                onLines(i, i, LineRole::Header, valueOf);
            } else {
                onLines(i, i, LineRole::Foreign, valueOf);
            }
            ++i;
            continue;
        }
        const int taken = readCsvRecord(lineAt, i, N, record);
        const int last = i + taken - 1;
        // Without a date, any record with text is an entry.
        const bool entry = m_dateFields.empty()
                               ? !isBlankLine(line)
                               : std::all_of(m_dateFields.begin(), m_dateFields.end(),
                                             [&](int field) { return holdsDigit(valueOf(field)); });
        // A kind that knows its records' width takes no line of another width for an entry.
        if (entry && record.size() > 1 && (m_columns == 0 || record.size() == m_columns)) {
            onLines(i, last, LineRole::Entry, valueOf);
        } else if (isHeader(line)) {
            // A later header: a second statement in the same text, maybe of the other shape.
            readCsvRecord(lineAt, i, 1, record);
            mapHeader();
            onLines(i, i, LineRole::Header, valueOf);
            i += 1;
            continue;
        } else {
            onLines(i, last,
                    record.size() >= std::max(m_neededColumns, 2) ? LineRole::OtherRecord
                                                                  : LineRole::Foreign,
                    valueOf);
        }
        i = last + 1;
    }
}

std::optional<OutputList> CsvEngine::convert(LineModel& Lines,
                                             const ConvertContext& context) const {
    OutputList SL(context.rowsSink);
    RowText row;
    // What recognise would find, from the same walk: an entry is well formed when it gives a row.
    LineCounts counts;
    walk(Lines, [&](int first, int last, LineRole role, const auto& valueOf) {
        counts.add(first, last, role);
        if (role != LineRole::Entry)
            return;
        row.clear();
        for (std::size_t c = 0; c < m_cells.size(); ++c) {
            if (c > 0)
                row.append(u'\t');
            if (const std::optional<SkipReason> reason = appendCell(row, m_cells[c], valueOf)) {
                if (context.skipped != nullptr)
                    context.skipped->push_back({first, *reason});
                return;
            }
        }
        if (context.remark && !m_remarkCell.isEmpty()) {
            row.append(u'\t');
            row.append(m_remarkCell);
        }
        ++counts.recognition.wellFormed;
        SL.add(row.view());
    });
    if (context.recognition != nullptr)
        *context.recognition = counts.result(m_header != nullptr);
    return rowsReplacingTheText(std::move(SL), Lines, context);
}

Recognition CsvEngine::recognise(const LineModel& Lines) const {
    LineCounts counts;
    walk(Lines, [&](int first, int last, LineRole role, const auto& valueOf) {
        counts.add(first, last, role);
        if (role == LineRole::Entry && cellsReadable(m_cells, valueOf))
            ++counts.recognition.wellFormed;
    });
    return counts.result(m_header != nullptr);
}

KindScan CsvEngine::scan(const LineModel& Lines, const ConvertContext& context) const {
    KindScan scan;
    RowText cell;
    walk(Lines, [&](int first, int last, LineRole role, const auto& valueOf) {
        if (role != LineRole::Entry)
            return;
        KindScan::Entry entry{first, last, std::nullopt, {}};
        for (const CellTemplate& parts : m_cells) {
            cell.clear();
            if (const std::optional<SkipReason> reason = appendCell(cell, parts, valueOf)) {
                entry.skipped = *reason;
                entry.cells.clear();
                break;
            }
            entry.cells << cell.view().toString();
        }
        if (!entry.skipped && context.remark && !m_remarkCell.isEmpty())
            entry.cells << m_remarkCell;
        scan.entries.push_back(std::move(entry));
    });
    return scan;
}

} // namespace

std::variant<std::shared_ptr<const StatementEngine>, CsvRulesProblem>
makeCsvEngine(const QString& headerPattern, const QStringList& cellTemplates, int columns,
              const QString& remarkCell, RowLayout& layout) {
    std::unique_ptr<re2::RE2> header;
    if (!headerPattern.isEmpty()) {
        re2::RE2::Options options;
        options.set_log_errors(false);
        options.set_max_mem(kMaxPatternMemory);
        header = std::make_unique<re2::RE2>(headerPattern.toStdString(), options);
        if (!header->ok())
            return CsvRulesProblem{-1, QStringLiteral("パターンを読めません: %1")
                                           .arg(QString::fromStdString(header->error()))};
    }
    std::vector<ColumnReference> references;
    const auto resolve = [&](const QString& name) -> std::variant<int, QString> {
        bool isNumber = false;
        const int number = name.toInt(&isNumber);
        if (isNumber && number < 1)
            return QStringLiteral("列の番号は 1 から数えます（「%1」）").arg(name);
        if (isNumber && number > 1000)
            return QStringLiteral("列の番号「%1」が大きすぎます（1000 まで）").arg(name);
        if (name.isEmpty())
            return QStringLiteral("{} には列の番号か見出しの名前を書きます");
        if (!isNumber && header == nullptr)
            return QStringLiteral("見出しの行（header）がないので、列「%1」は番号で書きます")
                .arg(name);
        const ColumnReference reference{isNumber ? number - 1 : -1, isNumber ? QString() : name};
        const auto same =
            std::find_if(references.begin(), references.end(), [&](const ColumnReference& other) {
                return other.column == reference.column && other.name == reference.name;
            });
        if (same != references.end())
            return static_cast<int>(same - references.begin());
        references.push_back(reference);
        return static_cast<int>(references.size() - 1);
    };
    std::vector<CellTemplate> cells;
    for (int c = 0; c < cellTemplates.size(); ++c) {
        std::variant<CellTemplate, QString> cell = parseCellTemplate(cellTemplates[c], resolve);
        if (auto* problem = std::get_if<QString>(&cell))
            return CsvRulesProblem{c, *problem};
        cells.push_back(std::get<CellTemplate>(std::move(cell)));
    }
    layout = layoutOf(cells);
    return std::make_shared<const CsvEngine>(std::move(header), std::move(references),
                                             std::move(cells), columns, remarkCell);
}

} // namespace tallemo::rules
