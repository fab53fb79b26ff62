#include "text/NumberText.h"

#include "AppError.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

namespace tallemo {

namespace {

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

qsizetype skipDigits(QStringView s, qsizetype p) {
    while (p < s.size() && isAsciiDigit(s[p]))
        ++p;
    return p;
}

// Whether a number whose decimal digits are intDigits "." fracDigits, times 10^exponent, is 1 or
// more in magnitude. from_chars reports overflow and underflow alike as out of range.
bool atLeastOne(QStringView intDigits, QStringView fracDigits, std::int64_t exponent) {
    qsizetype k = 0;
    qsizetype lead = 0;
    while (lead < intDigits.size() && intDigits[lead] == u'0')
        ++lead;
    if (lead < intDigits.size()) {
        k = intDigits.size() - lead;
    } else {
        qsizetype zeros = 0;
        while (zeros < fracDigits.size() && fracDigits[zeros] == u'0')
            ++zeros;
        if (zeros == fracDigits.size())
            return false;
        k = -zeros;
    }
    return static_cast<std::int64_t>(k) + exponent >= 1;
}

} // namespace

double decimalTextToFloat(QStringView text, const QString& decimalSeparator) {
    const auto fail = [&text]() -> double {
        throw AppError(QStringLiteral("'%1' は浮動小数点数ではありません").arg(text));
    };
    const QString separator = decimalSeparator.isEmpty() ? QStringLiteral(".") : decimalSeparator;
    const QStringView s(text);
    const qsizetype n = s.size();

    qsizetype p = 0;
    while (p < n && s[p] == u' ')
        ++p;
    bool negative = false;
    if (p < n && (s[p] == u'+' || s[p] == u'-')) {
        negative = s[p] == u'-';
        ++p;
    }
    const qsizetype intStart = p;
    p = skipDigits(s, p);
    const QStringView intDigits = s.mid(intStart, p - intStart);
    QStringView fracDigits;
    if (s.mid(p).startsWith(separator)) {
        p += separator.size();
        const qsizetype fracStart = p;
        p = skipDigits(s, p);
        fracDigits = s.mid(fracStart, p - fracStart);
    }
    // ".5" and "5." are numbers, a lone separator is not.
    if (intDigits.isEmpty() && fracDigits.isEmpty())
        return fail();

    bool expNegative = false;
    QStringView expDigits;
    if (p < n && (s[p] == u'E' || s[p] == u'e')) {
        ++p;
        if (p < n && (s[p] == u'+' || s[p] == u'-')) {
            expNegative = s[p] == u'-';
            ++p;
        }
        const qsizetype expStart = p;
        p = skipDigits(s, p);
        expDigits = s.mid(expStart, p - expStart);
        if (expDigits.isEmpty())
            return fail();
    }
    while (p < n && s[p] == u' ')
        ++p;
    if (p != n)
        return fail();

    // What is left is plain ASCII; from_chars reads it the same way in every locale. An amount
    // fits the buffer on the stack; a text of any length still gets a string of its own.
    std::array<char, 64> small{};
    std::string large;
    char* ascii = small.data();
    if (static_cast<std::size_t>(n) + 4 > small.size()) {
        large.resize(static_cast<std::size_t>(n) + 4);
        ascii = large.data();
    }
    char* out = ascii;
    const auto appendDigits = [&out](QStringView digits) {
        for (QChar c : digits)
            *out++ = static_cast<char>(c.unicode());
    };
    if (negative)
        *out++ = '-';
    if (intDigits.isEmpty())
        *out++ = '0';
    else
        appendDigits(intDigits);
    if (!fracDigits.isEmpty()) {
        *out++ = '.';
        appendDigits(fracDigits);
    }
    if (!expDigits.isEmpty()) {
        *out++ = 'e';
        if (expNegative)
            *out++ = '-';
        appendDigits(expDigits);
    }

    double value = 0;
    const char* const end = out;
    const auto [ptr, ec] = std::from_chars(ascii, end, value, std::chars_format::general);
    if (ec == std::errc() && ptr == end && std::isfinite(value))
        return value;
    if (ec != std::errc() && ec != std::errc::result_out_of_range)
        return fail();

    // Out of range: too large is no number a double can hold; too small is zero.
    std::int64_t exponent = 0;
    for (QChar c : expDigits) {
        exponent = exponent * 10 + (c.unicode() - u'0');
        if (exponent > 1'000'000'000)
            break;
    }
    if (expNegative)
        exponent = -exponent;
    if (atLeastOne(intDigits, fracDigits, exponent))
        return fail();
    return negative ? -0.0 : 0.0;
}

QString generalNumberText(double value, const QString& decimalSeparator) {
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (value == 0)
        return QStringLiteral("0");

    // d.dddddddddddddde±x: the value rounded to 15 significant digits, with the exponent of the
    // rounded value (9.9999999999999999 becomes 1.00000000000000e+01).
    std::array<char, 64> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                         std::fabs(value), std::chars_format::scientific, 14);
    const std::string scientific(buffer.data(), ec == std::errc() ? end : buffer.data());
    const std::size_t ePos = scientific.find('e');
    std::string digits = scientific.substr(0, 1) + scientific.substr(2, ePos - 2);
    int exponent = 0;
    std::from_chars(scientific.data() + ePos + (scientific[ePos + 1] == '+' ? 2 : 1),
                    scientific.data() + scientific.size(), exponent);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    QString out;
    if (value < 0)
        out.append(u'-');
    const auto digitCount = static_cast<int>(digits.size());
    if (exponent < -5 || exponent >= 15) {
        out.append(QLatin1Char(digits[0]));
        if (digitCount > 1) {
            out.append(decimalSeparator);
            out.append(QLatin1String(digits.data() + 1, digitCount - 1));
        }
        out.append(u'E');
        out.append(QString::number(exponent));
    } else if (exponent >= 0) {
        const int intCount = exponent + 1;
        if (digitCount <= intCount) {
            out.append(QLatin1String(digits.data(), digitCount));
            out.append(QString(intCount - digitCount, u'0'));
        } else {
            out.append(QLatin1String(digits.data(), intCount));
            out.append(decimalSeparator);
            out.append(QLatin1String(digits.data() + intCount, digitCount - intCount));
        }
    } else {
        out.append(u'0');
        out.append(decimalSeparator);
        out.append(QString(-exponent - 1, u'0'));
        out.append(QLatin1String(digits.data(), digitCount));
    }
    return out;
}

double roundHalfEven(double value) {
    // std::round takes halves away from zero; value - r is exact for the nearest integer r, so a
    // tie is seen exactly and moved to the even neighbour.
    double r = std::round(value);
    if (std::fabs(value - r) == 0.5 && std::fmod(r, 2.0) != 0)
        r -= std::copysign(1.0, r);
    return r == 0 ? std::copysign(0.0, value) : r;
}

int roundHalfEvenToInt32(double value) {
    const double r = roundHalfEven(value);
    if (!std::isfinite(r) || r < -2147483648.0 || r > 2147483647.0)
        throw AppError(QStringLiteral("範囲チェックエラー"));
    return static_cast<int>(r);
}

} // namespace tallemo
