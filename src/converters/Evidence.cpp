#include "converters/Evidence.h"

#include <algorithm>

namespace tallemo::evidence {

namespace {

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// The number of digits at position at, at most max.
qsizetype digitsAt(QStringView s, qsizetype at, qsizetype max) {
    qsizetype n = 0;
    while (n < max && at + n < s.size() && isDigit(s[at + n]))
        ++n;
    return n;
}

} // namespace

bool startsWithDate(QStringView s) {
    if (digitsAt(s, 0, 4) != 4 || s.size() < 5 || s[4] != u'/')
        return false;
    const qsizetype month = digitsAt(s, 5, 2);
    if (month == 0 || 5 + month >= s.size() || s[5 + month] != u'/')
        return false;
    const qsizetype dayAt = 6 + month;
    const qsizetype day = digitsAt(s, dayAt, 2);
    // A third digit would make it something else than a day.
    return day > 0 && digitsAt(s, dayAt + day, 1) == 0;
}

bool startsWithMonthDay(QStringView s) {
    return digitsAt(s, 0, 2) == 2 && s.size() > 2 && s[2] == u'/' && digitsAt(s, 3, 2) == 2;
}

bool isAmount(QStringView s) {
    qsizetype i = 0;
    if (i < s.size() && (s[i] == u'-' || s[i] == u'+'))
        ++i;
    qsizetype digits = 0;
    for (; i < s.size(); ++i) {
        if (isDigit(s[i]))
            ++digits;
        else if (s[i] != u',' || digits == 0)
            break;
    }
    if (digits == 0)
        return false;
    if (i < s.size() && s[i] == u'.') {
        ++i;
        if (digitsAt(s, i, s.size()) == 0)
            return false;
        i += digitsAt(s, i, s.size());
    }
    return i == s.size() && s.back() != u',';
}

int tabCount(QStringView s) {
    return static_cast<int>(std::count(s.utf16(), s.utf16() + s.size(), u'\t'));
}

QStringView trimmedBlanks(QStringView s) {
    while (!s.isEmpty() && s.front() == u' ')
        s = s.sliced(1);
    while (!s.isEmpty() && s.back() == u' ')
        s.chop(1);
    return s;
}

} // namespace tallemo::evidence
