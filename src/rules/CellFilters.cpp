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

std::optional<QString> readYen(QStringView value) {
    bool negative = false;
    bool signSeen = false;
    QString digits;
    digits.reserve(value.size() + 1);
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
        if (!signSeen && digits.isEmpty() && (c == u'-' || c == u'△' || c == u'▲')) {
            negative = true;
            signSeen = true;
            continue;
        }
        if (!signSeen && digits.isEmpty() && c == u'+') {
            signSeen = true;
            continue;
        }
        if (isDigit(c)) {
            digits.append(QChar(c));
            continue;
        }
        break;
    }
    if (digits.isEmpty())
        return std::nullopt;
    // A decimal part is allowed when it is all zeros ("1,500.00"); anything else after the digits
    // but blanks and yen signs makes the text no amount of whole yen.
    if (k < value.size() && foldedUnit(value[k].unicode()) == u'.') {
        ++k;
        bool fraction = false;
        for (; k < value.size() && isDigit(foldedUnit(value[k].unicode())); ++k) {
            if (foldedUnit(value[k].unicode()) != u'0')
                return std::nullopt;
            fraction = true;
        }
        if (!fraction)
            return std::nullopt;
    }
    for (; k < value.size(); ++k) {
        const char16_t c = foldedUnit(value[k].unicode());
        if (!skippable(c))
            return std::nullopt;
    }
    // Leading zeros say nothing, and zero has no sign.
    qsizetype zeros = 0;
    while (zeros + 1 < digits.size() && digits[zeros] == u'0')
        ++zeros;
    digits.remove(0, zeros);
    return negative && digits != u"0" ? u'-' + digits : digits;
}

std::optional<QString> readDate(QStringView value) {
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
    int year = 0;
    int month = 0;
    int day = 0;
    if (readNumber(4, year) != 4 || k >= text.size())
        return std::nullopt;
    const char16_t separator = text[k].unicode();
    if (separator != u'/' && separator != u'-' && separator != u'.' && separator != u'年')
        return std::nullopt;
    ++k;
    const qsizetype monthDigits = readNumber(2, month);
    if (monthDigits == 0 || k >= text.size())
        return std::nullopt;
    const char16_t secondSeparator = separator == u'年' ? u'月' : separator;
    if (text[k].unicode() != secondSeparator)
        return std::nullopt;
    ++k;
    if (readNumber(2, day) == 0)
        return std::nullopt;
    if (separator == u'年' && k < text.size() && text[k] == u'日')
        ++k;
    // What may follow a date: a time ("12:34", "T12:34"), a weekday in brackets, or nothing.
    if (k < text.size()) {
        const char16_t next = text[k].unicode();
        if (!(isBlank(next) || next == u'(' || next == u'（' || next == u'T' || next == u'['))
            return std::nullopt;
    }
    if (!QDate::isValid(year, month, day))
        return std::nullopt;
    // Written by hand: QDate::toString goes through the calendar's formatter, which costs more
    // than the rest of a row.
    const std::array<char16_t, 10> units = {static_cast<char16_t>(u'0' + year / 1000),
                                            static_cast<char16_t>(u'0' + year / 100 % 10),
                                            static_cast<char16_t>(u'0' + year / 10 % 10),
                                            static_cast<char16_t>(u'0' + year % 10),
                                            u'/',
                                            static_cast<char16_t>(u'0' + month / 10),
                                            static_cast<char16_t>(u'0' + month % 10),
                                            u'/',
                                            static_cast<char16_t>(u'0' + day / 10),
                                            static_cast<char16_t>(u'0' + day % 10)};
    return QString(reinterpret_cast<const QChar*>(units.data()),
                   static_cast<qsizetype>(units.size()));
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
        std::optional<QString> yen = readYen(value);
        if (!yen)
            return std::nullopt;
        if (*yen == u"0")
            return yen;
        return yen->startsWith(u'-') ? yen->mid(1) : u'-' + *yen;
    }
    }
    return std::nullopt;
}

} // namespace tallemo::rules
