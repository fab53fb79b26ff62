#include "learn/Learner.h"

#include "learn/CsvLearner.h"
#include "learn/LearnedFile.h"
#include "rules/CellFilters.h"
#include "rules/RulesKind.h"
#include "text/LineModel.h"
#include "text/StatementSyntax.h"

#include <QRegularExpression>

#include <algorithm>
#include <map>

namespace tallemo::learn {

using detail::cellTemplateText;
using detail::loadLearned;
using detail::recordScan;
using detail::tomlString;

namespace {

// ---- What the example's lines hold ----

enum class FieldClass { Date, Amount, Text };

// A date, an amount or a run of digits in an example line: the stretches that become patterns of
// their class rather than literal text.
struct Token {
    int start = 0;
    int end = 0;     // past the token, a following time or weekday included for dates
    int coreEnd = 0; // past the date itself
    FieldClass cls = FieldClass::Text; // Text stands for a plain run of digits
};

// A space inside a cell, and a blank (a space or a TAB).
const QString kSpace = syntax::spacePattern();
const QString kBlank = syntax::blankPattern();
// The end of a label: "：" or ":", or the "】" of "【利用日】", whichever the example has.
const QString kLabelEndPattern = kSpace + QStringLiteral("*(?:】|[:：])") + kSpace + u'*';

// What follows a date on statements: a time and a weekday in brackets, each optional.
const QString kDateSuffix = syntax::dateSuffixPattern();

const QRegularExpression& dateExpression() {
    static const QRegularExpression expression(syntax::datePattern() +
                                               QStringLiteral("(?![0-9０-９])"));
    return expression;
}

const QRegularExpression& dateSuffixExpression() {
    static const QRegularExpression expression(QStringLiteral("\\G") + kDateSuffix);
    return expression;
}

const QRegularExpression& amountExpression() {
    // Digits are an amount when they have thousands separators, a yen sign or "円".
    static const QRegularExpression expression(
        QStringLiteral("(?<![0-9０-９,，.．])(?:[-−－△▲]%1*)?(?:[¥￥]%1*)?"
                       "(?:[0-9０-９]{1,3}(?:[,，][0-9０-９]{3})+(?:[.．][0-9０-９]+)?(?:%1*円)?"
                       "|(?<=[¥￥]|[¥￥]%1)[0-9０-９]+(?:[.．][0-9０-９]+)?(?:%1*円)?"
                       "|[0-9０-９]+(?:[.．][0-9０-９]+)?%1*円)(?![0-9０-９])")
            .arg(kSpace));
    return expression;
}

const QRegularExpression& digitsExpression() {
    static const QRegularExpression expression(
        QStringLiteral("[0-9０-９]+(?:[/／:：.．\\-－][0-9０-９]+)*"));
    return expression;
}

bool overlaps(int start, int end, const std::vector<Token>& tokens) {
    return std::any_of(tokens.begin(), tokens.end(),
                       [&](const Token& t) { return start < t.end && t.start < end; });
}

std::vector<Token> findTokens(const QString& line) {
    std::vector<Token> tokens;
    for (auto it = dateExpression().globalMatch(line); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const int start = static_cast<int>(match.capturedStart());
        const int coreEnd = static_cast<int>(match.capturedEnd());
        if (!rules::readDate(match.capturedView()))
            continue;
        const QRegularExpressionMatch suffix = dateSuffixExpression().match(line, coreEnd);
        tokens.push_back(
            {start, static_cast<int>(suffix.capturedEnd()), coreEnd, FieldClass::Date});
    }
    for (auto it = amountExpression().globalMatch(line); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const int start = static_cast<int>(match.capturedStart());
        const int end = static_cast<int>(match.capturedEnd());
        if (!overlaps(start, end, tokens) && rules::readYen(match.capturedView()))
            tokens.push_back({start, end, end, FieldClass::Amount});
    }
    std::vector<Token> digits;
    for (auto it = digitsExpression().globalMatch(line); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const int start = static_cast<int>(match.capturedStart());
        const int end = static_cast<int>(match.capturedEnd());
        if (!overlaps(start, end, tokens))
            digits.push_back({start, end, end, FieldClass::Text});
    }
    tokens.insert(tokens.end(), digits.begin(), digits.end());
    std::sort(tokens.begin(), tokens.end(),
              [](const Token& a, const Token& b) { return a.start < b.start; });
    return tokens;
}

using syntax::isBlank;
using syntax::isBlankLine;
using syntax::isSpace;

// ---- Separators ----

enum class SeparatorKind { None, Label, Bar, Tab, Blanks };

struct Separator {
    int start = 0;
    int end = 0;
    SeparatorKind kind = SeparatorKind::None;
};

// The separator that begins at k in text, with the blanks around it: ":", "：", "】" end a label;
// "｜" or "|", a TAB and runs of two or more blanks part values. A single blank, U+3000 as much as
// a space, is no separator: shops write "ＡＢＣストア　渋谷店" with one.
Separator separatorAt(const QString& text, int k, int limit) {
    int end = k;
    while (end < limit && isSpace(text[end]))
        ++end;
    const int blanks = end - k;
    if (end < limit) {
        const QChar c = text[end];
        SeparatorKind kind = SeparatorKind::None;
        if (c == u':' || c == u'：' || c == u'】')
            kind = SeparatorKind::Label;
        else if (c == u'｜' || c == u'|')
            kind = SeparatorKind::Bar;
        else if (c == u'\t')
            kind = SeparatorKind::Tab;
        if (kind != SeparatorKind::None) {
            // Each TAB parts two cells: the blanks after it are the separator's, the next TAB
            // is not, so that an empty cell stays a cell.
            ++end;
            while (end < limit && isSpace(text[end]))
                ++end;
            return {k, end, kind};
        }
    }
    if (blanks >= 2)
        return {k, end, SeparatorKind::Blanks};
    return {k, k, SeparatorKind::None};
}

QString separatorPattern(const Separator& separator) {
    switch (separator.kind) {
    case SeparatorKind::Label:
        return kLabelEndPattern;
    case SeparatorKind::Bar:
        // Mails of one company write either: "｜" in one, "|" in the next.
        return kSpace + QStringLiteral("*[｜|]") + kSpace + u'*';
    case SeparatorKind::Tab:
        return kSpace + QStringLiteral("*\\t") + kSpace + u'*';
    case SeparatorKind::Blanks:
        return kBlank + u'+';
    case SeparatorKind::None:
        break;
    }
    return {};
}

// ---- Patterns ----

// The marks before a label: one card company's mail writes "★利用日：", the next "◇利用日：" or
// "【利用日】", so any of them stands for all.
const QString kLabelMarks = QStringLiteral("★☆◆◇■□●○◎◉▼▽▶▷◀◁※【");
const QString kLabelMarkPattern = u'[' + kLabelMarks + u']';

QString escaped(QStringView literal) {
    QString out;
    for (const QChar c : literal) {
        const char16_t u = c.unicode();
        if (kLabelMarks.contains(c)) {
            out += kLabelMarkPattern;
            continue;
        }
        // Mails of one company write a label's brackets full-width in one, half-width in the
        // next: "【日時（日本時間）】", "【日時(日本時間)】".
        if (u == u'(' || u == u'（') {
            out += QStringLiteral("[(（]");
            continue;
        }
        if (u == u')' || u == u'）') {
            out += QStringLiteral("[)）]");
            continue;
        }
        if (u < 0x80 && !c.isLetterOrNumber() && u != u' ' && u != u'_')
            out += u'\\';
        if (u == u'\t')
            out += QStringLiteral("t");
        else
            out += c;
    }
    return out;
}

// Literal text with its runs of blanks made runs of blanks.
QString literalPattern(QStringView text) {
    QString out;
    qsizetype k = 0;
    while (k < text.size()) {
        if (isBlank(text[k])) {
            while (k < text.size() && isBlank(text[k]))
                ++k;
            out += kBlank + u'+';
            continue;
        }
        const qsizetype start = k;
        while (k < text.size() && !isBlank(text[k]))
            ++k;
        out += escaped(text.sliced(start, k - start));
    }
    return out;
}

// Any of the date forms the date filter reads, whichever the example shows: a statement may
// write some dates otherwise.
QString datePattern() {
    return syntax::datePattern();
}

QString amountPattern(QStringView amount) {
    QString pattern = syntax::amountNumberPattern();
    if (amount.contains(u'円'))
        pattern += kSpace + QStringLiteral("*円");
    return pattern;
}

const QString kDigitsPattern = QStringLiteral("[0-9０-９]+(?:[/／:：.．\\-－][0-9０-９]+)*");

QString tokenPattern(const QString& line, const Token& token) {
    const QStringView text = QStringView(line).sliced(token.start, token.end - token.start);
    switch (token.cls) {
    case FieldClass::Date:
        return datePattern() + kDateSuffix;
    case FieldClass::Amount:
        return amountPattern(text);
    case FieldClass::Text:
        break;
    }
    return kDigitsPattern;
}

// ---- Cells ----

// Where a wanted cell was found: a stretch of one line, the class of its field and its filters.
struct Candidate {
    int line = 0;
    int start = 0;
    int end = 0;      // the capture's end
    int tokenEnd = 0; // a date's time or weekday after it stays outside the capture
    FieldClass cls = FieldClass::Text;
    QStringList filters;
    bool namedByLabel = false;
};

struct ExampleLine {
    QString text;
    std::vector<Token> tokens;
};

// The label a stretch of a line stands after: the text before the nearest ":", "：" or "】" to its
// left, or the line's first words.
QString labelBefore(const QString& line, int start) {
    const QString before = line.left(start);
    const qsizetype colon =
        std::max({before.lastIndexOf(u':'), before.lastIndexOf(u'：'), before.lastIndexOf(u'】')});
    return colon >= 0 ? before.left(colon) : QString();
}

bool labelNames(const QString& label, FieldClass cls) {
    if (cls == FieldClass::Date)
        return label.contains(u'日');
    if (cls == FieldClass::Amount)
        return label.contains(QStringLiteral("金額"));
    return false;
}

// For each unit of text, where it lands in the NFKC form of the text before it, so that a stretch
// found in the folded text can be mapped back.
std::vector<int> foldedOffsets(const QString& text) {
    std::vector<int> offsets(static_cast<std::size_t>(text.size()) + 1);
    for (qsizetype i = 0; i <= text.size(); ++i)
        offsets[static_cast<std::size_t>(i)] =
            static_cast<int>(text.left(i).normalized(QString::NormalizationForm_KC).size());
    return offsets;
}

std::vector<Candidate> candidatesFor(const QString& cell, const std::vector<ExampleLine>& lines) {
    std::vector<Candidate> found;
    const std::optional<QString> cellAsYen = rules::readYen(cell);
    for (int l = 0; l < static_cast<int>(lines.size()); ++l) {
        const ExampleLine& line = lines[static_cast<std::size_t>(l)];
        for (const Token& token : line.tokens) {
            const QString text = line.text.mid(token.start, token.coreEnd - token.start);
            Candidate candidate{l, token.start, token.coreEnd, token.end, token.cls, {}, false};
            if (token.cls == FieldClass::Date) {
                if (rules::readDate(text) == cell)
                    candidate.filters = {QStringLiteral("date")};
                else
                    continue;
            } else {
                candidate.cls = FieldClass::Amount;
                // An amount that the yen filter reads as the cell gets the filter even when the
                // example writes it as the cell ("480"): another entry writes "1,200".
                const std::optional<QString> yen = rules::readYen(text);
                if (yen && yen == cell)
                    candidate.filters = {QStringLiteral("yen")};
                else if (text.trimmed() == cell)
                    candidate.filters = {};
                else if (yen && cellAsYen && *cellAsYen != u"0" &&
                         (u'-' + *yen == *cellAsYen || *yen == u'-' + *cellAsYen))
                    candidate.filters = {QStringLiteral("neg")};
                else
                    continue;
            }
            found.push_back(candidate);
        }
        // As text, as it stands or folded to half-width, but never a piece of a date or an amount.
        const auto addText = [&](int start, int end, QStringList filters) {
            for (const Token& token : line.tokens) {
                if (start < token.end && token.start < end &&
                    !(start <= token.start && token.end <= end))
                    return;
            }
            if (std::any_of(found.begin(), found.end(), [&](const Candidate& c) {
                    return c.line == l && c.start == start && c.end == end;
                }))
                return;
            found.push_back({l, start, end, end, FieldClass::Text, std::move(filters), false});
        };
        const QStringList trim =
            cell == cell.trimmed() ? QStringList{QStringLiteral("trim")} : QStringList{};
        for (qsizetype at = line.text.indexOf(cell); at >= 0 && !cell.isEmpty();
             at = line.text.indexOf(cell, at + 1))
            addText(static_cast<int>(at), static_cast<int>(at + cell.size()), trim);
        const QString folded = line.text.normalized(QString::NormalizationForm_KC);
        if (folded != line.text && line.text.size() <= 1000) {
            const std::vector<int> offsets = foldedOffsets(line.text);
            for (qsizetype at = folded.indexOf(cell); at >= 0 && !cell.isEmpty();
                 at = folded.indexOf(cell, at + 1)) {
                const auto start = std::find(offsets.begin(), offsets.end(), static_cast<int>(at));
                const auto end =
                    std::find(offsets.begin(), offsets.end(), static_cast<int>(at + cell.size()));
                if (start == offsets.end() || end == offsets.end())
                    continue;
                addText(static_cast<int>(start - offsets.begin()),
                        static_cast<int>(end - offsets.begin()),
                        QStringList{QStringLiteral("width")} + trim);
            }
        }
    }
    for (Candidate& candidate : found)
        candidate.namedByLabel = labelNames(
            labelBefore(lines[static_cast<std::size_t>(candidate.line)].text, candidate.start),
            candidate.cls);
    std::stable_sort(found.begin(), found.end(), [](const Candidate& a, const Candidate& b) {
        return a.line != b.line ? a.line < b.line : a.start < b.start;
    });
    return found;
}

// ---- Building the template ----

struct Field {
    int line = 0;
    int start = 0;
    int end = 0;
    int tokenEnd = 0;
    FieldClass cls = FieldClass::Text;
    QString name;
    // A table column that another example leaves empty (a bank's 出金 where the other has 入金).
    bool mayBeEmpty = false;
    // The capture's pattern where the field's text stands in another example than this line's.
    QString innerPattern;
};

// The pattern a field's capture matches, of its class and as the example writes it.
QString fieldInnerPattern(FieldClass cls, QStringView captured) {
    if (cls == FieldClass::Date)
        return datePattern();
    if (cls == FieldClass::Amount)
        return amountPattern(captured);
    return QStringLiteral(".+?");
}

QString fieldCapture(const Field& field, QStringView captured) {
    QString inner =
        field.innerPattern.isEmpty() ? fieldInnerPattern(field.cls, captured) : field.innerPattern;
    if (field.mayBeEmpty)
        inner = QStringLiteral("(?:%1)?").arg(inner);
    return QStringLiteral("(?P<%1>%2)").arg(field.name, inner);
}

QString className(FieldClass cls) {
    switch (cls) {
    case FieldClass::Date:
        return QStringLiteral("date");
    case FieldClass::Amount:
        return QStringLiteral("amount");
    case FieldClass::Text:
        break;
    }
    return QStringLiteral("text");
}

QString classWord(FieldClass cls) {
    switch (cls) {
    case FieldClass::Date:
        return QStringLiteral("日付");
    case FieldClass::Amount:
        return QStringLiteral("金額");
    case FieldClass::Text:
        break;
    }
    return QStringLiteral("文字");
}

// The pattern of one example line: its fields as named captures, dates, amounts and digit runs as
// patterns of their class, labels literal, other values any text, separators as their kind.
QString linePattern(const ExampleLine& line, int lineIndex, const std::vector<Field>& fields) {
    // What stays whole: the fields and the tokens outside them.
    struct Item {
        int start = 0;
        int end = 0;
        const Field* field = nullptr;
        const Token* token = nullptr;
    };
    std::vector<Item> items;
    for (const Field& field : fields) {
        if (field.line == lineIndex)
            items.push_back({field.start, field.tokenEnd, &field, nullptr});
    }
    for (const Token& token : line.tokens) {
        const bool covered = std::any_of(items.begin(), items.end(), [&](const Item& item) {
            return item.field != nullptr && token.start < item.end && item.start < token.end;
        });
        if (!covered)
            items.push_back({token.start, token.end, nullptr, &token});
    }
    std::sort(items.begin(), items.end(),
              [](const Item& a, const Item& b) { return a.start < b.start; });

    // The line's segments: the stretches between separators, which never cut an item.
    const QString& text = line.text;
    const int size = static_cast<int>(text.size());
    struct Segment {
        int start = 0;
        int end = 0;
        Separator after; // kind None for the last
    };
    std::vector<Segment> segments;
    int segmentStart = 0;
    std::size_t next = 0;
    for (int k = 0; k < size;) {
        while (next < items.size() && items[next].end <= k)
            ++next;
        if (next < items.size() && items[next].start <= k) {
            k = items[next].end;
            continue;
        }
        const int limit = next < items.size() ? items[next].start : size;
        const Separator separator = separatorAt(text, k, limit);
        if (separator.kind == SeparatorKind::None) {
            ++k;
            continue;
        }
        segments.push_back({segmentStart, separator.start, separator});
        segmentStart = separator.end;
        k = separator.end;
    }
    segments.push_back({segmentStart, size, Separator{size, size, SeparatorKind::None}});
    const bool fixedLine =
        segments.size() == 1 &&
        fields.end() == std::find_if(fields.begin(), fields.end(),
                                     [&](const Field& f) { return f.line == lineIndex; });

    // The items and text of a segment, literal text with its blanks as runs of blanks.
    const auto itemsAndText = [&](int from, int to) {
        QString out;
        int at = from;
        for (const Item& item : items) {
            if (item.start < from || item.start >= to)
                continue;
            out += literalPattern(QStringView(text).sliced(at, item.start - at));
            if (item.field != nullptr) {
                const Field& field = *item.field;
                const QStringView captured =
                    QStringView(text).sliced(field.start, field.end - field.start);
                out += fieldCapture(field, captured);
                // Another entry may give a time or weekday after its date.
                if (field.cls == FieldClass::Date)
                    out += kDateSuffix;
            } else {
                out += tokenPattern(text, *item.token);
            }
            at = item.end;
        }
        return out + literalPattern(QStringView(text).sliced(at, to - at));
    };

    // Leading blanks, but no leading TAB in a table: that would be an empty first cell.
    QString pattern = (text.contains(u'\t') ? kSpace : kBlank) + u'*';
    bool afterLabel = false;
    for (const Segment& segment : segments) {
        // Blanks at a segment's ends belong to the separators around it.
        int start = segment.start;
        int end = segment.end;
        while (start < end && isBlank(text[start]))
            ++start;
        while (end > start && isBlank(text[end - 1]))
            --end;
        if (start > segment.start && segment.start > 0)
            pattern += kBlank + u'*';
        const std::vector<const Item*> inside = [&] {
            std::vector<const Item*> found;
            for (const Item& item : items) {
                if (item.start >= start && item.end <= end)
                    found.push_back(&item);
            }
            return found;
        }();
        const bool holdsField = std::any_of(
            inside.begin(), inside.end(), [](const Item* item) { return item->field != nullptr; });
        const bool oneToken =
            inside.size() == 1 && inside.front()->start == start && inside.front()->end == end;
        if (start == end) {
            // An empty cell of a table may hold text in another entry (a memo); any other
            // empty column says nothing.
            const bool tableCell =
                segment.after.kind == SeparatorKind::Tab ||
                (&segment != &segments.front() && (&segment - 1)->after.kind == SeparatorKind::Tab);
            const auto emptyField = std::find_if(fields.begin(), fields.end(), [&](const Field& f) {
                return f.line == lineIndex && f.start == start && f.end == start;
            });
            if (emptyField != fields.end())
                pattern += fieldCapture(*emptyField, {});
            else if (tableCell)
                pattern += QStringLiteral("[^\\t]*?");
        } else if (holdsField || oneToken || fixedLine ||
                   (segment.after.kind == SeparatorKind::Label && !afterLabel)) {
            // A field with the text around it, a date, amount or digit run, a line of fixed
            // text, or a label.
            pattern += itemsAndText(start, end);
        } else {
            // A value: whatever another entry has there.
            pattern += QStringLiteral(".*?");
        }
        afterLabel = segment.after.kind == SeparatorKind::Label;
        if (segment.after.kind != SeparatorKind::None)
            pattern += separatorPattern(segment.after);
    }
    if (!pattern.endsWith(kBlank + u'*'))
        pattern += kBlank + u'*';
    return pattern;
}

struct Template {
    QStringList patterns;
    std::vector<bool> optional;
    QStringList cells;
    bool skipBlankLines = false;
    QString looksLike; // empty: the first line's match tells
};

QString fileText(const QString& id, const QString& caption, const Template& t) {
    QString text = QStringLiteral("# Learned by Tallemo from examples; see tallemo-kinds(5).\n"
                                  "id = %1\ncaption = %2\n")
                       .arg(tomlString(id), tomlString(caption));
    if (t.skipBlankLines)
        text += QStringLiteral("skip-blank-lines = true\n");
    if (!t.looksLike.isEmpty())
        text += QStringLiteral("looks-like = %1\n").arg(tomlString(t.looksLike));
    text += QStringLiteral("\nentry = [\n");
    for (qsizetype k = 0; k < t.patterns.size(); ++k) {
        if (t.optional[static_cast<std::size_t>(k)])
            text += QStringLiteral("    { line = %1, optional = true },\n")
                        .arg(tomlString(t.patterns[k]));
        else
            text += QStringLiteral("    %1,\n").arg(tomlString(t.patterns[k]));
    }
    text += QStringLiteral("]\n\nrow = [");
    QStringList cells;
    for (const QString& cell : t.cells)
        cells << tomlString(cell);
    return text + cells.join(QStringLiteral(", ")) + QStringLiteral("]\n");
}

// What a row proposed in the card kind's layout (date, description, two empty cells, amount) is
// made of: the example's date and amount, and the texts that could be its description, in the
// order they stand.
struct Proposal {
    QString date;
    QString amount;
    QStringList descriptions;
};

// A balance is no amount of the entry: a value after a label with 残高, or in a TAB table's column
// whose heading (a line of the statement with as many cells) has 残高.
QSet<int> balanceColumns(const QString& exampleLine, const QString& statement) {
    QSet<int> columns;
    if (!exampleLine.contains(u'\t'))
        return columns;
    const qsizetype cells = exampleLine.count(u'\t') + 1;
    for (const QStringView line : QStringView(statement).split(u'\n')) {
        const QList<QStringView> headings = line.split(u'\t');
        if (headings.size() != cells)
            continue;
        for (qsizetype c = 0; c < headings.size(); ++c) {
            if (headings[c].contains(u"残高"))
                columns.insert(static_cast<int>(c));
        }
        if (!columns.isEmpty())
            break;
    }
    return columns;
}

Proposal proposalOf(const std::vector<ExampleLine>& lines, const QString& statement) {
    Proposal proposal;
    bool dateNamed = false;
    bool amountNamed = false;
    for (const ExampleLine& line : lines) {
        const QSet<int> balances = balanceColumns(line.text, statement);
        for (const Token& token : line.tokens) {
            const QString text = line.text.mid(token.start, token.coreEnd - token.start);
            const QString label = labelBefore(line.text, token.start);
            if (token.cls == FieldClass::Date) {
                const bool named = labelNames(label, FieldClass::Date);
                if (proposal.date.isEmpty() || (named && !dateNamed)) {
                    proposal.date = rules::readDate(text).value_or(QString());
                    dateNamed = named;
                }
            } else if (token.cls == FieldClass::Amount) {
                const auto column = static_cast<int>(line.text.left(token.start).count(u'\t'));
                if (label.contains(QStringLiteral("残高")) || balances.contains(column))
                    continue;
                const bool named = labelNames(label, FieldClass::Amount);
                if (proposal.amount.isEmpty() || (named && !amountNamed)) {
                    proposal.amount = rules::readYen(text).value_or(QString());
                    amountNamed = named;
                }
            }
        }
        // The values: the parts of the line outside dates, amounts and digit runs, split at
        // separators, that are no label.
        int at = 0;
        std::vector<std::pair<int, int>> gaps;
        for (const Token& token : line.tokens) {
            gaps.emplace_back(at, token.start);
            at = token.end;
        }
        gaps.emplace_back(at, static_cast<int>(line.text.size()));
        for (const auto& [from, to] : gaps) {
            int k = from;
            while (k < to) {
                Separator separator{to, to, SeparatorKind::None};
                for (int j = k; j < to; ++j) {
                    const Separator s = separatorAt(line.text, j, to);
                    if (s.kind != SeparatorKind::None) {
                        separator = s;
                        break;
                    }
                }
                const QString part = line.text.mid(k, separator.start - k).trimmed();
                // A line that is a mark and a word alone ("■ご利用先") heads the value below it.
                const bool isLabel = separator.kind == SeparatorKind::Label ||
                                     (part == line.text.trimmed() && !part.isEmpty() &&
                                      part.front().category() == QChar::Symbol_Other);
                const bool marker = part.size() <= 1;
                if (!isLabel && !marker && !proposal.descriptions.contains(part))
                    proposal.descriptions << part;
                k = separator.kind == SeparatorKind::None ? separator.start : separator.end;
            }
        }
    }
    return proposal;
}

// The longest of the texts, the first of those as long.
QString longestOf(const QStringList& texts) {
    QString longest;
    for (const QString& text : texts) {
        if (text.size() > longest.size())
            longest = text;
    }
    return longest;
}

} // namespace

namespace {

bool containsDate(QStringView line) {
    for (auto it = dateExpression().globalMatch(line); it.hasNext();) {
        if (rules::readDate(it.next().capturedView()))
            return true;
    }
    return false;
}

bool containsAmount(QStringView line) {
    for (auto it = amountExpression().globalMatch(line); it.hasNext();) {
        if (rules::readYen(it.next().capturedView()))
            return true;
    }
    return false;
}

} // namespace

bool hasDatesAndAmounts(const LineModel& lines) {
    bool date = false;
    bool amount = false;
    for (int i = 0; i < lines.count() && !(date && amount); ++i) {
        const QStringView line = lines.lineView(i);
        date = date || containsDate(line);
        amount = amount || containsAmount(line);
    }
    return date && amount;
}

QString idFromCaption(const QString& caption, const QStringList& takenIds) {
    QString id;
    bool pendingDash = false;
    for (const QChar c : caption) {
        const char16_t u = c.unicode();
        const bool asciiLetterOrDigit =
            (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9');
        if (!asciiLetterOrDigit) {
            pendingDash = !id.isEmpty();
            continue;
        }
        if (pendingDash)
            id += u'-';
        pendingDash = false;
        id += c.toLower();
    }
    const auto usable = [&](const QString& candidate) {
        return !candidate.isEmpty() && candidate[0] >= u'a' && candidate[0] <= u'z' &&
               !takenIds.contains(candidate) && !rules::reservedIds().contains(candidate) &&
               findBuiltInKind(candidate) == nullptr;
    };
    if (usable(id))
        return id;
    for (int n = 1;; ++n) {
        QString numbered = QStringLiteral("kind-%1").arg(n);
        if (usable(numbered))
            return numbered;
    }
}

namespace {

// The description of a proposed row: of the texts the example offers, the one whose values vary
// most between the statement's entries (a shop's name, where a user's name or the way of payment
// repeats), the longest where the statement cannot tell.
QString descriptionOf(const QStringList& candidates, const LearnRequest& request) {
    if (candidates.size() < 2 || request.statement.isEmpty())
        return longestOf(candidates);
    LearnRequest probe;
    probe.exampleLines = request.exampleLines;
    probe.statement = request.statement;
    probe.wantedCells = candidates;
    probe.id = QStringLiteral("probe");
    const std::variant<LearnedKind, QString> learned = learnKind(probe);
    const auto* kind = std::get_if<LearnedKind>(&learned);
    if (kind == nullptr || kind->rows.size() < 2)
        return longestOf(candidates);
    QString chosen;
    qsizetype mostValues = 0;
    for (qsizetype c = 0; c < candidates.size(); ++c) {
        QSet<QString> values;
        for (const QStringList& row : kind->rows)
            values.insert(row.value(c));
        const bool longer = candidates[c].size() > chosen.size();
        if (values.size() > mostValues || (values.size() == mostValues && longer)) {
            chosen = candidates[c];
            mostValues = values.size();
        }
    }
    return chosen;
}

} // namespace

namespace {

// The example's lines without its blank ones, and whether blank lines stood between them (then
// the statement's blank lines are passed over too).
struct ExampleText {
    std::vector<ExampleLine> lines;
    bool blankInside = false;
};

ExampleText exampleTextOf(const QStringList& exampleLines) {
    ExampleText example;
    for (const QString& text : exampleLines) {
        if (isBlankLine(text)) {
            example.blankInside = example.blankInside || !example.lines.empty();
            continue;
        }
        example.lines.push_back({text, findTokens(text)});
    }
    return example;
}

// The fields chosen for the wanted cells and each cell's template.
struct ChosenFields {
    std::vector<Field> fields;
    QStringList cellTemplates;
    bool anyFound = false;
    // Per cell: the index of its field (-1 for fixed text) and the field's filters.
    std::vector<int> cellField;
    std::vector<QStringList> cellFilters;
};

// Whether a candidate overlaps a stretch that another cell took in part, so it is no longer free.
bool takenInPart(const Candidate& candidate, const std::vector<Field>& fields) {
    return std::any_of(fields.begin(), fields.end(), [&](const Field& f) {
        const bool same =
            f.line == candidate.line && f.start == candidate.start && f.end == candidate.end;
        return !same && f.line == candidate.line && candidate.start < f.tokenEnd &&
               f.start < candidate.tokenEnd;
    });
}

// Each wanted cell from a stretch of the example, where one gives it (a stretch named by its
// label before the first found); the cells found nowhere stay fixed text, with a warning, and
// the other stretches a cell could have come from become notes.
ChosenFields chooseFields(const std::vector<ExampleLine>& lines, const QStringList& cells,
                          const QSet<int>& literalCells, LearnedKind& learned) {
    ChosenFields chosenFields;
    std::vector<Field>& fields = chosenFields.fields;
    for (int c = 0; c < cells.size(); ++c) {
        const QString& cell = cells[c];
        chosenFields.cellField.push_back(-1);
        chosenFields.cellFilters.emplace_back();
        if (cell.isEmpty() || literalCells.contains(c)) {
            chosenFields.cellTemplates << cellTemplateText(cell);
            continue;
        }
        std::vector<Candidate> candidates = candidatesFor(cell, lines);
        candidates.erase(std::remove_if(candidates.begin(), candidates.end(),
                                        [&](const Candidate& candidate) {
                                            return takenInPart(candidate, fields);
                                        }),
                         candidates.end());
        if (candidates.empty()) {
            learned.warnings << QStringLiteral("セル %1「%2」は例の中に見つかりません。どの行でも"
                                               "「%2」という決まった文字になります")
                                    .arg(c + 1)
                                    .arg(cell);
            chosenFields.cellTemplates << cellTemplateText(cell);
            continue;
        }
        chosenFields.anyFound = true;
        const auto named =
            std::find_if(candidates.begin(), candidates.end(),
                         [](const Candidate& candidate) { return candidate.namedByLabel; });
        const Candidate& chosen = named != candidates.end() ? *named : candidates.front();
        for (const Candidate& other : candidates) {
            if (&other == &chosen)
                continue;
            learned.notes << QStringLiteral("セル %1「%2」は例の %3 行目から取りました。%4 行目の"
                                            "「%5」（%6）からも作れます")
                                 .arg(c + 1)
                                 .arg(cell)
                                 .arg(chosen.line + 1)
                                 .arg(other.line + 1)
                                 .arg(lines[static_cast<std::size_t>(other.line)].text.mid(
                                     other.start, other.end - other.start))
                                 .arg(classWord(other.cls));
        }
        // The same stretch for a second cell is the same field.
        auto field = std::find_if(fields.begin(), fields.end(), [&](const Field& f) {
            return f.line == chosen.line && f.start == chosen.start && f.end == chosen.end;
        });
        if (field == fields.end()) {
            const QString base = className(chosen.cls);
            const auto sameClass = std::count_if(
                fields.begin(), fields.end(), [&](const Field& f) { return f.cls == chosen.cls; });
            fields.push_back({chosen.line, chosen.start, chosen.end, chosen.tokenEnd, chosen.cls,
                              sameClass == 0 ? base : base + QString::number(sameClass + 1), false,
                              QString()});
            field = fields.end() - 1;
        }
        chosenFields.cellField.back() = static_cast<int>(field - fields.begin());
        chosenFields.cellFilters.back() = chosen.filters;
        QString cellTemplate = QStringLiteral("{") + field->name;
        for (const QString& filter : chosen.filters)
            cellTemplate += u'|' + filter;
        chosenFields.cellTemplates << cellTemplate + u'}';
        learned.fields.push_back({field->line, field->start, field->end - field->start, field->name,
                                  chosenFields.cellTemplates.back()});
    }
    return chosenFields;
}

// The label an entry's first line begins with ("★利用日：…", "【ご利用日】…", "■ご利用日時" alone
// on its line) as a pattern that any mark or none may stand before, so that a mail whose first
// label lost or changed its mark, or whose entry fails further down, is named rather than passed
// over; nothing when the line begins with a value.
QString leadingLabelPattern(const ExampleLine& line, const std::vector<Field>& fields) {
    const QString& text = line.text;
    qsizetype end = text.size();
    bool endsWithSeparator = false;
    for (qsizetype k = 0; k < text.size(); ++k) {
        if (text[k] == u':' || text[k] == u'：' || text[k] == u'】') {
            end = k;
            endsWithSeparator = true;
            break;
        }
    }
    const bool valueInside = std::any_of(line.tokens.begin(), line.tokens.end(),
                                         [&](const Token& token) { return token.start < end; }) ||
                             std::any_of(fields.begin(), fields.end(), [&](const Field& field) {
                                 return field.line == 0 && field.start < end;
                             });
    if (valueInside)
        return {};
    QStringView label = QStringView(text).left(end);
    while (!label.isEmpty() && (kLabelMarks.contains(label.front()) || isBlank(label.front())))
        label = label.sliced(1);
    label = label.trimmed();
    if (label.size() < 2)
        return {};
    return u'^' + kBlank + QStringLiteral("*(?:") + kLabelMarkPattern + kBlank +
           QStringLiteral("*)?") + literalPattern(label) +
           (endsWithSeparator ? kLabelEndPattern : kBlank + QStringLiteral("*$"));
}

// The rules kind's template: one required pattern per example line, and the sign by which a line
// looks like an entry: for a one-line entry its date, for a block its first label.
Template buildTemplate(const ExampleText& example, const ChosenFields& chosen) {
    Template t;
    t.skipBlankLines = example.blankInside;
    t.cells = chosen.cellTemplates;
    const std::vector<ExampleLine>& lines = example.lines;
    for (int l = 0; l < static_cast<int>(lines.size()); ++l) {
        t.patterns << linePattern(lines[static_cast<std::size_t>(l)], l, chosen.fields);
        t.optional.push_back(false);
    }
    // A one-line entry that fails on its way gives no sign by its first line: a line with a
    // date where the example has its date looks like an entry.
    if (lines.size() == 1) {
        const auto date = std::find_if(chosen.fields.begin(), chosen.fields.end(),
                                       [](const Field& f) { return f.cls == FieldClass::Date; });
        if (date != chosen.fields.end()) {
            const bool first = isBlankLine(lines.front().text.left(date->start));
            t.looksLike = (first ? u'^' + kBlank + u'*' : QString()) + datePattern();
        }
    } else {
        t.looksLike = leadingLabelPattern(lines.front(), chosen.fields);
    }
    return t;
}

// Whether the kind gives exactly the wanted row from the example itself: the reason when not.
std::optional<QString> checkAgainstExample(const StatementKind& kind,
                                           const std::vector<ExampleLine>& lines,
                                           const QStringList& wantedCells) {
    QStringList exampleTexts;
    for (const ExampleLine& line : lines)
        exampleTexts << line.text;
    const rules::RulesScan own =
        rules::scanWithRules(kind, LineModel(exampleTexts.join(QStringLiteral("\r\n"))));
    if (own.entries.size() != 1 || own.entries.front().skipped ||
        own.entries.front().cells != wantedCells)
        return QStringLiteral("例から書式を作れませんでした（例の行が作った書式に合いません）");
    return std::nullopt;
}

// Lines that some entries of the statement leave out become optional: all lines without a field
// at first (an entry without a field's line would give no row), then each one required again
// unless that loses entries. Returns the scan of the statement with the template it settles on.
rules::RulesScan findOptionalLines(Template& t, const std::vector<Field>& fields,
                                   const StatementKind& strictKind, const LearnedKind& learned,
                                   const LineModel& statement) {
    rules::RulesScan scan = rules::scanWithRules(strictKind, statement);
    std::vector<std::size_t> mayBeLeftOut;
    for (std::size_t k = 1; k < t.optional.size(); ++k) {
        if (std::none_of(fields.begin(), fields.end(),
                         [&](const Field& f) { return f.line == static_cast<int>(k); }))
            mayBeLeftOut.push_back(k);
    }
    if (scan.nearMisses.empty() || mayBeLeftOut.empty())
        return scan;
    const auto scanWith = [&](const Template& candidate) -> std::optional<rules::RulesScan> {
        std::variant<StatementKind, QString> looser =
            loadLearned(learned.id, fileText(learned.id, learned.caption, candidate));
        if (const auto* looserKind = std::get_if<StatementKind>(&looser))
            return rules::scanWithRules(*looserKind, statement);
        return std::nullopt;
    };
    Template loosest = t;
    for (const std::size_t k : mayBeLeftOut)
        loosest.optional[k] = true;
    std::optional<rules::RulesScan> loosestScan = scanWith(loosest);
    if (!loosestScan || loosestScan->entries.size() <= scan.entries.size())
        return scan;
    t = loosest;
    scan = std::move(*loosestScan);
    for (const std::size_t k : mayBeLeftOut) {
        t.optional[k] = false;
        std::optional<rules::RulesScan> stricter = scanWith(t);
        if (stricter && stricter->entries.size() >= scan.entries.size())
            scan = std::move(*stricter);
        else
            t.optional[k] = true;
    }
    return scan;
}

} // namespace

std::variant<LearnedKind, QString> learnKind(const LearnRequest& request) {
    const ExampleText example = exampleTextOf(request.exampleLines);
    const std::vector<ExampleLine>& lines = example.lines;
    if (lines.empty())
        return QStringLiteral("例の行がありません。明細の 1 件分の行を選んでください");
    if (lines.size() > static_cast<std::size_t>(rules::kMaxEntryLines))
        return QStringLiteral("例は %1 行までです（%2 行あります）")
            .arg(rules::kMaxEntryLines)
            .arg(lines.size());

    LearnedKind learned;
    learned.caption =
        request.caption.trimmed().isEmpty() ? kDefaultLearnedCaption : request.caption.trimmed();
    learned.id =
        request.id.isEmpty() ? idFromCaption(learned.caption, request.takenIds) : request.id;
    if (std::optional<QString> problem = rules::idProblem(learned.id, request.builtInIds))
        return *problem;
    // A line of a comma-separated file: its cells are the fields between the commas, whatever
    // they hold, which a line pattern would pin to what the example has.
    if (detail::isCsvExample(request.exampleLines, request.statement))
        return detail::learnCsvKind(
            {{request.exampleLines, request.wantedCells, request.literalCells}}, std::move(learned),
            request.statement);
    learned.cells = request.wantedCells;
    if (request.wantedCells.isEmpty()) {
        const Proposal proposal = proposalOf(lines, request.statement);
        learned.cells = {proposal.date, descriptionOf(proposal.descriptions, request), QString(),
                         QString(), proposal.amount};
        // The proposal's first cell is the date, its last the amount: say which one is missing,
        // rather than let rows without it look complete.
        if (learned.cells.front().isEmpty())
            learned.warnings << QStringLiteral(
                "例に日付が見つからないので、行に日付のセルがありません");
        if (learned.cells.back().isEmpty())
            learned.warnings << QStringLiteral(
                "例に金額が見つからないので、行に金額のセルがありません");
    }

    const ChosenFields chosen = chooseFields(lines, learned.cells, request.literalCells, learned);
    if (!chosen.anyFound)
        return QStringLiteral("行のどのセルも例の中に見つかりません。例の行と行のセルを確かめて"
                              "ください");
    Template t = buildTemplate(example, chosen);

    std::variant<StatementKind, QString> kind =
        loadLearned(learned.id, fileText(learned.id, learned.caption, t));
    if (auto* problem = std::get_if<QString>(&kind))
        return *problem;
    if (std::optional<QString> problem =
            checkAgainstExample(std::get<StatementKind>(kind), lines, learned.cells))
        return *problem;

    const LineModel statement = LineModel::fromPastedText(request.statement);
    const rules::RulesScan scan =
        findOptionalLines(t, chosen.fields, std::get<StatementKind>(kind), learned, statement);
    learned.fileText = fileText(learned.id, learned.caption, t);
    recordScan(scan, statement, learned);
    return learned;
}

namespace {

// The cells of a TAB table's line: each one's stretch without the blanks around it; an empty
// cell is an empty stretch where its next TAB (or the line's end) stands.
std::vector<std::pair<int, int>> tableColumns(const QString& line) {
    std::vector<std::pair<int, int>> columns;
    int start = 0;
    const int size = static_cast<int>(line.size());
    for (int k = 0; k <= size; ++k) {
        if (k < size && line[k] != u'\t')
            continue;
        int from = start;
        int to = k;
        while (from < to && isBlank(line[from]))
            ++from;
        while (to > from && isBlank(line[to - 1]))
            --to;
        columns.emplace_back(from, to);
        start = k + 1;
    }
    return columns;
}

int columnOf(const std::vector<std::pair<int, int>>& columns, int position) {
    for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
        if (position >= columns[static_cast<std::size_t>(c)].first &&
            position <= columns[static_cast<std::size_t>(c)].second)
            return c;
    }
    return -1;
}

QString cannotGiveRow(std::size_t example) {
    return QStringLiteral("例 %1 の行を作れる書式になりませんでした。どの例も明細の同じ形の 1 件を"
                          "選んでください")
        .arg(example + 1);
}

// One TAB-table kind from one-line examples whose cells stand in different columns: each cell
// is the first non-empty of the columns the examples take it from, each with its own filters.
std::variant<LearnedKind, QString> mergeTableExamples(const std::vector<LearnExample>& examples,
                                                      LearnedKind learned,
                                                      const QString& statementText) {
    std::vector<ExampleText> texts;
    std::vector<std::vector<std::pair<int, int>>> columns;
    std::vector<ChosenFields> chosen;
    for (std::size_t e = 0; e < examples.size(); ++e) {
        texts.push_back(exampleTextOf(examples[e].lines));
        if (texts.back().lines.size() != 1 || !texts.back().lines.front().text.contains(u'\t'))
            return cannotGiveRow(e);
        columns.push_back(tableColumns(texts.back().lines.front().text));
        if (columns.back().size() != columns.front().size())
            return cannotGiveRow(e);
        LearnedKind scratch;
        chosen.push_back(chooseFields(texts.back().lines, examples[e].wantedCells,
                                      examples[e].literalCells, scratch));
        if (e == 0) {
            learned.notes = scratch.notes;
            learned.warnings = scratch.warnings;
        }
    }

    // Per cell, the columns it comes from, each with its filters, in the examples' order.
    struct Source {
        int column = 0;
        FieldClass cls = FieldClass::Text;
        QStringList filters;
        std::size_t example = 0;
        int fieldIndex = 0;
    };
    const qsizetype cellCount = examples.front().wantedCells.size();
    std::vector<std::vector<Source>> sources(static_cast<std::size_t>(cellCount));
    std::vector<bool> columnEmptySomewhere(columns.front().size(), false);
    for (std::size_t e = 0; e < examples.size(); ++e) {
        for (std::size_t col = 0; col < columns[e].size(); ++col)
            if (columns[e][col].first == columns[e][col].second)
                columnEmptySomewhere[col] = true;
        for (std::size_t c = 0; c < static_cast<std::size_t>(cellCount); ++c) {
            const int f = chosen[e].cellField[c];
            if (f < 0)
                continue;
            const Field& field = chosen[e].fields[static_cast<std::size_t>(f)];
            const int column = columnOf(columns[e], field.start);
            if (column < 0)
                return cannotGiveRow(e);
            const bool known =
                std::any_of(sources[c].begin(), sources[c].end(), [&](const Source& s) {
                    return s.column == column && s.filters == chosen[e].cellFilters[c];
                });
            if (!known)
                sources[c].push_back({column, field.cls, chosen[e].cellFilters[c], e, f});
        }
    }

    // One field per column taken, on the first example's line.
    std::vector<Field> fields;
    std::map<int, std::size_t> fieldOfColumn;
    for (const std::vector<Source>& cellSources : sources) {
        for (const Source& source : cellSources) {
            if (fieldOfColumn.contains(source.column))
                continue;
            const Field& found =
                chosen[source.example].fields[static_cast<std::size_t>(source.fieldIndex)];
            const std::pair<int, int> base =
                columns.front()[static_cast<std::size_t>(source.column)];
            Field field;
            field.cls = source.cls;
            if (source.example == 0) {
                field = found;
            } else {
                field.start = base.first;
                field.end = base.second;
                field.tokenEnd = base.second;
                field.innerPattern = fieldInnerPattern(
                    found.cls, QStringView(texts[source.example].lines.front().text)
                                   .sliced(found.start, found.end - found.start));
            }
            field.line = 0;
            field.mayBeEmpty = columnEmptySomewhere[static_cast<std::size_t>(source.column)];
            const QString baseName = className(field.cls);
            const auto sameClass = std::count_if(
                fields.begin(), fields.end(), [&](const Field& f) { return f.cls == field.cls; });
            field.name = sameClass == 0 ? baseName : baseName + QString::number(sameClass + 1);
            fieldOfColumn[source.column] = fields.size();
            fields.push_back(field);
        }
    }

    ChosenFields merged;
    merged.fields = fields;
    merged.anyFound = !fields.empty();
    learned.fields.clear();
    for (qsizetype c = 0; c < cellCount; ++c) {
        const std::vector<Source>& cellSources = sources[static_cast<std::size_t>(c)];
        if (cellSources.empty()) {
            merged.cellTemplates << chosen.front().cellTemplates[c];
            continue;
        }
        QStringList choices;
        for (const Source& source : cellSources) {
            QString choice = fields[fieldOfColumn[source.column]].name;
            for (const QString& filter : source.filters)
                choice += u'|' + filter;
            choices << choice;
        }
        merged.cellTemplates << u'{' + choices.join(QStringLiteral("; ")) + u'}';
        const Field& first = fields[fieldOfColumn[cellSources.front().column]];
        learned.fields.push_back(
            {0, first.start, first.end - first.start, first.name, merged.cellTemplates.back()});
    }

    Template t = buildTemplate(texts.front(), merged);
    std::variant<StatementKind, QString> kind =
        loadLearned(learned.id, fileText(learned.id, learned.caption, t));
    if (auto* problem = std::get_if<QString>(&kind))
        return *problem;
    for (std::size_t e = 0; e < examples.size(); ++e) {
        if (checkAgainstExample(std::get<StatementKind>(kind), texts[e].lines,
                                examples[e].wantedCells))
            return cannotGiveRow(e);
    }
    const LineModel statement = LineModel::fromPastedText(statementText);
    const rules::RulesScan scan =
        findOptionalLines(t, merged.fields, std::get<StatementKind>(kind), learned, statement);
    learned.fileText = fileText(learned.id, learned.caption, t);
    recordScan(scan, statement, learned);
    return learned;
}

// Whether a learned kind gives the example's wanted row from the example itself.
bool givesRow(const LearnedKind& learned, const LearnExample& example) {
    const std::variant<StatementKind, QString> kind = loadLearned(learned.id, learned.fileText);
    const auto* loaded = std::get_if<StatementKind>(&kind);
    return loaded != nullptr &&
           !checkAgainstExample(*loaded, exampleTextOf(example.lines).lines, example.wantedCells);
}

} // namespace

std::variant<LearnedKind, QString> learnKindFromExamples(const std::vector<LearnExample>& examples,
                                                         const LearnRequest& request) {
    if (examples.empty())
        return QStringLiteral("例の行がありません。明細の 1 件分の行を選んでください");
    LearnRequest first = request;
    first.exampleLines = examples.front().lines;
    first.wantedCells = examples.front().wantedCells;
    first.literalCells = examples.front().literalCells;
    if (examples.size() == 1)
        return learnKind(first);
    // Several examples only say something together through their rows: a proposal per example
    // could disagree on what each cell is.
    for (std::size_t e = 0; e < examples.size(); ++e) {
        if (examples[e].wantedCells.isEmpty())
            return QStringLiteral("例 %1 の行がありません。例が 2 つ以上あるときは、例ごとに"
                                  "作りたい行を書いてください")
                .arg(e + 1);
        if (examples[e].wantedCells.size() != examples.front().wantedCells.size())
            return QStringLiteral("例 %1 の行は %2 セル、例 1 の行は %3 セルです。どの例の行も"
                                  "同じ数のセルにしてください")
                .arg(e + 1)
                .arg(examples[e].wantedCells.size())
                .arg(examples.front().wantedCells.size());
    }
    std::variant<LearnedKind, QString> fromFirst = learnKind(first);
    auto* learned = std::get_if<LearnedKind>(&fromFirst);
    if (learned == nullptr)
        return QStringLiteral("例 1: %1").arg(std::get<QString>(fromFirst));
    LearnedKind base;
    base.id = learned->id;
    base.caption = learned->caption;
    base.cells = learned->cells;
    if (detail::isCsvExample(first.exampleLines, request.statement))
        return detail::learnCsvKind(examples, std::move(base), request.statement);
    if (std::all_of(examples.begin() + 1, examples.end(),
                    [&](const LearnExample& example) { return givesRow(*learned, example); }))
        return fromFirst;
    return mergeTableExamples(examples, std::move(base), request.statement);
}

namespace {

// A line that names who sent the statement: short, with a card or notice word, no date or amount.
QString issuerHeading(const QString& line) {
    QString text = line.trimmed();
    for (const QString& prefix : {QStringLiteral("件名:"), QStringLiteral("件名："),
                                  QStringLiteral("Subject:"), QStringLiteral("タイトル:")}) {
        if (text.startsWith(prefix, Qt::CaseInsensitive))
            text = text.mid(prefix.size()).trimmed();
    }
    // Decorations around a heading are no part of its name.
    static const QString kMarks = QStringLiteral("■□◆◇★☆●○【】[]＜＞<>「」『』=＝-－─━*＊ 　");
    while (!text.isEmpty() && kMarks.contains(text.front()))
        text.remove(0, 1);
    while (!text.isEmpty() && kMarks.contains(text.back()))
        text.chop(1);
    if (text.isEmpty() || text.size() > 40 || text.contains(u'\t'))
        return {};
    static const QStringList kNamingWords = {QStringLiteral("カード"), QStringLiteral("お知らせ"),
                                             QStringLiteral("明細"),   QStringLiteral("銀行"),
                                             QStringLiteral("Card"),   QStringLiteral("CARD")};
    if (std::none_of(kNamingWords.begin(), kNamingWords.end(),
                     [&](const QString& word) { return text.contains(word); }))
        return {};
    if (!findTokens(text).empty())
        return {};
    return text;
}

} // namespace

QString proposeCaption(const QString& statement, const QStringList& exampleLines,
                       const QStringList& takenIds) {
    const QStringList lines = statement.split(u'\n');
    const auto firstExampleLine =
        std::find_if(exampleLines.begin(), exampleLines.end(),
                     [](const QString& line) { return !isBlankLine(line); });
    qsizetype end = lines.size();
    if (firstExampleLine != exampleLines.end()) {
        for (qsizetype k = 0; k < lines.size(); ++k) {
            if (QStringView(lines[k]).trimmed() == QStringView(*firstExampleLine).trimmed()) {
                end = k;
                break;
            }
        }
    }
    // The heading of a mail stands at its top: the first naming line above the example.
    for (qsizetype k = 0; k < end; ++k) {
        QString line = lines[k];
        if (line.endsWith(u'\r'))
            line.chop(1);
        QString heading = issuerHeading(line);
        if (!heading.isEmpty())
            return heading;
    }
    const QString id = idFromCaption(QString(), takenIds);
    return QStringLiteral("例から作った書式 %1").arg(id.mid(QStringLiteral("kind-").size()));
}

} // namespace tallemo::learn
