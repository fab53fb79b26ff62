#pragma once

#include <QString>
#include <QStringView>

#include <algorithm>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// The small set of string operations the converters are written in. Positions start at 1 and
// count UTF-16 code units; only AnsiLeftStr counts a surrogate pair as one character. None of
// them fails: out-of-range positions and counts behave as documented on each function.
namespace tallemo {

inline const QString kTab = QStringLiteral("\t");
inline const QString kCrLf = QStringLiteral("\r\n");

// Position of the first occurrence of Sub in S, or 0 (also when either is empty).
int AnsiPos(const QString& Sub, const QString& S);

// The first N characters of S, a surrogate pair counting as one character.
QString AnsiLeftStr(const QString& S, int N);
// The same as a view of S, for the converters' loops, which copy nothing per line.
QStringView AnsiLeftView(QStringView S, int N);

// S with every occurrence of From replaced by To, left to right, without overlap.
QString AnsiReplaceStr(const QString& S, const QString& From, const QString& To);

// Removes Count code units from position Index on; nothing when Index < 1, Index > length or
// Count <= 0.
void Delete(QString& S, int Index, int Count);

// Inserts Sub before position Index: at the start for Index <= 1, at the end beyond the length.
void Insert(const QString& Sub, QString& S, int Index);

// n + AnsiPos(Str, St without its first n code units): the first Str wholly after position n, or
// n itself when there is none.
int MyAnsiPosEx(const QString& Str, const QString& St, int n);

// Whether s begins with prefix, code unit by code unit. The converters ask this of every line;
// inline, it costs a few compares where QStringView::startsWith costs a call into Qt.
inline bool beginsWith(QStringView s, QStringView prefix) {
    return s.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), s.begin());
}

// The position of the first c at or after from (0 <= from <= s.size()) in s, or -1. Also inline:
// the lines searched are short, and a call into Qt costs more than the search, which looks at
// eight code units at a time.
inline qsizetype indexOfUnit(QStringView s, char16_t c, qsizetype from = 0) {
    const char16_t* const begin = s.utf16();
    const qsizetype size = s.size();
#ifdef __SSE2__
    const __m128i wanted = _mm_set1_epi16(static_cast<short>(c));
    for (; from + 8 <= size; from += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(begin + from));
        const int found = _mm_movemask_epi8(_mm_cmpeq_epi16(units, wanted));
        if (found != 0)
            return from + (__builtin_ctz(static_cast<unsigned>(found)) >> 1);
    }
#endif
    for (; from < size; ++from) {
        if (begin[from] == c)
            return from;
    }
    return -1;
}

} // namespace tallemo
