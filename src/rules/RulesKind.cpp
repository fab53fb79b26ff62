#include "rules/RulesKind.h"

#include "rules/CellFilters.h"
#include "text/LineModel.h"
#include "text/OutputList.h"
#include "text/RowText.h"
#include "text/Utf8.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <re2/re2.h>
#include <toml++/toml.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace tallemo::rules {

namespace {

// One line of an entry's template.
struct LinePattern {
    std::unique_ptr<re2::RE2> pattern;
    bool optional = false;
    // For each capturing group of the pattern (1-based; slot 0 unused), the field it fills, or
    // -1 for a group no cell names.
    std::vector<int> fieldOfGroup;
    bool captures = false; // whether any group fills a field
};

// A piece of a cell's template: literal text, or a field with its filters.
struct CellPart {
    QString literal;
    int field = -1;
    std::vector<CellFilter> filters;
};

using CellTemplate = std::vector<CellPart>;

bool isBlankUnit(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\u3000';
}

bool isBlankLine(QStringView line) {
    return std::all_of(line.begin(), line.end(), isBlankUnit);
}

bool breaksTheRow(QChar c) {
    return c == u'\t' || c == u'\r' || c == u'\n' || c == QChar(0x2028) || c == QChar(0x2029);
}

// Appends a piece of a cell; a TAB or a line break in it becomes a space, so that the row's
// columns never shift.
void appendToCell(RowText& row, QStringView piece) {
    if (std::none_of(piece.begin(), piece.end(), breaksTheRow)) {
        row.append(piece);
        return;
    }
    for (const QChar c : piece)
        row.append(breaksTheRow(c) ? u' ' : c.unicode());
}

// The fields of one entry as the walk finds them, and what the cells make of them. The values
// keep their buffers from entry to entry.
class EntryFields {
public:
    explicit EntryFields(int count) : m_values(static_cast<std::size_t>(count)) {}

    void clear() {
        if (!m_dirty)
            return;
        for (QString& value : m_values)
            value.resize(0);
        m_dirty = false;
    }
    void set(int field, re2::StringPiece piece) {
        const QByteArrayView bytes(piece.data(), static_cast<qsizetype>(piece.size()));
        QString& value = m_values[static_cast<std::size_t>(field)];
        value.resize(bytes.size());
        // The line was encoded from text, and RE2 never cuts a character: the bytes are UTF-8.
        if (const QChar* end = decodeUtf8(bytes, value.data()); end != nullptr)
            value.truncate(end - value.constData());
        else
            value = utf8Text(bytes);
        m_dirty = true;
    }

    // Appends the cell made of its template to row, or says why it cannot be made (row then
    // holds part of it).
    std::optional<SkipReason> appendCell(RowText& row, const CellTemplate& parts) const {
        for (const CellPart& part : parts) {
            if (part.field < 0) {
                appendToCell(row, part.literal);
                continue;
            }
            const QString& value = m_values[static_cast<std::size_t>(part.field)];
            if (part.filters.empty()) {
                appendToCell(row, value);
                continue;
            }
            std::optional<QString> filtered = value;
            for (const CellFilter filter : part.filters) {
                filtered = applyCellFilter(filter, *filtered);
                if (!filtered)
                    return skipReasonOf(filter);
            }
            appendToCell(row, *filtered);
        }
        return std::nullopt;
    }

    // Whether every cell can be made, without making them.
    bool readable(const std::vector<CellTemplate>& cells) const {
        for (const CellTemplate& parts : cells) {
            for (const CellPart& part : parts) {
                std::optional<QString> filtered;
                for (const CellFilter filter : part.filters) {
                    filtered = applyCellFilter(
                        filter,
                        filtered ? *filtered : m_values[static_cast<std::size_t>(part.field)]);
                    if (!filtered)
                        return false;
                }
            }
        }
        return true;
    }

private:
    std::vector<QString> m_values;
    bool m_dirty = true;
};

class RulesEngine final : public StatementEngine {
public:
    RulesEngine(std::vector<LinePattern> lines, std::vector<CellTemplate> cells, int fieldCount,
                bool skipBlankLines)
        : m_lines(std::move(lines)), m_cells(std::move(cells)), m_fieldCount(fieldCount),
          m_skipBlankLines(skipBlankLines) {}

    std::optional<OutputList> convert(LineModel& Lines,
                                      const ConvertContext& context) const override;
    Recognition recognise(const LineModel& Lines) const override;

    // Calls onEntry(first, last, fields) for every entry, top to bottom, and onUnmatched(i) for
    // every line that matches the template's first line but begins no entry.
    template <class OnEntry, class OnUnmatched>
    void walk(const LineModel& Lines, OnEntry onEntry, OnUnmatched onUnmatched) const;

    // The row's cells, or why the entry gives none.
    std::variant<QStringList, SkipReason> cells(const EntryFields& fields) const {
        QStringList cells;
        RowText cell;
        for (const CellTemplate& parts : m_cells) {
            cell.clear();
            if (const std::optional<SkipReason> reason = fields.appendCell(cell, parts))
                return *reason;
            cells << cell.view().toString();
        }
        return cells;
    }
    bool readable(const EntryFields& fields) const { return fields.readable(m_cells); }

private:
    std::vector<LinePattern> m_lines;
    std::vector<CellTemplate> m_cells;
    int m_fieldCount = 0;
    bool m_skipBlankLines = false;
};

template <class OnEntry, class OnUnmatched>
void RulesEngine::walk(const LineModel& Lines, OnEntry onEntry, OnUnmatched onUnmatched) const {
    const int N = Lines.count();
    EntryFields fields(m_fieldCount);
    // One UTF-8 buffer per template line: the captures point into them until the entry is done.
    std::vector<QByteArray> utf8(m_lines.size());
    std::vector<re2::StringPiece> groups;
    const auto matches = [&](std::size_t k, QStringView line) {
        const LinePattern& linePattern = m_lines[k];
        QByteArray& bytes = utf8[k];
        bytes.resize(0);
        appendUtf8(bytes, line);
        const re2::StringPiece text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        if (!linePattern.captures)
            return linePattern.pattern->Match(text, 0, text.size(), re2::RE2::ANCHOR_BOTH, nullptr,
                                              0);
        groups.resize(linePattern.fieldOfGroup.size());
        if (!linePattern.pattern->Match(text, 0, text.size(), re2::RE2::ANCHOR_BOTH, groups.data(),
                                        static_cast<int>(groups.size())))
            return false;
        for (std::size_t g = 1; g < groups.size(); ++g) {
            if (linePattern.fieldOfGroup[g] >= 0 && groups[g].data() != nullptr)
                fields.set(linePattern.fieldOfGroup[g], groups[g]);
        }
        return true;
    };

    for (int i = 0; i < N;) {
        if (m_skipBlankLines && isBlankLine(Lines.wholeLineView(i))) {
            ++i;
            continue;
        }
        fields.clear();
        int j = i;
        int last = -1;
        bool firstLineMatched = false;
        bool matched = true;
        for (std::size_t k = 0; k < m_lines.size(); ++k) {
            // Blank lines between two lines of an entry are passed over when the file says so;
            // they never begin one.
            if (m_skipBlankLines && last >= 0) {
                while (j < N && isBlankLine(Lines.wholeLineView(j)))
                    ++j;
            }
            if (j < N && matches(k, Lines.wholeLineView(j))) {
                firstLineMatched = firstLineMatched || k == 0;
                last = j;
                ++j;
            } else if (!m_lines[k].optional) {
                matched = false;
                break;
            }
        }
        if (matched && last >= 0) {
            onEntry(i, last, fields);
            i = last + 1;
        } else {
            if (firstLineMatched)
                onUnmatched(i);
            ++i;
        }
    }
}

std::optional<OutputList> RulesEngine::convert(LineModel& Lines,
                                               const ConvertContext& context) const {
    OutputList SL(context.rowsSink);
    RowText row;
    walk(
        Lines,
        [&](int first, int /*last*/, const EntryFields& fields) {
            row.clear();
            for (std::size_t c = 0; c < m_cells.size(); ++c) {
                if (c > 0)
                    row.append(u'\t');
                if (const std::optional<SkipReason> reason = fields.appendCell(row, m_cells[c])) {
                    if (context.skipped != nullptr)
                        context.skipped->push_back({first, *reason});
                    return;
                }
            }
            SL.add(row.view());
        },
        [](int) {});
    // A text without a single row stays as it was, and so does the clipboard.
    if (SL.count() == 0)
        return std::nullopt;
    if (context.rowsSink == nullptr)
        Lines.setText(SL.text());
    return SL;
}

Recognition RulesEngine::recognise(const LineModel& Lines) const {
    Recognition recognition;
    int coveredLines = 0;
    walk(
        Lines,
        [&](int first, int last, const EntryFields& fields) {
            ++recognition.entries;
            if (readable(fields))
                ++recognition.wellFormed;
            for (int i = first; i <= last; ++i) {
                if (!isBlankLine(Lines.wholeLineView(i)))
                    ++coveredLines;
            }
        },
        [](int) {});
    int textLines = 0;
    for (int i = 0, N = Lines.count(); i < N; ++i) {
        if (!isBlankLine(Lines.wholeLineView(i)))
            ++textLines;
    }
    if (textLines > 0)
        recognition.coverage = static_cast<double>(coveredLines) / textLines;
    return recognition;
}

// ---- Reading a file ----

const QString kAllowedKeysText =
    QStringLiteral("id, caption, summary, skip-blank-lines, entry, row");

struct Problem {
    int line = 0;
    int column = 0;
    QString text;
};

Problem problemAt(const toml::node& node, QString text) {
    const toml::source_position begin = node.source().begin;
    return {static_cast<int>(begin.line), static_cast<int>(begin.column), std::move(text)};
}

// toml++ 3.3 asks of many characters between U+00A0 and U+FEFF (kana, CJK punctuation, accented
// letters) whether they are whitespace, wherever they stand outside a string, and its answer
// reaches an unreachable branch for them: undefined behaviour on a user's broken file. The reader
// is given the file with every character from U+0080 to U+FFFF moved to plane 15 (private use,
// which it asks nothing of), and every text it gives back is moved home again. Lines and columns
// count characters, so they stay as they are.
constexpr char32_t kShieldOffset = 0xF0000;

std::variant<std::string, Problem> shieldedFromTheReaderAt(const QByteArray& contents) {
    std::string out;
    out.reserve(static_cast<std::size_t>(contents.size()) * 2);
    int line = 1;
    int column = 1;
    const auto byteAt = [&](qsizetype k) { return static_cast<unsigned char>(contents[k]); };
    for (qsizetype k = 0; k < contents.size();) {
        const unsigned char lead = byteAt(k);
        int length = 0;
        char32_t c = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            c = lead & 0x1FU;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            c = lead & 0x0FU;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            c = lead & 0x07U;
        }
        bool wellFormed = length > 0 && k + length <= contents.size();
        for (int j = 1; wellFormed && j < length; ++j) {
            const unsigned char next = byteAt(k + j);
            wellFormed = (next & 0xC0U) == 0x80U;
            c = (c << 6U) | (next & 0x3FU);
        }
        wellFormed = wellFormed && !(length == 3 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) &&
                     !(length == 4 && (c < 0x10000 || c > 0x10FFFF));
        if (!wellFormed) {
            // ASCII, or bytes that are no UTF-8, which the reader refuses by itself.
            out += static_cast<char>(lead);
            if (lead == '\n') {
                ++line;
                column = 1;
            } else if (lead < 0x80) {
                ++column;
            }
            ++k;
            continue;
        }
        if (c >= kShieldOffset && c < kShieldOffset + 0x10000)
            return Problem{line, column,
                           QStringLiteral("私用領域の文字 U+%1 は使えません")
                               .arg(QString::number(static_cast<uint>(c), 16).toUpper())};
        if (c <= 0xFFFF) {
            const char32_t moved = c + kShieldOffset;
            out += static_cast<char>(0xF0U | (moved >> 18U));
            out += static_cast<char>(0x80U | ((moved >> 12U) & 0x3FU));
            out += static_cast<char>(0x80U | ((moved >> 6U) & 0x3FU));
            out += static_cast<char>(0x80U | (moved & 0x3FU));
        } else {
            out.append(contents.constData() + k, static_cast<std::size_t>(length));
        }
        k += length;
        ++column;
    }
    return out;
}

// A text the reader gives back, its characters moved home.
QString fromStd(std::string_view text) {
    const QString moved = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    QString home;
    home.reserve(moved.size());
    for (qsizetype k = 0; k < moved.size(); ++k) {
        if (moved[k].isHighSurrogate() && k + 1 < moved.size() && moved[k + 1].isLowSurrogate()) {
            const char32_t c = QChar::surrogateToUcs4(moved[k], moved[k + 1]);
            if (c >= kShieldOffset && c < kShieldOffset + 0x10000) {
                home += QChar(static_cast<char16_t>(c - kShieldOffset));
                ++k;
                continue;
            }
        }
        home += moved[k];
    }
    return home;
}

// Lines of many shapes: a pattern that matches every one of them says nothing about its line.
bool matchesAnyLine(const re2::RE2& pattern) {
    static const std::array<std::string_view, 7> kProbes = {
        "x",           "\xE3\x81\x82", "2024/11/03", "\xE2\x96\xA0Total: 1,500 yen",
        "SHOP\t1,500", "-----",        " (note) ",
    };
    return std::all_of(kProbes.begin(), kProbes.end(), [&](std::string_view probe) {
        return re2::RE2::FullMatch(re2::StringPiece(probe.data(), probe.size()), pattern);
    });
}

// A cell's template: "{name}", "{name|filter|filter}", literal text, "{{" and "}}" for braces.
std::variant<CellTemplate, QString> parseCell(const QString& text, const QStringList& fieldNames) {
    static const QRegularExpression kFieldName(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    CellTemplate parts;
    QString literal;
    const auto flushLiteral = [&] {
        if (!literal.isEmpty())
            parts.push_back({literal, -1, {}});
        literal.clear();
    };
    for (qsizetype k = 0; k < text.size(); ++k) {
        const QChar c = text[k];
        if (c == u'}') {
            if (k + 1 < text.size() && text[k + 1] == u'}') {
                literal += u'}';
                ++k;
                continue;
            }
            return QStringLiteral(
                "「}」に対応する「{」がありません（「}」そのものは「}}」と書きます）");
        }
        if (c != u'{') {
            literal += c;
            continue;
        }
        if (k + 1 < text.size() && text[k + 1] == u'{') {
            literal += u'{';
            ++k;
            continue;
        }
        const qsizetype close = text.indexOf(u'}', k + 1);
        if (close < 0)
            return QStringLiteral(
                "「{」が「}」で閉じられていません（「{」そのものは「{{」と書きます）");
        const QStringList pieces = text.mid(k + 1, close - k - 1).split(u'|');
        const QString name = pieces.front().trimmed();
        if (!kFieldName.match(name).hasMatch())
            return QStringLiteral("フィールド名「%1」は英字、数字と「_」で書きます").arg(name);
        const qsizetype field = fieldNames.indexOf(name);
        if (field < 0)
            return QStringLiteral("フィールド %1 は entry のどのパターンでも (?P<%1>…) として"
                                  "取り出されていません")
                .arg(name);
        CellPart part{QString(), static_cast<int>(field), {}};
        for (qsizetype f = 1; f < pieces.size(); ++f) {
            const QString filterName = pieces[f].trimmed();
            const std::optional<CellFilter> filter = cellFilterNamed(filterName);
            if (!filter)
                return QStringLiteral("知らないフィルター「%1」です（使えるのは %2）")
                    .arg(filterName, cellFilterNames());
            part.filters.push_back(*filter);
        }
        flushLiteral();
        parts.push_back(std::move(part));
        k = close;
    }
    flushLiteral();
    return parts;
}

bool hasControlCharacter(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() < 0x20 || c.unicode() == 0x7F || c == QChar(0x2028) ||
               c == QChar(0x2029);
    });
}

std::variant<StatementKind, Problem> readTable(const toml::table& table, const QString& path,
                                               const QStringList& takenIds) {
    for (const auto& [key, node] : table) {
        static const std::array<std::string_view, 6> kKeys = {
            "id", "caption", "summary", "skip-blank-lines", "entry", "row"};
        if (std::find(kKeys.begin(), kKeys.end(), key.str()) == kKeys.end())
            return problemAt(node, QStringLiteral("知らないキー「%1」です（使えるのは %2）")
                                       .arg(fromStd(key.str()), kAllowedKeysText));
    }
    const auto requiredString = [&](std::string_view key) -> std::variant<QString, Problem> {
        const toml::node* node = table.get(key);
        if (node == nullptr)
            return Problem{1, 1, QStringLiteral("%1 がありません").arg(fromStd(key))};
        if (!node->is_string())
            return problemAt(*node, QStringLiteral("%1 は文字列で書きます").arg(fromStd(key)));
        return fromStd(node->as_string()->get());
    };

    StatementKind kind;
    kind.sourceFile = path;
    kind.recordsHistory = true;

    // The id: the companion's name for the kind, and the file's name.
    std::variant<QString, Problem> id = requiredString("id");
    if (auto* problem = std::get_if<Problem>(&id))
        return *problem;
    kind.id = std::get<QString>(id);
    const toml::node& idNode = *table.get("id");
    static const QRegularExpression kIdSyntax(QStringLiteral("^[a-z][a-z0-9-]*$"));
    if (!kIdSyntax.match(kind.id).hasMatch())
        return problemAt(idNode, QStringLiteral("id「%1」は小文字の英字で始め、小文字の英字、数字と"
                                                "「-」で書きます")
                                     .arg(kind.id));
    if (reservedIds().contains(kind.id))
        return problemAt(idNode, QStringLiteral("id「%1」は tallemo-convert のコマンド名なので"
                                                "使えません")
                                     .arg(kind.id));
    if (takenIds.contains(kind.id))
        return problemAt(
            idNode, QStringLiteral("id「%1」は組み込みの書式の名前なので使えません").arg(kind.id));
    if (QFileInfo(path).fileName() != kind.id + QStringLiteral(".toml"))
        return problemAt(
            idNode, QStringLiteral("ファイル名は id に合わせて %1.toml にします").arg(kind.id));

    std::variant<QString, Problem> caption = requiredString("caption");
    if (auto* problem = std::get_if<Problem>(&caption))
        return *problem;
    kind.caption = std::get<QString>(caption).trimmed();
    if (kind.caption.isEmpty() || hasControlCharacter(kind.caption))
        return problemAt(*table.get("caption"),
                         QStringLiteral("caption は空でない 1 行の文字列で書きます"));

    if (const toml::node* summary = table.get("summary")) {
        if (!summary->is_string())
            return problemAt(*summary, QStringLiteral("summary は文字列で書きます"));
        kind.summary = fromStd(summary->as_string()->get());
    }
    bool skipBlankLines = false;
    if (const toml::node* skip = table.get("skip-blank-lines")) {
        if (!skip->is_boolean())
            return problemAt(*skip, QStringLiteral("skip-blank-lines は true か false で書きます"));
        skipBlankLines = skip->as_boolean()->get();
    }

    // The entry: one pattern per line.
    const toml::node* entryNode = table.get("entry");
    if (entryNode == nullptr)
        return Problem{1, 1, QStringLiteral("entry（1 件の行ごとのパターンの配列）がありません")};
    const toml::array* entry = entryNode->as_array();
    if (entry == nullptr || entry->empty())
        return problemAt(*entryNode,
                         QStringLiteral("entry は 1 件の行ごとのパターンの配列で書きます"));
    if (entry->size() > static_cast<std::size_t>(kMaxEntryLines))
        return problemAt(*entryNode, QStringLiteral("entry の行は %1 行までです（%2 行あります）")
                                         .arg(kMaxEntryLines)
                                         .arg(entry->size()));
    std::vector<LinePattern> lines;
    QStringList fieldNames;
    std::vector<const toml::node*> patternNodes;
    for (const toml::node& lineNode : *entry) {
        const toml::node* patternNode = &lineNode;
        bool optional = false;
        if (const toml::table* line = lineNode.as_table()) {
            for (const auto& [key, node] : *line) {
                if (key.str() != "line" && key.str() != "optional")
                    return problemAt(node, QStringLiteral("知らないキー「%1」です（entry の行に"
                                                          "使えるのは line, optional）")
                                               .arg(fromStd(key.str())));
            }
            patternNode = line->get("line");
            if (patternNode == nullptr)
                return problemAt(lineNode, QStringLiteral("line（行のパターン）がありません"));
            if (const toml::node* optionalNode = line->get("optional")) {
                if (!optionalNode->is_boolean())
                    return problemAt(*optionalNode,
                                     QStringLiteral("optional は true か false で書きます"));
                optional = optionalNode->as_boolean()->get();
            }
        }
        if (!patternNode->is_string())
            return problemAt(*patternNode,
                             QStringLiteral("行のパターンは文字列で書きます（'…' の中では \\ が"
                                            "そのまま残ります）"));
        const std::string patternText = fromStd(patternNode->as_string()->get()).toStdString();
        re2::RE2::Options options;
        options.set_log_errors(false);
        options.set_max_mem(kMaxPatternMemory);
        auto pattern = std::make_unique<re2::RE2>(patternText, options);
        if (!pattern->ok()) {
            if (pattern->error_code() == re2::RE2::ErrorPatternTooLarge)
                return problemAt(
                    *patternNode,
                    QStringLiteral("パターンが大きすぎます: %1").arg(fromStd(pattern->error())));
            return problemAt(
                *patternNode,
                QStringLiteral("パターンを読めません: %1").arg(fromStd(pattern->error())));
        }
        LinePattern linePattern;
        linePattern.optional = optional;
        linePattern.fieldOfGroup.assign(
            static_cast<std::size_t>(pattern->NumberOfCapturingGroups()) + 1, -1);
        for (const auto& [name, group] : pattern->NamedCapturingGroups()) {
            const QString fieldName = fromStd(name);
            if (fieldNames.contains(fieldName))
                return problemAt(*patternNode,
                                 QStringLiteral("フィールド %1 を取り出すパターンが 2 つあります")
                                     .arg(fieldName));
            fieldNames << fieldName;
            linePattern.fieldOfGroup[static_cast<std::size_t>(group)] =
                static_cast<int>(fieldNames.size() - 1);
            linePattern.captures = true;
        }
        linePattern.pattern = std::move(pattern);
        lines.push_back(std::move(linePattern));
        patternNodes.push_back(patternNode);
    }
    if (std::all_of(lines.begin(), lines.end(), [](const LinePattern& l) { return l.optional; }))
        return problemAt(*entryNode,
                         QStringLiteral("entry の行がすべて optional です: 少なくとも 1 行は"
                                        "必ずある行にします"));
    if (std::all_of(lines.begin(), lines.end(),
                    [](const LinePattern& l) { return matchesAnyLine(*l.pattern); }))
        return problemAt(*entryNode,
                         QStringLiteral("entry のパターンがどの行にも当てはまります: 少なくとも "
                                        "1 行は見出しや日付など、その行にある文字を書きます"));

    // The row: one template per cell.
    const toml::node* rowNode = table.get("row");
    if (rowNode == nullptr)
        return Problem{1, 1, QStringLiteral("row（行のセルの配列）がありません")};
    const toml::array* row = rowNode->as_array();
    if (row == nullptr || row->empty())
        return problemAt(*rowNode, QStringLiteral("row はセルのテンプレートの配列で書きます"));
    std::vector<CellTemplate> cells;
    for (const toml::node& cellNode : *row) {
        if (!cellNode.is_string())
            return problemAt(cellNode, QStringLiteral("row のセルは文字列で書きます"));
        std::variant<CellTemplate, QString> cell =
            parseCell(fromStd(cellNode.as_string()->get()), fieldNames);
        if (auto* problem = std::get_if<QString>(&cell))
            return problemAt(cellNode, *problem);
        cells.push_back(std::get<CellTemplate>(std::move(cell)));
    }

    kind.engine = std::make_shared<const RulesEngine>(
        std::move(lines), std::move(cells), static_cast<int>(fieldNames.size()), skipBlankLines);
    if (kind.summary.isEmpty())
        kind.summary = QStringLiteral("rules file %1").arg(QFileInfo(path).fileName());
    return kind;
}

} // namespace

const QStringList& reservedIds() {
    static const QStringList ids = {QStringLiteral("detect"),     QStringLiteral("kinds"),
                                    QStringLiteral("check"),      QStringLiteral("learn"),
                                    QStringLiteral("history"),    QStringLiteral("help"),
                                    QStringLiteral("categories"), QStringLiteral("fill")};
    return ids;
}

std::variant<std::string, RulesProblem> shieldedForTomlReader(const QString& path,
                                                              const QByteArray& contents) {
    std::variant<std::string, Problem> shielded = shieldedFromTheReaderAt(contents);
    if (const auto* p = std::get_if<Problem>(&shielded))
        return RulesProblem{path, p->line, p->column, p->text};
    return std::get<std::string>(std::move(shielded));
}

QString textFromTomlReader(std::string_view text) {
    return fromStd(text);
}

QString RulesProblem::toString() const {
    return QStringLiteral("%1:%2:%3: %4").arg(path).arg(line).arg(column).arg(text);
}

RulesKindOrProblem readRulesKind(const QString& path, const QByteArray& contents,
                                 const QStringList& takenIds) {
    const auto problem = [&](const Problem& p) -> RulesKindOrProblem {
        return RulesProblem{path, p.line, p.column, p.text};
    };
    if (contents.size() > kMaxFileSize)
        return problem(
            {0, 0,
             QStringLiteral("ファイルが大きすぎます（%1 KiB まで）").arg(kMaxFileSize / 1024)});
    std::variant<std::string, Problem> shielded = shieldedFromTheReaderAt(contents);
    if (const auto* shieldProblem = std::get_if<Problem>(&shielded))
        return problem(*shieldProblem);
    toml::parse_result parsed;
    try {
        parsed = toml::parse(std::string_view(std::get<std::string>(shielded)), path.toStdString());
    } catch (const toml::parse_error& error) {
        const toml::source_position begin = error.source().begin;
        return problem(
            {static_cast<int>(begin.line), static_cast<int>(begin.column),
             QStringLiteral("TOML として読めません: %1").arg(fromStd(error.description()))});
    }
    std::variant<StatementKind, Problem> kind = readTable(parsed, path, takenIds);
    if (auto* p = std::get_if<Problem>(&kind))
        return problem(*p);
    return std::get<StatementKind>(std::move(kind));
}

RulesKindOrProblem readRulesFile(const QString& path, const QStringList& takenIds) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return RulesProblem{path, 0, 0,
                            QStringLiteral("ファイルを読めません: %1").arg(file.errorString())};
    // One byte more than allowed is enough to tell a file that is too large.
    return readRulesKind(path, file.read(kMaxFileSize + 1), takenIds);
}

RulesScan scanWithRules(const StatementKind& kind, const LineModel& Lines) {
    RulesScan scan;
    const auto& engine = dynamic_cast<const RulesEngine&>(*kind.engine);
    engine.walk(
        Lines,
        [&](int first, int last, const EntryFields& fields) {
            RulesScan::Entry entry{first, last, std::nullopt, {}};
            std::variant<QStringList, SkipReason> cells = engine.cells(fields);
            if (auto* reason = std::get_if<SkipReason>(&cells))
                entry.skipped = *reason;
            else
                entry.cells = std::get<QStringList>(std::move(cells));
            scan.entries.push_back(std::move(entry));
        },
        [&](int line) { scan.unmatchedStarts.push_back(line); });
    return scan;
}

} // namespace tallemo::rules
