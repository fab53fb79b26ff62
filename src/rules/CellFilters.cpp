#include "rules/CellFilters.h"

#include "text/StatementSyntax.h"

#include <QDate>

#include <array>
#include <utility>

namespace tallemo::rules {

namespace {

constexpr std::array<std::pair<std::u16string_view, CellFilter>, 5> kFilters = {{
    {u"yen", CellFilter::Yen},
    {u"date", CellFilter::Date},
    {u"width", CellFilter::Width},
    {u"trim", CellFilter::Trim},
    {u"neg", CellFilter::Neg},
}};

using syntax::foldedUnit;
using syntax::isBlank;

bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

} // namespace

std::optional<CellFilter> cellFilterNamed(QStringView name) {
    for (const auto& [filterName, filter] : kFilters) {
        if (name == QStringView(filterName))
            return filter;
    }
    return std::nullopt;
}

QString cellFilterNames() {
    QStringList names;
    for (const auto& entry : kFilters)
        names << QStringView(entry.first).toString();
    return names.join(QStringLiteral(", "));
}

SkipReason skipReasonOf(CellFilter filter) {
    return filter == CellFilter::Date ? SkipReason::UnreadableDate : SkipReason::UnreadableAmount;
}

namespace {

// What the yen filter finds in a text: whether it reads as whole yen, its sign, and where its
// digits stand (they may have separators and blanks between them).
struct YenScan {
    bool readable = false;
    bool negative = false;
    bool zero = true;        // no digit but 0
    qsizetype digitsEnd = 0; // the digits are the digit units of [0, digitsEnd)
};

YenScan scanYenText(QStringView value) {
    YenScan scan;
    bool signSeen = false;
    bool digitSeen = false;
    qsizetype k = 0;
    // Blanks, thousands separators and the yen signs may stand anywhere; a sign only before the
    // first digit.
    const auto skippable = [](char16_t c) {
        return isBlank(c) || c == u',' || c == u'，' || c == u'円' || c == u'¥' || c == u'￥';
    };
    for (; k < value.size(); ++k) {
        const char16_t c = foldedUnit(value[k].unicode());
        if (skippable(c))
            continue;
        if (!signSeen && !digitSeen && (c == u'-' || c == u'△' || c == u'▲')) {
            scan.negative = true;
            signSeen = true;
            continue;
        }
        if (!signSeen && !digitSeen && c == u'+') {
            signSeen = true;
            continue;
        }
        if (isDigit(c)) {
            digitSeen = true;
            scan.zero = scan.zero && c == u'0';
            continue;
        }
        break;
    }
    if (!digitSeen)
        return scan;
    scan.digitsEnd = k;
    // A decimal part is allowed when it is all zeros ("1,500.00"); anything else after the digits
    // but blanks and yen signs makes the text no amount of whole yen.
    if (k < value.size() && foldedUnit(value[k].unicode()) == u'.') {
        ++k;
        bool fraction = false;
        for (; k < value.size() && isDigit(foldedUnit(value[k].unicode())); ++k) {
            if (foldedUnit(value[k].unicode()) != u'0')
                return scan;
            fraction = true;
        }
        if (!fraction)
            return scan;
    }
    for (; k < value.size(); ++k) {
        if (!skippable(foldedUnit(value[k].unicode())))
            return scan;
    }
    scan.readable = true;
    return scan;
}

// The date a text gives, or nothing.
struct DateScan {
    int year = 0;
    int month = 0;
    int day = 0;
};

std::optional<DateScan> scanDateText(QStringView value) {
    // The units folded as they are read, without a copy of the text.
    const struct {
        QStringView value;
        qsizetype size() const { return value.size(); }
        QChar operator[](qsizetype k) const { return {foldedUnit(value[k].unicode())}; }
    } text{value};
    qsizetype k = 0;
    while (k < text.size() && isBlank(text[k].unicode()))
        ++k;
    const auto readNumber = [&](int maxDigits, int& number) {
        const qsizetype start = k;
        number = 0;
        while (k < text.size() && isDigit(text[k].unicode())) {
            number = number * 10 + (text[k].unicode() - u'0');
            ++k;
            if (k - start > maxDigits)
                return qsizetype{0};
        }
        return k - start;
    };
    DateScan date;
    if (readNumber(4, date.year) != 4 || k >= text.size())
        return std::nullopt;
    const char16_t separator = text[k].unicode();
    if (separator != u'/' && separator != u'-' && separator != u'.' && separator != u'年')
        return std::nullopt;
    ++k;
    const qsizetype monthDigits = readNumber(2, date.month);
    if (monthDigits == 0 || k >= text.size())
        return std::nullopt;
    const char16_t secondSeparator = separator == u'年' ? u'月' : separator;
    if (text[k].unicode() != secondSeparator)
        return std::nullopt;
    ++k;
    if (readNumber(2, date.day) == 0)
        return std::nullopt;
    if (separator == u'年' && k < text.size() && text[k] == u'日')
        ++k;
    // What may follow a date: a time ("12:34", "T12:34"), a weekday in brackets, or nothing.
    if (k < text.size()) {
        const char16_t next = text[k].unicode();
        if (!(isBlank(next) || next == u'(' || next == u'（' || next == u'T' || next == u'['))
            return std::nullopt;
    }
    if (!QDate::isValid(date.year, date.month, date.day))
        return std::nullopt;
    return date;
}

} // namespace

bool appendYen(RowText& out, QStringView value, bool negate) {
    const YenScan scan = scanYenText(value);
    if (!scan.readable)
        return false;
    // Leading zeros say nothing, and zero has no sign.
    if (scan.zero) {
        out.append(u'0');
        return true;
    }
    if (scan.negative != negate)
        out.append(u'-');
    bool significant = false;
    for (qsizetype k = 0; k < scan.digitsEnd; ++k) {
        const char16_t c = foldedUnit(value[k].unicode());
        if (!isDigit(c) || (!significant && c == u'0'))
            continue;
        significant = true;
        out.append(c);
    }
    return true;
}

bool readsAsYen(QStringView value) {
    return scanYenText(value).readable;
}

bool isZeroYen(QStringView value) {
    const YenScan scan = scanYenText(value);
    return scan.readable && scan.zero;
}

bool appendDate(RowText& out, QStringView value) {
    const std::optional<DateScan> date = scanDateText(value);
    if (!date)
        return false;
    // Written by hand: QDate::toString goes through the calendar's formatter, which costs more
    // than the rest of a row.
    const std::array<char16_t, 10> units = {static_cast<char16_t>(u'0' + date->year / 1000),
                                            static_cast<char16_t>(u'0' + date->year / 100 % 10),
                                            static_cast<char16_t>(u'0' + date->year / 10 % 10),
                                            static_cast<char16_t>(u'0' + date->year % 10),
                                            u'/',
                                            static_cast<char16_t>(u'0' + date->month / 10),
                                            static_cast<char16_t>(u'0' + date->month % 10),
                                            u'/',
                                            static_cast<char16_t>(u'0' + date->day / 10),
                                            static_cast<char16_t>(u'0' + date->day % 10)};
    out.append(QStringView(units.data(), static_cast<qsizetype>(units.size())));
    return true;
}

bool readsAsDate(QStringView value) {
    return scanDateText(value).has_value();
}

std::optional<QString> readYen(QStringView value) {
    RowText yen;
    if (!appendYen(yen, value, false))
        return std::nullopt;
    return yen.view().toString();
}

std::optional<QString> readDate(QStringView value) {
    RowText date;
    if (!appendDate(date, value))
        return std::nullopt;
    return date.view().toString();
}

std::optional<QString> applyCellFilter(CellFilter filter, const QString& value) {
    switch (filter) {
    case CellFilter::Yen:
        return readYen(value);
    case CellFilter::Date:
        return readDate(value);
    case CellFilter::Width:
        return value.normalized(QString::NormalizationForm_KC);
    case CellFilter::Trim:
        return value.trimmed();
    case CellFilter::Neg: {
        RowText yen;
        if (!appendYen(yen, value, true))
            return std::nullopt;
        return yen.view().toString();
    }
    }
    return std::nullopt;
}

} // namespace tallemo::rules
