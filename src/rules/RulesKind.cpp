#include "rules/RulesKind.h"

#include "cli/CommandNames.h"
#include "rules/CellFilters.h"
#include "rules/CellTemplate.h"
#include "rules/CsvKind.h"
#include "rules/TomlFault.h"
#include "text/LineModel.h"
#include "text/OutputList.h"
#include "text/RowText.h"
#include "text/StatementSyntax.h"
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
#include <mutex>
#include <string>
#include <string_view>

namespace tallemo::rules {

namespace {

struct GroupChain;

// A compiled pattern and the fields its groups fill.
struct FieldPattern {
    std::unique_ptr<re2::RE2> pattern;
    // For each capturing group of the pattern (1-based; slot 0 unused), the field it fills, or
    // -1 for a group no cell names.
    std::vector<int> fieldOfGroup;
    bool captures = false; // whether any group fills a field
    // How many groups RE2 is asked for (the whole match's slot 0 included): up to the last group
    // whose field a cell takes, none when no cell does. RE2 finds whether a line matches with its
    // DFA alone, and the groups it need not report cost it nothing.
    int submatches = 0;
    // The pattern as written, and the same cut after the top-level part that holds the last
    // group a cell takes (see splitAfterGroup): null when it cannot be cut there.
    std::string source;
    std::unique_ptr<re2::RE2> head;
    std::unique_ptr<re2::RE2> rest;
    std::size_t headEnd = 0; // where the head ends in source
    // The head's groups found by RE2's DFA alone, piece by piece (see GroupChain); null when
    // the head has no run of words for a group or cannot be taken apart. Its pieces are compiled
    // when a line is first matched (chainOnce), so that reading the kinds a run does not use
    // costs no more.
    std::unique_ptr<std::once_flag> chainOnce;
    mutable std::unique_ptr<GroupChain> chain;
};

// Where the class opened at pattern[open] ends (its ']'): its first ']' (after an optional '^')
// is a literal, and so is every character up to the closing one but escapes and [:name:].
// Nothing when a [:name: never closes.
std::optional<std::size_t> classEnd(std::string_view pattern, std::size_t open) {
    std::size_t i = open + 1;
    if (i < pattern.size() && pattern[i] == '^')
        ++i;
    if (i < pattern.size() && pattern[i] == ']')
        ++i;
    for (; i < pattern.size() && pattern[i] != ']'; ++i) {
        if (pattern[i] == '\\') {
            ++i;
        } else if (pattern[i] == '[' && i + 1 < pattern.size() && pattern[i + 1] == ':') {
            const std::size_t close = pattern.find(":]", i + 2);
            if (close == std::string_view::npos)
                return std::nullopt;
            i = close + 1;
        }
    }
    return i;
}

// Whether RE2 must find the groups of this part of a pattern with its backtracker: it holds a
// lazy repetition ("*?", "+?", "??", "}?") or a repetition of any character (".*", ".+") with
// more pattern after it, either of which can also take what follows it, so that where a group
// ends cannot be decided one character at a time. A ".*" that ends the part takes the rest of
// the line, which needs no going back.
bool backtracksForGroups(std::string_view pattern) {
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '\\') {
            ++i;
            continue;
        }
        if (c == '[') {
            i = classEnd(pattern, i).value_or(pattern.size());
            continue;
        }
        const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        if ((c == '*' || c == '+' || c == '?' || c == '}') && next == '?')
            return true;
        if (c == '.' && (next == '*' || next == '+')) {
            const std::size_t after = pattern.find_first_not_of(')', i + 2);
            if (after != std::string_view::npos)
                return true;
        }
    }
    return false;
}

// One part of a pattern's top-level concatenation: an atom and its repetition, [begin, end) of
// the pattern, holding the capturing groups [firstGroup, lastGroup] (none when lastGroup is
// smaller). group is the capturing group the part is, when it is one group not repeated.
struct TopLevelPart {
    std::size_t begin = 0;
    std::size_t end = 0;
    int firstGroup = 0;
    int lastGroup = -1;
    int group = -1;
    bool repeated = false;
};

bool opensCapturingGroup(std::string_view afterParen) {
    return afterParen.empty() || afterParen.front() != '?' || afterParen.substr(0, 3) == "?P<" ||
           afterParen.substr(0, 2) == "?<";
}

// The parts of a pattern's top-level concatenation, or nothing when it is no plain
// concatenation: a | or a flag group at the top level, \Q…\E, or a bracket that never closes.
std::optional<std::vector<TopLevelPart>> topLevelParts(std::string_view pattern) {
    const std::size_t n = pattern.size();
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    std::vector<TopLevelPart> parts;
    int groups = 0;
    for (std::size_t i = 0; i < n;) {
        TopLevelPart part;
        part.begin = i;
        part.firstGroup = groups + 1;
        bool capturing = false;
        const char c = pattern[i];
        if (c == '|' || c == ')')
            return std::nullopt;
        if (c == '\\') {
            if (i + 1 >= n || pattern[i + 1] == 'Q' || pattern[i + 1] == 'E')
                return std::nullopt;
            const char escaped = pattern[i + 1];
            i += 2;
            if ((escaped == 'x' || escaped == 'p' || escaped == 'P') && i < n &&
                pattern[i] == '{') {
                const std::size_t close = pattern.find('}', i);
                if (close == std::string_view::npos)
                    return std::nullopt;
                i = close + 1;
            } else if (escaped == 'x') {
                i = std::min(i + 2, n);
            } else if (escaped == 'p' || escaped == 'P') {
                i = std::min(i + 1, n);
            } else if (isDigit(escaped)) {
                while (i < n && isDigit(pattern[i]))
                    ++i;
            }
        } else if (c == '[') {
            const std::optional<std::size_t> end = classEnd(pattern, i);
            if (!end || *end >= n)
                return std::nullopt;
            i = *end + 1;
        } else if (c == '(') {
            const std::string_view after = pattern.substr(i + 1);
            capturing = opensCapturingGroup(after);
            if (!capturing) {
                const std::size_t end = after.find_first_of(":)");
                if (end == std::string_view::npos || after[end] == ')')
                    return std::nullopt;
            }
            int depth = 0;
            std::size_t k = i;
            for (; k < n; ++k) {
                if (pattern[k] == '\\') {
                    if (k + 1 < n && (pattern[k + 1] == 'Q' || pattern[k + 1] == 'E'))
                        return std::nullopt;
                    ++k;
                } else if (pattern[k] == '[') {
                    const std::optional<std::size_t> end = classEnd(pattern, k);
                    if (!end || *end >= n)
                        return std::nullopt;
                    k = *end;
                } else if (pattern[k] == '(') {
                    ++depth;
                    if (opensCapturingGroup(pattern.substr(k + 1)))
                        ++groups;
                } else if (pattern[k] == ')' && --depth == 0) {
                    break;
                }
            }
            if (k >= n)
                return std::nullopt;
            i = k + 1;
        } else {
            // One character, all the bytes of its UTF-8.
            const auto lead = static_cast<unsigned char>(c);
            i += lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
            i = std::min(i, n);
        }
        bool repeated = false;
        if (i < n && (pattern[i] == '*' || pattern[i] == '+' || pattern[i] == '?')) {
            ++i;
            repeated = true;
        } else if (i + 1 < n && pattern[i] == '{' && isDigit(pattern[i + 1])) {
            // {n}, {n,} or {n,m}; anything else is a literal brace.
            std::size_t k = i + 1;
            while (k < n && isDigit(pattern[k]))
                ++k;
            if (k < n && pattern[k] == ',') {
                ++k;
                while (k < n && isDigit(pattern[k]))
                    ++k;
            }
            if (k < n && pattern[k] == '}') {
                i = k + 1;
                repeated = true;
            }
        }
        if (repeated && i < n && pattern[i] == '?')
            ++i;
        part.end = i;
        part.repeated = repeated;
        part.lastGroup = groups;
        if (capturing && !repeated)
            part.group = part.firstGroup;
        parts.push_back(part);
    }
    return parts;
}

// Where a pattern can be cut into a head that holds group lastGroup and a rest after it: the end
// of the part of the pattern's top-level concatenation that holds the group. Nothing when there
// is none (see topLevelParts), when the part is repeated or a brace follows it, or when nothing
// comes after it.
std::optional<std::size_t> splitAfterGroup(std::string_view pattern, int lastGroup) {
    const std::optional<std::vector<TopLevelPart>> parts = topLevelParts(pattern);
    if (!parts)
        return std::nullopt;
    const auto holder = std::find_if(parts->begin(), parts->end(), [&](const TopLevelPart& part) {
        return part.firstGroup <= lastGroup && lastGroup <= part.lastGroup;
    });
    if (holder == parts->end() || holder->repeated || holder->end >= pattern.size() ||
        pattern[holder->end] == '{')
        return std::nullopt;
    return holder->end;
}

// Whether a piece of a pattern asserts something about the text around a position (^, $, \b,
// \B, \A, \z): such a piece means something else matched against a part of the line.
bool holdsAssertion(std::string_view pattern) {
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '\\') {
            if (i + 1 < pattern.size() &&
                std::string_view("bBAz").find(pattern[i + 1]) != std::string_view::npos)
                return true;
            ++i;
        } else if (c == '[') {
            i = classEnd(pattern, i).value_or(pattern.size());
        } else if (c == '^' || c == '$') {
            return true;
        }
    }
    return false;
}

// A group of words with blanks between them, found with as few words as what follows allows:
// (?P<name>[^B]+(?:[B]+[^B]+)*?) for any class B of blanks, the two classes each other's
// complement. The class's text between its brackets, or nothing for another group.
std::optional<std::string_view> wordsGroupBlanks(std::string_view group) {
    const std::size_t open = group.find('>');
    if (open == std::string_view::npos || group.size() < open + 2 || group.back() != ')')
        return std::nullopt;
    const std::string_view body = group.substr(open + 1, group.size() - open - 2);
    if (body.substr(0, 2) != "[^" || body.substr(0, 3) == "[^^")
        return std::nullopt;
    const std::optional<std::size_t> wordEnd = classEnd(body, 0);
    if (!wordEnd || *wordEnd >= body.size())
        return std::nullopt;
    const std::string_view blanks = body.substr(2, *wordEnd - 2);
    const std::string word(body.substr(0, *wordEnd + 1));
    const std::string expected = word + "+(?:[" + std::string(blanks) + "]+" + word + "+)*?";
    if (body != expected)
        return std::nullopt;
    return blanks;
}

// One piece of a head matched on its own: its first match from where the piece before ended is
// the one the whole pattern takes when the pieces after it match too.
struct ChainStep {
    std::unique_ptr<re2::RE2> pattern;
    int group = -1; // the group the piece is, or -1 for a piece without a field
};

// A head whose groups RE2's DFA finds without its backtracker. The head is cut into the pieces
// before a group of words (see wordsGroupBlanks), the group, and the pieces after it; each
// piece's first match is taken (the one a backtracking matcher tries first), and the group ends
// at the first end of a word from which what follows it matches. That first end is the leftmost
// position from which the pieces after the group match up to where the group and its followers
// end: a word's end is the only place a run of words can stop before blanks, and the runs with
// fewer words come first. Whenever a piece does not match where the one before it ended, the
// line is left to the backtracker.
struct GroupChain {
    std::vector<ChainStep> before;
    int wordsGroup = -1;
    std::unique_ptr<re2::RE2> words;         // the group alone
    std::unique_ptr<re2::RE2> wordsAndAfter; // the group and the pieces after it
    std::unique_ptr<re2::RE2> afterAtEnd;    // the pieces after it, ending where the text ends
    std::vector<ChainStep> after;
};

// One line of an entry's template. A line with a value may also be two lines: the label alone,
// then the value on the next line, as some mails write it.
struct LinePattern {
    FieldPattern whole; // the label and its value on one line, or the line without a value
    FieldPattern labelAlone;
    FieldPattern valueAlone;
    bool optional = false;
    bool hasValue() const { return labelAlone.pattern != nullptr; }
};

using syntax::isBlankLine;

int nonBlankLines(const LineModel& Lines, int first, int last) {
    int count = 0;
    for (int i = first; i <= last; ++i) {
        if (!isBlankLine(Lines.wholeLineView(i)))
            ++count;
    }
    return count;
}

// The share of the text's non-blank lines that the entries take.
void setCoverage(Recognition& recognition, int coveredLines, const LineModel& Lines) {
    const int textLines = nonBlankLines(Lines, 0, Lines.count() - 1);
    if (textLines > 0)
        recognition.coverage = static_cast<double>(coveredLines) / textLines;
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

    QStringView value(int field) const { return m_values[static_cast<std::size_t>(field)]; }

    // Appends the cell made of its template to row, or says why it cannot be made (row then
    // holds part of it).
    std::optional<SkipReason> appendCell(RowText& row, const CellTemplate& parts) const {
        return rules::appendCell(row, parts, [this](int field) { return value(field); });
    }

    // Whether every cell can be made, without making them.
    bool readable(const std::vector<CellTemplate>& cells) const {
        return cellsReadable(cells, [this](int field) { return value(field); });
    }

private:
    std::vector<QString> m_values;
    bool m_dirty = true;
};

class RulesEngine final : public StatementEngine {
public:
    RulesEngine(std::vector<LinePattern> lines, std::vector<CellTemplate> cells, int fieldCount,
                bool skipBlankLines, QString remarkCell, std::unique_ptr<re2::RE2> looksLike)
        : m_lines(std::move(lines)), m_cells(std::move(cells)), m_fieldCount(fieldCount),
          m_skipBlankLines(skipBlankLines), m_remarkCell(std::move(remarkCell)),
          m_looksLike(std::move(looksLike)) {
        std::vector<bool> used(static_cast<std::size_t>(m_fieldCount), false);
        for (const CellTemplate& cell : m_cells) {
            for (const CellPart& part : cell) {
                for (const FieldUse& use : part.choices)
                    used[static_cast<std::size_t>(use.field)] = true;
            }
        }
        for (LinePattern& line : m_lines) {
            for (FieldPattern* pattern : {&line.whole, &line.labelAlone, &line.valueAlone}) {
                for (std::size_t g = 1; g < pattern->fieldOfGroup.size(); ++g) {
                    const int field = pattern->fieldOfGroup[g];
                    if (field >= 0 && used[static_cast<std::size_t>(field)])
                        pattern->submatches = static_cast<int>(g) + 1;
                }
                cutAfterLastGroup(*pattern);
            }
        }
    }

    std::optional<OutputList> convert(LineModel& Lines,
                                      const ConvertContext& context) const override;
    Recognition recognise(const LineModel& Lines) const override;
    KindScan scan(const LineModel& Lines, const ConvertContext& context) const override;
    bool recognisesWhileConverting() const override { return true; }

    // Calls onEntry(first, last, fields) for every entry, top to bottom, and
    // onUnmatched(i, failedLine, templateLine) for every line that looks like an entry's
    // beginning but begins none: where template line templateLine found no match at failedLine.
    template <class OnEntry, class OnUnmatched>
    void walk(const LineModel& Lines, OnEntry onEntry, OnUnmatched onUnmatched) const;

    // Hints for `check`: the patterns whose groups RE2 finds by backtracking.
    QStringList speedHints() const {
        QStringList hints;
        for (std::size_t k = 0; k < m_lines.size(); ++k) {
            const LinePattern& line = m_lines[k];
            for (const FieldPattern* pattern : {&line.whole, &line.valueAlone}) {
                if (pattern->submatches == 0 || chainOf(*pattern) != nullptr)
                    continue;
                const std::string_view searched =
                    pattern->head ? std::string_view(pattern->head->pattern()) : pattern->source;
                if (!backtracksForGroups(searched))
                    continue;
                hints << QStringLiteral(
                             "entry の %1 行目のパターンは、フィールドの区切りを「.*」や「*?」の"
                             "ような後ろの文字も取れる繰り返しで探すので、RE2 が後戻りしながら"
                             "フィールドを探します（遅くなります）。フィールドに入らない文字を"
                             "除いた文字クラス（[^ ]+ など）で書くと速く読めます")
                             .arg(k + 1);
                break;
            }
        }
        return hints;
    }

    // RE2 finds the groups of a pattern that is not one-pass with its backtracker, over the whole
    // match: a head that ends with the last group a cell takes spares it the rest of the line
    // (a mail's "｜ 支払月：…" after the amount), which its DFA then checks alone.
    static void cutAfterLastGroup(FieldPattern& pattern) {
        if (pattern.submatches == 0)
            return;
        const std::optional<std::size_t> cut =
            splitAfterGroup(pattern.source, pattern.submatches - 1);
        if (!cut)
            return;
        re2::RE2::Options options = pattern.pattern->options();
        auto head = std::make_unique<re2::RE2>(pattern.source.substr(0, *cut), options);
        auto rest = std::make_unique<re2::RE2>(pattern.source.substr(*cut), options);
        if (!head->ok() || !rest->ok())
            return;
        pattern.head = std::move(head);
        pattern.rest = std::move(rest);
        pattern.headEnd = *cut;
        pattern.chainOnce = std::make_unique<std::once_flag>();
    }

    static const GroupChain* chainOf(const FieldPattern& pattern) {
        if (!pattern.chainOnce)
            return nullptr;
        std::call_once(*pattern.chainOnce,
                       [&] { pattern.chain = groupChainOf(pattern, pattern.headEnd); });
        return pattern.chain.get();
    }

    // The head of pattern, which ends at headEnd, as a chain of pieces for the DFA (see
    // GroupChain), or null when it has no group of words or cannot be taken apart.
    static std::unique_ptr<GroupChain> groupChainOf(const FieldPattern& pattern,
                                                    std::size_t headEnd) {
        const std::string_view source = pattern.source;
        const std::optional<std::vector<TopLevelPart>> parts =
            topLevelParts(source.substr(0, headEnd));
        if (!parts)
            return nullptr;
        const auto isField = [&](int group) {
            return group > 0 && group < pattern.submatches &&
                   pattern.fieldOfGroup[static_cast<std::size_t>(group)] >= 0;
        };
        // A part holds a field's group only as the whole part.
        for (const TopLevelPart& part : *parts) {
            for (int g = part.firstGroup; g <= part.lastGroup; ++g) {
                if (isField(g) && g != part.group)
                    return nullptr;
            }
        }
        const auto wordsPart =
            std::find_if(parts->begin(), parts->end(), [&](const TopLevelPart& part) {
                return part.group > 0 &&
                       wordsGroupBlanks(source.substr(part.begin, part.end - part.begin));
            });
        if (wordsPart == parts->end() || wordsPart + 1 == parts->end())
            return nullptr;
        const std::string_view blanks =
            *wordsGroupBlanks(source.substr(wordsPart->begin, wordsPart->end - wordsPart->begin));
        // What follows the group begins with blanks, so that the group can end only at the end
        // of a word; and it may be matched against the line cut where the head ends.
        const std::string blankClass = "[" + std::string(blanks) + "]";
        const std::string_view after = source.substr(wordsPart->end, headEnd - wordsPart->end);
        if (after.substr(0, blankClass.size()) != blankClass ||
            after.substr(blankClass.size(), 1) == "*" ||
            after.substr(blankClass.size(), 1) == "?" ||
            after.substr(blankClass.size(), 2) == "{0" || holdsAssertion(after))
            return nullptr;

        const re2::RE2::Options options = pattern.pattern->options();
        bool compiled = true;
        const auto compile = [&](std::string_view text) {
            auto re =
                std::make_unique<re2::RE2>(re2::StringPiece(text.data(), text.size()), options);
            compiled = compiled && re->ok();
            return re;
        };
        // Consecutive parts without a field are one piece; a field's group is a piece of its own.
        const auto stepsOf = [&](auto first, auto last) {
            std::vector<ChainStep> steps;
            for (auto part = first; part != last;) {
                auto end = part + 1;
                if (!isField(part->group)) {
                    while (end != last && !isField(end->group))
                        ++end;
                }
                const std::size_t begin = part->begin;
                const std::size_t stop = (end - 1)->end;
                ChainStep step;
                step.pattern = compile(source.substr(begin, stop - begin));
                step.group = isField(part->group) ? part->group : -1;
                steps.push_back(std::move(step));
                part = end;
            }
            return steps;
        };
        auto chain = std::make_unique<GroupChain>();
        chain->before = stepsOf(parts->begin(), wordsPart);
        chain->wordsGroup = wordsPart->group;
        chain->words = compile(source.substr(wordsPart->begin, wordsPart->end - wordsPart->begin));
        chain->wordsAndAfter = compile(source.substr(wordsPart->begin, headEnd - wordsPart->begin));
        chain->afterAtEnd = compile("(?:" + std::string(after) + ")$");
        chain->after = stepsOf(wordsPart + 1, parts->end());
        if (!compiled)
            return nullptr;
        return chain;
    }

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
    QString m_remarkCell;                  // added as the last cell when the kind's setting is on
    std::unique_ptr<re2::RE2> m_looksLike; // searched in the line; null: the first line's match
};

// Finds the groups of a line with the chain's pieces and checks the rest of the line, filling
// groups (slot 0: the head); false when some piece does not match where the one before it ended,
// the line then being left to the backtracker.
bool groupsByChain(const GroupChain& chain, const re2::RE2& rest, re2::StringPiece text,
                   std::vector<re2::StringPiece>& groups) {
    std::fill(groups.begin(), groups.end(), re2::StringPiece());
    re2::StringPiece found;
    std::size_t at = 0;
    const auto follow = [&](const std::vector<ChainStep>& steps) {
        for (const ChainStep& step : steps) {
            if (!step.pattern->Match(text, at, text.size(), re2::RE2::ANCHOR_START, &found, 1))
                return false;
            const auto end = static_cast<std::size_t>(found.end() - text.begin());
            if (step.group >= 0)
                groups[static_cast<std::size_t>(step.group)] = text.substr(at, end - at);
            at = end;
        }
        return true;
    };
    if (!follow(chain.before))
        return false;
    const std::size_t wordsStart = at;
    if (!chain.wordsAndAfter->Match(text, at, text.size(), re2::RE2::ANCHOR_START, &found, 1))
        return false;
    const auto headEnd = static_cast<std::size_t>(found.end() - text.begin());
    // The leftmost place from which the pieces after the group reach the head's end exactly.
    const re2::StringPiece upToHeadEnd = text.substr(0, headEnd);
    if (!chain.afterAtEnd->Match(upToHeadEnd, wordsStart, headEnd, re2::RE2::UNANCHORED, &found, 1))
        return false;
    at = static_cast<std::size_t>(found.begin() - text.begin());
    if (!chain.words->Match(text, wordsStart, at, re2::RE2::ANCHOR_BOTH, nullptr, 0))
        return false;
    groups[static_cast<std::size_t>(chain.wordsGroup)] = text.substr(wordsStart, at - wordsStart);
    if (!follow(chain.after) || at != headEnd)
        return false;
    if (!rest.Match(text, headEnd, text.size(), re2::RE2::ANCHOR_BOTH, nullptr, 0))
        return false;
    groups[0] = text.substr(0, headEnd);
    return true;
}

template <class OnEntry, class OnUnmatched>
void RulesEngine::walk(const LineModel& Lines, OnEntry onEntry, OnUnmatched onUnmatched) const {
    const int N = Lines.count();
    EntryFields fields(m_fieldCount);
    // One UTF-8 buffer per template line: the captures point into them until the entry is done.
    // A value on the line after its label has a buffer of its own.
    std::vector<QByteArray> utf8(m_lines.size());
    std::vector<QByteArray> valueUtf8(m_lines.size());
    std::vector<re2::StringPiece> groups;
    const auto matchesPattern = [&](const FieldPattern& fieldPattern, QByteArray& bytes,
                                    QStringView line) {
        bytes.resize(0);
        appendUtf8(bytes, line);
        const re2::StringPiece text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        if (fieldPattern.submatches == 0)
            return fieldPattern.pattern->Match(text, 0, text.size(), re2::RE2::ANCHOR_BOTH, nullptr,
                                               0);
        groups.resize(static_cast<std::size_t>(fieldPattern.submatches));
        const auto groupsOfWholeLine = [&] {
            return fieldPattern.pattern->Match(text, 0, text.size(), re2::RE2::ANCHOR_BOTH,
                                               groups.data(), fieldPattern.submatches);
        };
        const auto groupsOfHead = [&] {
            if (const GroupChain* chain = chainOf(fieldPattern)) {
                if (groupsByChain(*chain, *fieldPattern.rest, text, groups))
                    return true;
                // The DFA alone tells a line that cannot match from one the chain could not read.
                if (!fieldPattern.pattern->Match(text, 0, text.size(), re2::RE2::ANCHOR_BOTH,
                                                 nullptr, 0))
                    return false;
            }
            // The line matches with the head's first match when the rest matches what follows
            // it: RE2 takes the first match a backtracking matcher would, and that one tries the
            // head's first match first. A line whose head does not match at all cannot match.
            if (!fieldPattern.head->Match(text, 0, text.size(), re2::RE2::ANCHOR_START,
                                          groups.data(), fieldPattern.submatches))
                return false;
            const auto headEnd = static_cast<std::size_t>(groups[0].end() - text.begin());
            return fieldPattern.rest->Match(text, headEnd, text.size(), re2::RE2::ANCHOR_BOTH,
                                            nullptr, 0) ||
                   groupsOfWholeLine();
        };
        if (!(fieldPattern.head ? groupsOfHead() : groupsOfWholeLine()))
            return false;
        for (std::size_t g = 1; g < groups.size(); ++g) {
            if (fieldPattern.fieldOfGroup[g] >= 0 && groups[g].data() != nullptr)
                fields.set(fieldPattern.fieldOfGroup[g], groups[g]);
        }
        return true;
    };
    const auto nextLineToRead = [&](int j) {
        if (m_skipBlankLines) {
            while (j < N && isBlankLine(Lines.wholeLineView(j)))
                ++j;
        }
        return j;
    };
    // The last line template line k takes from line j on, or -1 when it does not match there.
    const auto matches = [&](std::size_t k, int j) {
        const LinePattern& linePattern = m_lines[k];
        if (matchesPattern(linePattern.whole, utf8[k], Lines.wholeLineView(j)))
            return j;
        if (!linePattern.hasValue() ||
            !matchesPattern(linePattern.labelAlone, utf8[k], Lines.wholeLineView(j)))
            return -1;
        // A label never has fields of its own, so that a label without its value sets none.
        const int valueLine = nextLineToRead(j + 1);
        if (valueLine < N &&
            matchesPattern(linePattern.valueAlone, valueUtf8[k], Lines.wholeLineView(valueLine)))
            return valueLine;
        return -1;
    };

    QByteArray looksLikeUtf8;
    const auto looksLikeAnEntry = [&](QStringView line) {
        looksLikeUtf8.resize(0);
        appendUtf8(looksLikeUtf8, line);
        return re2::RE2::PartialMatch(
            re2::StringPiece(looksLikeUtf8.constData(),
                             static_cast<std::size_t>(looksLikeUtf8.size())),
            *m_looksLike);
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
        int failedLine = 0;
        int failedTemplateLine = 0;
        for (std::size_t k = 0; k < m_lines.size(); ++k) {
            // Blank lines between two lines of an entry are passed over when the file says so;
            // they never begin one.
            if (last >= 0)
                j = nextLineToRead(j);
            if (const int taken = j < N ? matches(k, j) : -1; taken >= 0) {
                firstLineMatched = firstLineMatched || k == 0;
                last = taken;
                j = taken + 1;
            } else if (!m_lines[k].optional) {
                matched = false;
                failedLine = j;
                failedTemplateLine = static_cast<int>(k);
                break;
            }
        }
        if (matched && last >= 0) {
            onEntry(i, last, fields);
            i = last + 1;
        } else {
            if (m_looksLike ? looksLikeAnEntry(Lines.wholeLineView(i)) : firstLineMatched)
                onUnmatched(i, failedLine, failedTemplateLine);
            ++i;
        }
    }
}

std::optional<OutputList> RulesEngine::convert(LineModel& Lines,
                                               const ConvertContext& context) const {
    OutputList SL(context.rowsSink);
    RowText row;
    // What recognise would find, from the same walk: an entry is well formed when it gives a row.
    Recognition recognition;
    int coveredLines = 0;
    walk(
        Lines,
        [&](int first, int last, const EntryFields& fields) {
            ++recognition.entries;
            coveredLines += nonBlankLines(Lines, first, last);
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
            ++recognition.wellFormed;
            if (context.remark && !m_remarkCell.isEmpty()) {
                row.append(u'\t');
                row.append(m_remarkCell);
            }
            SL.add(row.view());
        },
        [&](int line, int, int) {
            if (context.nearMisses != nullptr)
                context.nearMisses->push_back(line);
        });
    if (context.recognition != nullptr) {
        setCoverage(recognition, coveredLines, Lines);
        *context.recognition = recognition;
    }
    return rowsReplacingTheText(std::move(SL), Lines, context);
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
            coveredLines += nonBlankLines(Lines, first, last);
        },
        [](int, int, int) {});
    setCoverage(recognition, coveredLines, Lines);
    return recognition;
}

// ---- Reading a file ----

const QString kAllowedKeysText =
    QStringLiteral("id, caption, summary, skip-blank-lines, looks-like, entry, row, format, "
                   "header, columns, repeats, remark, history, fill");

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

// A cell's template, its fields named by the patterns' groups.
std::variant<CellTemplate, QString> parseCell(const QString& text, const QStringList& fieldNames) {
    static const QRegularExpression kFieldName(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return parseCellTemplate(text, [&](const QString& name) -> std::variant<int, QString> {
        if (!kFieldName.match(name).hasMatch())
            return QStringLiteral("フィールド名「%1」は英字、数字と「_」で書きます").arg(name);
        const qsizetype field = fieldNames.indexOf(name);
        if (field < 0)
            return QStringLiteral("フィールド %1 は entry のどのパターンでも (?P<%1>…) として"
                                  "取り出されていません")
                .arg(name);
        return static_cast<int>(field);
    });
}

bool hasControlCharacter(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() < 0x20 || c.unicode() == 0x7F || c == QChar(0x2028) ||
               c == QChar(0x2029);
    });
}

// What a rules file may declare of its kind as a built-in kind does: the kind whose rows it
// repeats, a remarks cell with the setting that switches it, whether its rows go into the
// history and whether the categories fill its user cells.
std::variant<bool, Problem> readKindDeclarations(const toml::table& table, StatementKind& kind) {
    static const QRegularExpression kIdSyntax(QStringLiteral("^[a-z][a-z0-9-]*$"));
    if (const toml::node* repeats = table.get("repeats")) {
        if (!repeats->is_string())
            return problemAt(*repeats, QStringLiteral("repeats は書式の id の文字列で書きます"));
        kind.repeats = fromStd(repeats->as_string()->get());
        if (!kIdSyntax.match(kind.repeats).hasMatch() || kind.repeats == kind.id)
            return problemAt(*repeats, QStringLiteral("repeats には別の書式の id を書きます"));
    }
    for (const auto& [key, flag] :
         {std::pair{"history", &kind.recordsHistory}, std::pair{"fill", &kind.fill}}) {
        if (const toml::node* node = table.get(key)) {
            if (!node->is_boolean())
                return problemAt(
                    *node,
                    QStringLiteral("%1 は true か false で書きます").arg(QString::fromLatin1(key)));
            *flag = node->as_boolean()->get();
        }
    }
    const toml::node* remarkNode = table.get("remark");
    if (remarkNode == nullptr)
        return true;
    const toml::table* remark = remarkNode->as_table();
    const auto remarkProblem = [&](const toml::node& at) {
        return problemAt(at, QStringLiteral("remark は { cell = \"備考欄の文字\" } の形で書きます"
                                            "（section と key で Tallemo.ini の場所も書けます）"));
    };
    if (remark == nullptr)
        return remarkProblem(*remarkNode);
    RemarkSetting setting{QStringLiteral("Remarks"), kind.id, {}};
    for (const auto& [key, node] : *remark) {
        QString* target = key.str() == "cell"      ? &setting.cell
                          : key.str() == "section" ? &setting.section
                          : key.str() == "key"     ? &setting.key
                                                   : nullptr;
        if (target == nullptr || !node.is_string())
            return remarkProblem(node);
        *target = fromStd(node.as_string()->get()).trimmed();
        if (target->isEmpty() || hasControlCharacter(*target))
            return remarkProblem(node);
    }
    if (setting.cell.isEmpty())
        return remarkProblem(*remarkNode);
    kind.remark = setting;
    return true;
}

// The rest of a kind of comma-separated lines: its header pattern and its row.
std::variant<StatementKind, Problem> readCsvTable(const toml::table& table, StatementKind kind) {
    for (const char* lineKey : {"entry", "skip-blank-lines"}) {
        if (const toml::node* node = table.get(lineKey))
            return problemAt(*node, QStringLiteral("%1 は format = 'csv' の書式では使いません")
                                        .arg(QLatin1String(lineKey)));
    }
    QString header;
    const toml::node* headerNode = table.get("header");
    if (headerNode != nullptr) {
        if (!headerNode->is_string())
            return problemAt(*headerNode,
                             QStringLiteral("header は見出しの行のパターンで書きます"));
        header = fromStd(headerNode->as_string()->get());
    }
    int columns = 0;
    if (const toml::node* columnsNode = table.get("columns")) {
        const std::optional<std::int64_t> value = columnsNode->value<std::int64_t>();
        if (!columnsNode->is_integer() || !value || *value < 1 || *value > 1000)
            return problemAt(*columnsNode,
                             QStringLiteral("columns は明細の行の列の数（1〜1000）で書きます"));
        columns = static_cast<int>(*value);
    }
    const toml::node* rowNode = table.get("row");
    if (rowNode == nullptr)
        return Problem{1, 1, QStringLiteral("row（行のセルの配列）がありません")};
    const toml::array* row = rowNode->as_array();
    if (row == nullptr || row->empty())
        return problemAt(*rowNode, QStringLiteral("row はセルのテンプレートの配列で書きます"));
    QStringList cells;
    for (const toml::node& cellNode : *row) {
        if (!cellNode.is_string())
            return problemAt(cellNode, QStringLiteral("row のセルは文字列で書きます"));
        cells << fromStd(cellNode.as_string()->get());
    }
    if (std::variant<bool, Problem> read = readKindDeclarations(table, kind);
        auto* problem = std::get_if<Problem>(&read))
        return *problem;
    RowLayout layout;
    auto engine =
        makeCsvEngine(header, cells, columns, kind.remark ? kind.remark->cell : QString(), layout);
    if (const auto* problem = std::get_if<CsvRulesProblem>(&engine)) {
        // A problem of no cell is the header's; without a header it can only be the row's.
        const toml::node* where = rowNode;
        if (problem->cell >= 0)
            where = &(*row)[static_cast<std::size_t>(problem->cell)];
        else if (headerNode != nullptr)
            where = headerNode;
        return problemAt(*where, problem->text);
    }
    kind.engine = std::get<std::shared_ptr<const StatementEngine>>(std::move(engine));
    kind.layout = layout;
    kind.fill = kind.fill && layout.userCells >= 0;
    return kind;
}

std::variant<StatementKind, Problem> readTable(const toml::table& table, const QString& path,
                                               const QStringList& takenIds, FileNaming naming) {
    for (const auto& [key, node] : table) {
        static const std::array<std::string_view, 14> kKeys = {
            "columns", "id",     "caption", "summary", "skip-blank-lines", "looks-like", "entry",
            "row",     "format", "header",  "repeats", "remark",           "history",    "fill"};
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
    kind.fill = true;

    // The id: the companion's name for the kind, and the file's name.
    std::variant<QString, Problem> id = requiredString("id");
    if (auto* problem = std::get_if<Problem>(&id))
        return *problem;
    kind.id = std::get<QString>(id);
    const toml::node& idNode = *table.get("id");
    if (std::optional<QString> problem = idProblem(kind.id, takenIds))
        return problemAt(idNode, *problem);
    if (naming == FileNaming::MustBeId &&
        QFileInfo(path).fileName() != kind.id + QStringLiteral(".toml"))
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
    if (kind.summary.isEmpty())
        kind.summary = QStringLiteral("rules file %1").arg(QFileInfo(path).fileName());

    bool skipBlankLines = false;
    if (const toml::node* skip = table.get("skip-blank-lines")) {
        if (!skip->is_boolean())
            return problemAt(*skip, QStringLiteral("skip-blank-lines は true か false で書きます"));
        skipBlankLines = skip->as_boolean()->get();
    }
    // A pattern of its own for the lines that look like an entry, searched anywhere in a line.
    std::unique_ptr<re2::RE2> looksLike;
    if (const toml::node* looksLikeNode = table.get("looks-like")) {
        if (!looksLikeNode->is_string())
            return problemAt(*looksLikeNode, QStringLiteral("looks-like は文字列で書きます"));
        re2::RE2::Options options;
        options.set_log_errors(false);
        options.set_max_mem(kMaxPatternMemory);
        looksLike = std::make_unique<re2::RE2>(
            fromStd(looksLikeNode->as_string()->get()).toStdString(), options);
        if (!looksLike->ok())
            return problemAt(
                *looksLikeNode,
                QStringLiteral("パターンを読めません: %1").arg(fromStd(looksLike->error())));
    }

    if (const toml::node* format = table.get("format")) {
        if (!format->is_string() ||
            (format->as_string()->get() != "csv" && format->as_string()->get() != "lines"))
            return problemAt(*format, QStringLiteral("format は 'lines' か 'csv' で書きます"));
        if (format->as_string()->get() == "csv")
            return readCsvTable(table, std::move(kind));
    }
    for (const char* csvKey : {"header", "columns"}) {
        if (const toml::node* node = table.get(csvKey))
            return problemAt(
                *node,
                QStringLiteral("%1 は format = 'csv' の書式で使います").arg(QLatin1String(csvKey)));
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
    for (const toml::node& lineNode : *entry) {
        const toml::node* patternNode = &lineNode;
        const toml::node* valueNode = nullptr;
        bool optional = false;
        if (const toml::table* line = lineNode.as_table()) {
            for (const auto& [key, node] : *line) {
                if (key.str() != "line" && key.str() != "optional" && key.str() != "value")
                    return problemAt(node, QStringLiteral("知らないキー「%1」です（entry の行に"
                                                          "使えるのは line, value, optional）")
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
            valueNode = line->get("value");
        }
        const auto patternText = [](const toml::node& node) -> std::optional<QString> {
            if (!node.is_string())
                return std::nullopt;
            return fromStd(node.as_string()->get());
        };
        const QString kNotAString =
            QStringLiteral("行のパターンは文字列で書きます（'…' の中では \\ がそのまま残ります）");
        const std::optional<QString> label = patternText(*patternNode);
        if (!label)
            return problemAt(*patternNode, kNotAString);
        std::optional<QString> value;
        if (valueNode != nullptr) {
            value = patternText(*valueNode);
            if (!value)
                return problemAt(*valueNode, kNotAString);
        }

        // Compiles one pattern; the fields of its named groups are numbered in the order they
        // first appear, and a field already taken by another line is refused.
        QStringList fieldsOfThisLine;
        const auto compiled = [](const QString& text) {
            re2::RE2::Options options;
            options.set_log_errors(false);
            options.set_max_mem(kMaxPatternMemory);
            return std::make_unique<re2::RE2>(text.toStdString(), options);
        };
        const auto problemOf = [](const re2::RE2& pattern,
                                  const toml::node& node) -> std::optional<Problem> {
            if (pattern.ok())
                return std::nullopt;
            if (pattern.error_code() == re2::RE2::ErrorPatternTooLarge)
                return problemAt(
                    node,
                    QStringLiteral("パターンが大きすぎます: %1").arg(fromStd(pattern.error())));
            return problemAt(
                node, QStringLiteral("パターンを読めません: %1").arg(fromStd(pattern.error())));
        };
        const auto compile = [&](const QString& text, const toml::node& node,
                                 FieldPattern& into) -> std::optional<Problem> {
            auto pattern = compiled(text);
            if (std::optional<Problem> problem = problemOf(*pattern, node))
                return problem;
            into.fieldOfGroup.assign(
                static_cast<std::size_t>(pattern->NumberOfCapturingGroups()) + 1, -1);
            for (const auto& [name, group] : pattern->NamedCapturingGroups()) {
                const QString fieldName = fromStd(name);
                if (!fieldsOfThisLine.contains(fieldName)) {
                    if (fieldNames.contains(fieldName))
                        return problemAt(
                            node, QStringLiteral("フィールド %1 を取り出すパターンが 2 つあります")
                                      .arg(fieldName));
                    fieldNames << fieldName;
                    fieldsOfThisLine << fieldName;
                }
                into.fieldOfGroup[static_cast<std::size_t>(group)] =
                    static_cast<int>(fieldNames.indexOf(fieldName));
                into.captures = true;
            }
            into.pattern = std::move(pattern);
            into.source = text.toStdString();
            return std::nullopt;
        };

        LinePattern linePattern;
        linePattern.optional = optional;
        if (!value) {
            if (std::optional<Problem> problem = compile(*label, *patternNode, linePattern.whole))
                return *problem;
        } else {
            // Each as written first, so that a problem names the key it is in and shows the
            // pattern as the file has it.
            if (std::optional<Problem> problem = problemOf(*compiled(*label), *patternNode))
                return *problem;
            if (std::optional<Problem> problem = problemOf(*compiled(*value), *valueNode))
                return *problem;
            if (std::optional<Problem> problem = compile(*label + syntax::blankPattern() + u'*',
                                                         *patternNode, linePattern.labelAlone))
                return *problem;
            if (linePattern.labelAlone.captures)
                return problemAt(*patternNode,
                                 QStringLiteral("value のある行では、フィールドは value の中で"
                                                "取り出します"));
            const QString blanks = syntax::blankPattern() + u'*';
            if (std::optional<Problem> problem =
                    compile(blanks + QStringLiteral("(?:") + *value + u')' + blanks, *valueNode,
                            linePattern.valueAlone))
                return *problem;
            if (std::optional<Problem> problem =
                    compile(QStringLiteral("(?:") + *label + u')' + blanks + QStringLiteral("(?:") +
                                *value + u')' + blanks,
                            *valueNode, linePattern.whole))
                return *problem;
        }
        lines.push_back(std::move(linePattern));
    }
    if (std::all_of(lines.begin(), lines.end(), [](const LinePattern& l) { return l.optional; }))
        return problemAt(*entryNode,
                         QStringLiteral("entry の行がすべて optional です: 少なくとも 1 行は"
                                        "必ずある行にします"));
    if (std::all_of(lines.begin(), lines.end(),
                    [](const LinePattern& l) { return matchesAnyLine(*l.whole.pattern); }))
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

    if (std::variant<bool, Problem> read = readKindDeclarations(table, kind);
        auto* problem = std::get_if<Problem>(&read))
        return *problem;
    kind.layout = layoutOf(cells);
    kind.fill = kind.fill && kind.layout->userCells >= 0;

    kind.engine = std::make_shared<const RulesEngine>(
        std::move(lines), std::move(cells), static_cast<int>(fieldNames.size()), skipBlankLines,
        kind.remark ? kind.remark->cell : QString(), std::move(looksLike));
    return kind;
}

} // namespace

KindScan RulesEngine::scan(const LineModel& Lines, const ConvertContext& context) const {
    KindScan scan;
    walk(
        Lines,
        [&](int first, int last, const EntryFields& fields) {
            KindScan::Entry entry{first, last, std::nullopt, {}};
            std::variant<QStringList, SkipReason> rowCells = cells(fields);
            if (auto* reason = std::get_if<SkipReason>(&rowCells)) {
                entry.skipped = *reason;
            } else {
                entry.cells = std::get<QStringList>(std::move(rowCells));
                if (context.remark && !m_remarkCell.isEmpty())
                    entry.cells << m_remarkCell;
            }
            scan.entries.push_back(std::move(entry));
        },
        [&](int line, int failedLine, int templateLine) {
            scan.nearMisses.push_back({line, failedLine, templateLine});
        });
    scan.hints = speedHints();
    return scan;
}

const QStringList& reservedIds() {
    static const QStringList ids = companion::commandNames();
    return ids;
}

std::optional<QString> idProblem(const QString& id, const QStringList& takenIds) {
    static const QRegularExpression kIdSyntax(QStringLiteral("^[a-z][a-z0-9-]*$"));
    if (!kIdSyntax.match(id).hasMatch())
        return QStringLiteral("id「%1」は小文字の英字で始め、小文字の英字、数字と「-」で書きます")
            .arg(id);
    if (reservedIds().contains(id))
        return QStringLiteral("id「%1」は tallemo-convert のコマンド名なので使えません").arg(id);
    if (takenIds.contains(id))
        return QStringLiteral("id「%1」は組み込みの書式の名前なので使えません").arg(id);
    return std::nullopt;
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
                                 const QStringList& takenIds, FileNaming naming) {
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
        const TomlFault fault =
            explainTomlFault(std::get<std::string>(shielded), static_cast<int>(begin.line),
                             static_cast<int>(begin.column), fromStd(error.description()));
        return problem({fault.line, fault.column, fault.text});
    }
    std::variant<StatementKind, Problem> kind = readTable(parsed, path, takenIds, naming);
    if (auto* p = std::get_if<Problem>(&kind))
        return problem(*p);
    return std::get<StatementKind>(std::move(kind));
}

RulesKindOrProblem readRulesFile(const QString& path, const QStringList& takenIds,
                                 FileNaming naming) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return RulesProblem{path, 0, 0,
                            QStringLiteral("ファイルを読めません: %1").arg(file.errorString())};
    // One byte more than allowed is enough to tell a file that is too large.
    return readRulesKind(path, file.read(kMaxFileSize + 1), takenIds, naming);
}

QString nearMissText(const RulesScan::NearMiss& nearMiss, const LineModel& Lines) {
    // A long line is cut, so that the message stays one line that names the part.
    constexpr qsizetype kShownLength = 40;
    const auto shown = [&](int line) {
        QString text = Lines.wholeLineView(line).toString().trimmed();
        if (text.size() > kShownLength)
            text = text.left(kShownLength) + QStringLiteral("…");
        return text;
    };
    const QString begins = QStringLiteral("%1 行目「%2」は明細の始まりに見えましたが、")
                               .arg(nearMiss.line + 1)
                               .arg(shown(nearMiss.line));
    if (nearMiss.failedLine >= Lines.count())
        return begins + QStringLiteral("書式の %1 行目に合う行がないまま文章が終わっています")
                            .arg(nearMiss.templateLine + 1);
    if (nearMiss.failedLine == nearMiss.line)
        return begins + QStringLiteral("書式の %1 行目のパターンに合いません")
                            .arg(nearMiss.templateLine + 1);
    return begins + QStringLiteral("%1 行目「%2」が書式の %3 行目のパターンに合いません")
                        .arg(nearMiss.failedLine + 1)
                        .arg(shown(nearMiss.failedLine))
                        .arg(nearMiss.templateLine + 1);
}

RulesScan scanWithRules(const StatementKind& kind, const LineModel& Lines) {
    return kind.scan(Lines, ConvertContext{});
}

} // namespace tallemo::rules
