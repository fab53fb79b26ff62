#pragma once

#include "converters/StatementKinds.h"
#include "rules/CellFilters.h"
#include "text/OutputList.h"
#include "text/RowText.h"

#include <QString>
#include <QStringView>

#include <algorithm>
#include <functional>
#include <optional>
#include <variant>
#include <vector>

namespace tallemo::rules {

// One field of a cell's template with the filters it goes through.
struct FieldUse {
    int field = -1;
    std::vector<CellFilter> filters;
};

// A piece of a cell's template: literal text, or a field. A field piece may name several fields,
// "{出金|yen; 入金|neg}": the first of them that holds an amount other than zero is taken, for
// statements that keep money out and money in in two columns.
struct CellPart {
    QString literal;
    std::vector<FieldUse> choices; // empty for literal text
};

using CellTemplate = std::vector<CellPart>;

// The field a name in a template stands for, or why there is none.
using FieldResolver = std::function<std::variant<int, QString>(const QString& name)>;

// A cell's template: "{name}", "{name|filter|filter}", "{a|yen; b|neg}", literal text, "{{" and
// "}}" for braces. The names are the resolver's to judge.
std::variant<CellTemplate, QString> parseCellTemplate(const QString& text,
                                                      const FieldResolver& resolve);

// What the stages after the conversion need to know of a row made by these templates: the first
// cell read with the date filter, the first with an amount filter, the first other cell that
// takes a field as the description, and the two cells the user fills where the templates leave
// the third and fourth empty.
RowLayout layoutOf(const std::vector<CellTemplate>& cells);

// The rows of a kind that replaces the text with them: the text area takes them when it is
// wanted; a text without a single row stays as it was, and so does the clipboard (nothing).
std::optional<OutputList> rowsReplacingTheText(OutputList SL, LineModel& Lines,
                                               const ConvertContext& context);

// Whether a field's text counts as an amount for a choice: empty, "-" and a zero amount do not.
bool holdsAmount(QStringView value);

inline bool breaksTheRow(QChar c) {
    return c == u'\t' || c == u'\r' || c == u'\n' || c == QChar(0x2028) || c == QChar(0x2029);
}

// Appends a piece of a cell; a TAB or a line break in it becomes a space, so that the row's
// columns never shift.
inline void appendToCell(RowText& row, QStringView piece) {
    if (std::none_of(piece.begin(), piece.end(), breaksTheRow)) {
        row.append(piece);
        return;
    }
    for (const QChar c : piece)
        row.append(breaksTheRow(c) ? u' ' : c.unicode());
}

// The field a piece takes its text from: its only one, or the first of its choices that holds
// an amount; nothing when none does.
template <class ValueOf> const FieldUse* chosenField(const CellPart& part, ValueOf valueOf) {
    if (part.choices.size() == 1)
        return &part.choices.front();
    for (const FieldUse& use : part.choices) {
        if (holdsAmount(valueOf(use.field)))
            return &use;
    }
    return nullptr;
}

// A field's text through its filters (at least one), or the filter that cannot read it.
template <class ValueOf>
std::variant<QString, CellFilter> filteredValue(const FieldUse& use, ValueOf valueOf) {
    const QStringView raw = valueOf(use.field);
    const CellFilter first = use.filters.front();
    // yen and date read the field where it is: most cells are an amount or a date, and a copy
    // of each would cost more than reading it.
    std::optional<QString> value = first == CellFilter::Yen ? readYen(raw)
                                   : first == CellFilter::Date
                                       ? readDate(raw)
                                       : applyCellFilter(first, raw.toString());
    if (!value)
        return first;
    for (std::size_t f = 1; f < use.filters.size(); ++f) {
        value = applyCellFilter(use.filters[f], *value);
        if (!value)
            return use.filters[f];
    }
    return std::move(*value);
}

// Appends the cell made of its template to row, valueOf(field) giving each field's text, or
// says why it cannot be made (row then holds part of it).
template <class ValueOf>
std::optional<SkipReason> appendCell(RowText& row, const CellTemplate& parts, ValueOf valueOf) {
    for (const CellPart& part : parts) {
        if (part.choices.empty()) {
            appendToCell(row, part.literal);
            continue;
        }
        const FieldUse* use = chosenField(part, valueOf);
        if (use == nullptr)
            return SkipReason::UnreadableAmount;
        if (use->filters.empty()) {
            appendToCell(row, valueOf(use->field));
            continue;
        }
        // Most cells are an amount, a date or a trimmed text: they are written into the row from
        // the field where it is, without a string of their own.
        if (use->filters.size() == 1) {
            const QStringView raw = valueOf(use->field);
            const CellFilter filter = use->filters.front();
            if (filter == CellFilter::Trim) {
                appendToCell(row, raw.trimmed());
                continue;
            }
            if (filter != CellFilter::Width) {
                const bool read = filter == CellFilter::Date
                                      ? appendDate(row, raw)
                                      : appendYen(row, raw, filter == CellFilter::Neg);
                if (!read)
                    return skipReasonOf(filter);
                continue;
            }
        }
        std::variant<QString, CellFilter> value = filteredValue(*use, valueOf);
        if (const auto* filter = std::get_if<CellFilter>(&value))
            return skipReasonOf(*filter);
        appendToCell(row, std::get<QString>(value));
    }
    return std::nullopt;
}

// Whether every cell can be made, without making them.
template <class ValueOf>
bool cellsReadable(const std::vector<CellTemplate>& cells, ValueOf valueOf) {
    for (const CellTemplate& parts : cells) {
        for (const CellPart& part : parts) {
            if (part.choices.empty())
                continue;
            const FieldUse* use = chosenField(part, valueOf);
            if (use == nullptr)
                return false;
            if (use->filters.empty())
                continue;
            if (use->filters.size() == 1) {
                const CellFilter filter = use->filters.front();
                if (filter == CellFilter::Date && !readsAsDate(valueOf(use->field)))
                    return false;
                if ((filter == CellFilter::Yen || filter == CellFilter::Neg) &&
                    !readsAsYen(valueOf(use->field)))
                    return false;
                // trim and width read any text.
                continue;
            }
            if (std::holds_alternative<CellFilter>(filteredValue(*use, valueOf)))
                return false;
        }
    }
    return true;
}

} // namespace tallemo::rules
