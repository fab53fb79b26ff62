#include "learn/CsvLearner.h"

#include "files/CsvReader.h"
#include "learn/LearnedFile.h"
#include "rules/CellFilters.h"
#include "rules/RulesKind.h"
#include "text/LineModel.h"

#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <functional>
#include <optional>

namespace tallemo::learn::detail {

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\u3000';
}

bool isBlankText(QStringView text) {
    return std::all_of(text.begin(), text.end(), isBlank);
}

// A line read as one record: its fields unquoted, and where each stands in the line (-1 for an
// empty field and for one the reader had to rebuild, with doubled quotes).
struct CsvLine {
    QString text;
    QStringList fields;
    std::vector<int> starts;

    int size() const { return static_cast<int>(fields.size()); }
    QString trimmed(int field) const { return fields.value(field).trimmed(); }
};

CsvLine readLine(QString text) {
    if (text.endsWith(u'\r'))
        text.chop(1);
    CsvLine line;
    line.text = std::move(text);
    CsvRecord record;
    const QStringView whole(line.text);
    readCsvRecord([&](int) { return whole; }, 0, 1, record);
    const std::less_equal<const char16_t*> notAfter;
    for (int f = 0; f < record.size(); ++f) {
        const QStringView field = record.field(f);
        line.fields << field.toString();
        const bool inLine = !field.isEmpty() && notAfter(whole.utf16(), field.utf16()) &&
                            notAfter(field.utf16() + field.size(), whole.utf16() + whole.size());
        line.starts.push_back(inLine ? static_cast<int>(field.utf16() - whole.utf16()) : -1);
    }
    return line;
}

// An amount written with a grouping comma outside quotes ("SHOP 1,500円", "¥1,500", "…,1,480円"):
// the line is a mail's or a page's, whose commas part no fields.
bool holdsGroupedAmount(const QString& line) {
    QString outsideQuotes = line;
    bool quoted = false;
    for (QChar& c : outsideQuotes) {
        if (c == u'"')
            quoted = !quoted;
        else if (quoted)
            c = u'x';
    }
    static const QRegularExpression grouped(
        QStringLiteral("[ \\x{3000}¥￥:：][0-9０-９]{1,3},[0-9０-９]{3}(?![0-9０-９])"
                       "|[0-9０-９],[0-9０-９]{3}[ \\x{3000}]*円"));
    return grouped.match(outsideQuotes).hasMatch();
}

// Whether the line's quotes are as RFC 4180 has them: a quoted field closes right before a comma
// or the line's end, doubling the quotes inside, and an unquoted field holds none. The reader
// takes other quotes as text, as files have them; an example with them is more likely a mail's
// line that quotes a name.
bool quotedStrictly(QStringView line) {
    qsizetype k = 0;
    for (;;) {
        if (k < line.size() && line[k] == u'"') {
            ++k;
            for (;;) {
                if (k >= line.size())
                    return false;
                if (line[k] == u'"') {
                    if (k + 1 < line.size() && line[k + 1] == u'"') {
                        k += 2;
                        continue;
                    }
                    ++k;
                    break;
                }
                ++k;
            }
            if (k == line.size())
                return true;
            if (line[k] != u',')
                return false;
            ++k;
            continue;
        }
        for (; k < line.size() && line[k] != u','; ++k) {
            if (line[k] == u'"')
                return false;
        }
        if (k == line.size())
            return true;
        ++k;
    }
}

std::optional<CsvLine> csvExampleLine(const QStringList& exampleLines) {
    QStringList lines;
    for (const QString& line : exampleLines) {
        if (!isBlankText(line))
            lines << line;
    }
    if (lines.size() != 1 || lines.front().contains(u'\t') || holdsGroupedAmount(lines.front()) ||
        !quotedStrictly(lines.front()))
        return std::nullopt;
    CsvLine line = readLine(lines.front());
    if (line.size() < 3)
        return std::nullopt;
    return line;
}

QStringList statementLines(const QString& statement) {
    QStringList lines = statement.split(u'\n');
    for (QString& line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
    return lines;
}

// A header names the columns: as many fields as the example, two of them or more with text, none
// a date or an amount. A name with a quote in it is taken for no header: the header's pattern
// would have to know how the file doubles it.
bool looksLikeHeader(const CsvLine& line) {
    int named = 0;
    for (int f = 0; f < line.size(); ++f) {
        const QString text = line.trimmed(f);
        if (text.isEmpty())
            continue;
        if (rules::readDate(text) || rules::readYen(text) || text.contains(u'"'))
            return false;
        ++named;
    }
    return named >= 2;
}

// The header of the example's file: the nearest line above the example in the statement that
// looks like one.
std::optional<CsvLine> headerAbove(const CsvLine& example, const QString& statement) {
    const QStringList lines = statementLines(statement);
    qsizetype end = lines.size();
    for (qsizetype k = 0; k < lines.size(); ++k) {
        if (QStringView(lines[k]).trimmed() == QStringView(example.text).trimmed()) {
            end = k;
            break;
        }
    }
    for (qsizetype k = end - 1; k >= 0; --k) {
        if (isBlankText(lines[k]) || lines[k].contains(u'\t'))
            continue;
        CsvLine line = readLine(lines[k]);
        if (line.size() == example.size() && looksLikeHeader(line))
            return line;
    }
    return std::nullopt;
}

// Literal text as a pattern: ASCII punctuation escaped, the rest as it stands.
QString escapedForPattern(QStringView text) {
    QString out;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80 && !c.isLetterOrNumber() && u != u' ' && u != u'_')
            out += u'\\';
        out += c;
    }
    return out;
}

// The header line's pattern: each name quoted or not, with blanks around it.
QString headerPattern(const CsvLine& header) {
    QStringList parts;
    for (int f = 0; f < header.size(); ++f) {
        const QString name = header.trimmed(f);
        const QString inner = name.isEmpty() ? QStringLiteral("(?:\"\")?")
                                             : QStringLiteral("\"?") + escapedForPattern(name) +
                                                   QStringLiteral("\"?");
        parts << QStringLiteral("[ \\t]*") + inner + QStringLiteral("[ \\t]*");
    }
    return parts.join(u',');
}

// How a cell refers to column f: the header's name where it is one a template can hold and no
// other column has, else the column's number.
QString referenceOf(int f, const std::optional<CsvLine>& header) {
    QString number = QString::number(f + 1);
    if (!header)
        return number;
    const QString name = header->trimmed(f);
    bool isNumber = false;
    static_cast<void>(name.toInt(&isNumber));
    const bool unusable =
        name.isEmpty() || isNumber || std::any_of(name.begin(), name.end(), [](QChar c) {
            return c == u'{' || c == u'}' || c == u'|' || c == u';' || c.unicode() < 0x20;
        });
    int sameName = 0;
    for (int g = 0; g < header->size(); ++g)
        sameName += header->trimmed(g) == name ? 1 : 0;
    return unusable || sameName > 1 ? number : name;
}

enum class ColumnClass { Date, Amount, Text };

// Where a wanted cell stands in a record: its column and the filters that make the field the cell.
struct Source {
    int column = 0;
    ColumnClass cls = ColumnClass::Text;
    QStringList filters;
};

std::vector<Source> sourcesOf(const QString& cell, const CsvLine& line) {
    std::vector<Source> found;
    const std::optional<QString> cellAsYen = rules::readYen(cell);
    for (int f = 0; f < line.size(); ++f) {
        const QString text = line.trimmed(f);
        if (text.isEmpty())
            continue;
        if (const std::optional<QString> date = rules::readDate(text)) {
            if (date == cell)
                found.push_back({f, ColumnClass::Date, {QStringLiteral("date")}});
            continue;
        }
        if (const std::optional<QString> yen = rules::readYen(text)) {
            if (yen == cell) {
                found.push_back({f, ColumnClass::Amount, {QStringLiteral("yen")}});
                continue;
            }
            if (cellAsYen && *cellAsYen != u"0" &&
                (u'-' + *yen == *cellAsYen || *yen == u'-' + *cellAsYen)) {
                found.push_back({f, ColumnClass::Amount, {QStringLiteral("neg")}});
                continue;
            }
        }
        if (text == cell)
            found.push_back({f, ColumnClass::Text, {QStringLiteral("trim")}});
        else if (text.normalized(QString::NormalizationForm_KC) == cell)
            found.push_back(
                {f, ColumnClass::Text, {QStringLiteral("width"), QStringLiteral("trim")}});
    }
    return found;
}

// Of the columns a cell could come from, the one whose heading names its class (a date under
// 日, an amount under 金額), else the first; never a balance where another column will do.
std::size_t preferredSource(const std::vector<Source>& sources,
                            const std::optional<CsvLine>& header) {
    const auto heading = [&](const Source& source) {
        return header ? header->trimmed(source.column) : QString();
    };
    for (std::size_t k = 0; k < sources.size(); ++k) {
        const QString name = heading(sources[k]);
        if ((sources[k].cls == ColumnClass::Date && name.contains(u'日')) ||
            (sources[k].cls == ColumnClass::Amount && name.contains(QStringLiteral("金額"))))
            return k;
    }
    for (std::size_t k = 0; k < sources.size(); ++k) {
        if (sources[k].cls != ColumnClass::Amount || !heading(sources[k]).contains(u"残高"))
            return k;
    }
    return 0;
}

// The row proposed from one record in the card kind's layout: its date, the text that varies most
// between the statement's records (the longest where it cannot tell), two empty cells, and its
// amount, never a balance.
QStringList proposedRow(const CsvLine& line, const std::optional<CsvLine>& header,
                        const QString& statement, QStringList& warnings) {
    int dateColumn = -1;
    int amountColumn = -1;
    bool amountNamed = false;
    std::vector<int> textColumns;
    for (int f = 0; f < line.size(); ++f) {
        const QString text = line.trimmed(f);
        const QString heading = header ? header->trimmed(f) : QString();
        if (text.isEmpty())
            continue;
        if (rules::readDate(text)) {
            if (dateColumn < 0)
                dateColumn = f;
        } else if (rules::readYen(text)) {
            const bool named = heading.contains(QStringLiteral("金額"));
            if (!heading.contains(u"残高") && (amountColumn < 0 || (named && !amountNamed))) {
                amountColumn = f;
                amountNamed = named;
            }
        } else {
            textColumns.push_back(f);
        }
    }

    // The statement's records of the same width with a date where the example has one.
    std::vector<QSet<QString>> values(static_cast<std::size_t>(line.size()));
    int records = 0;
    for (const QString& text : statementLines(statement)) {
        if (isBlankText(text) || text.contains(u'\t'))
            continue;
        const CsvLine record = readLine(text);
        if (record.size() != line.size() ||
            (dateColumn >= 0 && !rules::readDate(record.trimmed(dateColumn))))
            continue;
        ++records;
        for (int f = 0; f < record.size(); ++f)
            values[static_cast<std::size_t>(f)].insert(record.trimmed(f));
    }
    int description = -1;
    for (const int f : textColumns) {
        if (description < 0) {
            description = f;
            continue;
        }
        const qsizetype variety = records >= 2 ? values[static_cast<std::size_t>(f)].size() : 0;
        const qsizetype best =
            records >= 2 ? values[static_cast<std::size_t>(description)].size() : 0;
        if (variety > best ||
            (variety == best && line.trimmed(f).size() > line.trimmed(description).size()))
            description = f;
    }

    QStringList row = {
        dateColumn >= 0 ? rules::readDate(line.trimmed(dateColumn)).value_or(QString()) : QString(),
        description >= 0 ? line.trimmed(description) : QString(), QString(), QString(),
        amountColumn >= 0 ? rules::readYen(line.trimmed(amountColumn)).value_or(QString())
                          : QString()};
    if (row.front().isEmpty())
        warnings << QStringLiteral("例に日付が見つからないので、行に日付のセルがありません");
    if (row.back().isEmpty())
        warnings << QStringLiteral("例に金額が見つからないので、行に金額のセルがありません");
    return row;
}

QString csvFileText(const LearnedKind& learned, const std::optional<CsvLine>& header, int columns,
                    const QStringList& cells) {
    QString text = QStringLiteral("# Learned by Tallemo from examples; see tallemo-kinds(5).\n"
                                  "id = %1\ncaption = %2\nformat = 'csv'\n")
                       .arg(tomlString(learned.id), tomlString(learned.caption));
    if (header)
        text += QStringLiteral("header = %1\n").arg(tomlString(headerPattern(*header)));
    else
        text += QStringLiteral("columns = %1\n").arg(columns);
    QStringList quoted;
    for (const QString& cell : cells)
        quoted << tomlString(cell);
    return text + QStringLiteral("\nrow = [") + quoted.join(QStringLiteral(", ")) +
           QStringLiteral("]\n");
}

// Whether the kind gives exactly the wanted row from the example below its header.
bool givesRow(const StatementKind& kind, const CsvLine& example,
              const std::optional<CsvLine>& header, const QStringList& wantedCells) {
    const QString text = header ? header->text + QStringLiteral("\n") + example.text : example.text;
    const rules::RulesScan scan = rules::scanWithRules(kind, LineModel::fromPastedText(text));
    return scan.entries.size() == 1 && !scan.entries.front().skipped &&
           scan.entries.front().cells == wantedCells;
}

QString columnName(int column, const std::optional<CsvLine>& header) {
    const QString heading = header ? header->trimmed(column) : QString();
    return heading.isEmpty() ? QStringLiteral("%1 列目").arg(column + 1)
                             : QStringLiteral("%1 列目（%2）").arg(column + 1).arg(heading);
}

} // namespace

bool isCsvExample(const QStringList& exampleLines, const QString& statement) {
    const std::optional<CsvLine> example = csvExampleLine(exampleLines);
    if (!example)
        return false;
    int sameWidth = 0;
    int lines = 0;
    for (const QString& text : statementLines(statement)) {
        if (isBlankText(text))
            continue;
        ++lines;
        if (!text.contains(u'\t') && readLine(text).size() == example->size())
            ++sameWidth;
    }
    return lines < 2 || sameWidth >= 2;
}

std::variant<LearnedKind, QString> learnCsvKind(const std::vector<LearnExample>& examples,
                                                LearnedKind learned, const QString& statement) {
    std::vector<CsvLine> lines;
    for (std::size_t e = 0; e < examples.size(); ++e) {
        std::optional<CsvLine> line = csvExampleLine(examples[e].lines);
        if (!line || line->size() != (lines.empty() ? line->size() : lines.front().size()))
            return QStringLiteral("例 %1 の行を作れる書式になりませんでした。どの例も明細の同じ形の"
                                  " 1 件を選んでください")
                .arg(e + 1);
        lines.push_back(std::move(*line));
    }
    const std::optional<CsvLine> header = headerAbove(lines.front(), statement);

    std::vector<QStringList> wanted(examples.size());
    std::transform(examples.begin(), examples.end(), wanted.begin(),
                   [](const LearnExample& example) { return example.wantedCells; });
    if (wanted.front().isEmpty())
        wanted.front() = proposedRow(lines.front(), header, statement, learned.warnings);
    learned.cells = wanted.front();

    // Per cell, the columns the examples take it from, in the examples' order.
    const qsizetype cellCount = wanted.front().size();
    std::vector<std::vector<Source>> sources(static_cast<std::size_t>(cellCount));
    bool anyFound = false;
    for (std::size_t e = 0; e < examples.size(); ++e) {
        for (qsizetype c = 0; c < cellCount; ++c) {
            const QString& cell = wanted[e][c];
            if (cell.isEmpty() || examples[e].literalCells.contains(static_cast<int>(c)))
                continue;
            const std::vector<Source> found = sourcesOf(cell, lines[e]);
            if (found.empty()) {
                if (e == 0)
                    learned.warnings << QStringLiteral("セル %1「%2」は例の中に見つかりません。"
                                                       "どの行でも「%2」という決まった文字に"
                                                       "なります")
                                            .arg(c + 1)
                                            .arg(cell);
                continue;
            }
            anyFound = true;
            const Source& chosen = found[preferredSource(found, header)];
            if (e == 0) {
                for (const Source& other : found) {
                    if (&other == &chosen)
                        continue;
                    learned.notes << QStringLiteral("セル %1「%2」は例の %3から取りました。%4の"
                                                    "「%5」からも作れます")
                                         .arg(c + 1)
                                         .arg(cell, columnName(chosen.column, header),
                                              columnName(other.column, header),
                                              lines[e].trimmed(other.column));
                }
            }
            std::vector<Source>& cellSources = sources[static_cast<std::size_t>(c)];
            const bool known =
                std::any_of(cellSources.begin(), cellSources.end(), [&](const Source& s) {
                    return s.column == chosen.column && s.filters == chosen.filters;
                });
            if (!known)
                cellSources.push_back(chosen);
        }
    }
    if (!anyFound)
        return QStringLiteral("行のどのセルも例の中に見つかりません。例の行と行のセルを確かめて"
                              "ください");

    QStringList cells;
    learned.fields.clear();
    for (qsizetype c = 0; c < cellCount; ++c) {
        const std::vector<Source>& cellSources = sources[static_cast<std::size_t>(c)];
        if (cellSources.empty()) {
            cells << cellTemplateText(wanted.front()[c]);
            continue;
        }
        QStringList choices;
        for (const Source& source : cellSources) {
            QString choice = referenceOf(source.column, header);
            for (const QString& filter : source.filters)
                choice += u'|' + filter;
            choices << choice;
        }
        cells << u'{' + choices.join(QStringLiteral("; ")) + u'}';
        const int column = cellSources.front().column;
        const int start = lines.front().starts[static_cast<std::size_t>(column)];
        if (start >= 0)
            learned.fields.push_back({0, start,
                                      static_cast<int>(lines.front().fields[column].size()),
                                      referenceOf(column, header), cells.back()});
    }

    learned.fileText = csvFileText(learned, header, lines.front().size(), cells);
    std::variant<StatementKind, QString> kind = loadLearned(learned.id, learned.fileText);
    if (auto* problem = std::get_if<QString>(&kind))
        return *problem;
    for (std::size_t e = 0; e < examples.size(); ++e) {
        if (givesRow(std::get<StatementKind>(kind), lines[e], header, wanted[e]))
            continue;
        if (examples.size() == 1)
            return QStringLiteral("例から書式を作れませんでした（例の行が作った書式に合いません）");
        return QStringLiteral("例 %1 の行を作れる書式になりませんでした。どの例も明細の同じ形の"
                              " 1 件を選んでください")
            .arg(e + 1);
    }
    const LineModel text = LineModel::fromPastedText(statement);
    recordScan(rules::scanWithRules(std::get<StatementKind>(kind), text), text, learned);
    return learned;
}

} // namespace tallemo::learn::detail
