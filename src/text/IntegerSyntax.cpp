#include "text/IntegerSyntax.h"

#include <cstdint>

namespace tallemo {

namespace {

int hexDigitValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

} // namespace

bool TryStrToInt(QStringView S, int& Value) {
    const qsizetype n = S.size();
    qsizetype i = 0;
    while (i < n && S.at(i) == u' ')
        ++i;

    bool negative = false;
    if (i < n && (S.at(i) == u'+' || S.at(i) == u'-')) {
        negative = S.at(i) == u'-';
        ++i;
    }

    bool hex = false;
    if (i < n && (S.at(i) == u'$' || S.at(i) == u'x' || S.at(i) == u'X')) {
        hex = true;
        i += 1;
    } else if (i + 1 < n && S.at(i) == u'0' && (S.at(i + 1) == u'x' || S.at(i + 1) == u'X')) {
        hex = true;
        i += 2;
    }

    if (i == n)
        return false; // empty, or a sign or prefix without digits

    if (hex) {
        std::uint32_t pattern = 0;
        int significant = 0;
        for (; i < n; ++i) {
            const int digit = hexDigitValue(S.at(i));
            if (digit < 0)
                return false;
            if (significant > 0 || digit != 0)
                ++significant;
            if (significant > 8)
                return false;
            pattern = (pattern << 4) | static_cast<std::uint32_t>(digit);
        }
        // Eight F digits are the pattern of -1; a "-" then negates the pattern in 32 bits.
        if (negative)
            pattern = 0U - pattern;
        Value = static_cast<std::int32_t>(pattern);
        return true;
    }

    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    std::int64_t magnitude = 0;
    for (; i < n; ++i) {
        const char16_t u = S.at(i).unicode();
        if (u < u'0' || u > u'9')
            return false;
        magnitude = magnitude * 10 + (u - u'0');
        if (magnitude > limit)
            return false;
    }
    Value = static_cast<int>(negative ? -magnitude : magnitude);
    return true;
}

} // namespace tallemo
