#pragma once

#include "converters/StatementKinds.h"
#include "text/RowText.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

namespace tallemo::rules {

// What a row cell's template can do to a field: {amount|yen}, {date|date}, {shop|width|trim}.
enum class CellFilter {
    Yen,   // the amount as digits, "-" for minus
    Date,  // yyyy/MM/dd
    Width, // NFKC: full-width ASCII and blanks to half-width, half-width kana to full-width
    Trim,  // blanks at both ends gone
    Neg,   // the amount as yen reads it, with its sign flipped
};

std::optional<CellFilter> cellFilterNamed(QStringView name);
// "yen, date, width, trim, neg", for problem texts and the help.
QString cellFilterNames();

// The filtered value, or nothing when the filter cannot read it (an amount that is no whole
// number, a date without year or day).
std::optional<QString> applyCellFilter(CellFilter filter, const QString& value);
// Why an entry gets no row when the filter cannot read its field.
SkipReason skipReasonOf(CellFilter filter);

// "1,500 円", "￥１，５００", "△300", "-1500.00" → "1500", "1500", "-300", "-1500"; nothing for
// "1500.5", "abc" or an empty text.
std::optional<QString> readYen(QStringView value);
// "2025/7/3", "2025-07-03", "2025年7月3日", "2025.07.03 12:34", "２０２５/７/３(木)" →
// "2025/07/03"; nothing for "11/03", "2024/12" or "2025/02/30".
std::optional<QString> readDate(QStringView value);

// The same filters writing where the row is built, without a string per cell: false (out then
// may hold part of it) when the filter cannot read the value. negate flips the amount's sign as
// neg does.
bool appendYen(RowText& out, QStringView value, bool negate);
bool appendDate(RowText& out, QStringView value);
// Whether the filters can read the value, without writing it.
bool readsAsYen(QStringView value);
bool readsAsDate(QStringView value);
// Whether yen reads the value as zero ("0", "０円", "-0").
bool isZeroYen(QStringView value);

} // namespace tallemo::rules
