#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

// How statements write blanks, dates and amounts, in one place for the cell filters, the learner
// and the shipped rules files. The readers that turn a cell into its value are the `date` and
// `yen` filters (rules::readDate, rules::readYen); the patterns here are the same syntax as RE2
// (and QRegularExpression) fragments, for rules files and the learner's templates.
namespace tallemo::syntax {

// A space inside a cell: U+0020, U+00A0 (mails turned from HTML into text carry it) and U+3000.
constexpr bool isSpace(char16_t c) {
    return c == u' ' || c == u'\u00A0' || c == u'\u3000';
}
// A blank: a space or a TAB. A TAB parts the cells of pasted rows, so the patterns keep it apart
// from the spaces.
constexpr bool isBlank(char16_t c) {
    return c == u'\t' || isSpace(c);
}
inline bool isBlank(QChar c) {
    return isBlank(c.unicode());
}
inline bool isSpace(QChar c) {
    return isSpace(c.unicode());
}
bool isBlankLine(QStringView line);

// Full-width digits and the full-width forms of the punctuation dates and amounts use (and
// U+2212 MINUS SIGN) as their ASCII counterparts; every other unit as it is.
constexpr char16_t foldedUnit(char16_t c) {
    if (c >= u'０' && c <= u'９')
        return static_cast<char16_t>(u'0' + (c - u'０'));
    switch (c) {
    case u'．':
        return u'.';
    case u'／':
        return u'/';
    case u'－':
    case u'−':
        return u'-';
    case u'＋':
        return u'+';
    case u'：':
        return u':';
    default:
        return c;
    }
}

// ---- Pattern fragments ----
// Each is a complete RE2 expression (a class or a non-capturing group), so that it may be
// followed by a repetition.

// One space, one blank, one digit (ASCII or full-width).
QString spacePattern();
QString blankPattern();
QString digitPattern();
// A minus sign as amounts write it: "-", "−", "－", "△", "▲".
QString minusSignPattern();
// "¥" or "￥".
QString yenSignPattern();

// A date as the `date` filter reads it: a four-digit year and the month and day, apart by "/",
// "-" or "." (or their full-width forms), or "2024年6月5日". What may follow it is
// dateSuffixPattern's.
QString datePattern();
// What follows a date on statements, both optional: a time ("12:34", "T12:34:56") and a weekday
// in brackets ("(木)").
QString dateSuffixPattern();
// An amount as statements write it and the `yen` filter reads it: a minus sign, a yen sign,
// digits with thousands separators and a decimal part, each but the digits optional, without the
// "円" after it.
QString amountNumberPattern();
// The same with an optional "円" after it.
QString amountPattern();

} // namespace tallemo::syntax
