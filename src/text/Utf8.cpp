#include "text/Utf8.h"

#include <QStringDecoder>
#include <QtEndian>

#include <algorithm>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <tmmintrin.h>
#endif

namespace tallemo {

namespace {

// Encodes the ASCII code units at the start of [from, end) into out, eight at a time; returns
// where the first other unit (or the end) is.
const char16_t* encodeAscii(const char16_t* from, const char16_t* end, char*& out) {
#ifdef __SSE2__
    const __m128i notAscii = _mm_set1_epi16(static_cast<short>(0xFF80));
    while (end - from >= 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        if (_mm_movemask_epi8(
                _mm_cmpeq_epi16(_mm_and_si128(units, notAscii), _mm_setzero_si128())) != 0xFFFF)
            break;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(units, units));
        from += 8;
        out += 8;
    }
#endif
    while (from != end && *from < 0x80)
        *out++ = static_cast<char>(*from++);
    return from;
}

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Widens the ASCII bytes at the start of [from, end) to out, sixteen at a time; returns where
// the first other byte (or the end) is. out has room for a unit per byte left, so a block of
// sixteen can be written whole even when only its first bytes are ASCII.
const unsigned char* decodeAscii(const unsigned char* from, const unsigned char* end,
                                 char16_t*& out) {
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    while (end - from >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(bytes, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(bytes, zero));
        const int notAscii = _mm_movemask_epi8(bytes);
        if (notAscii != 0) {
            const int ascii = __builtin_ctz(static_cast<unsigned>(notAscii));
            from += ascii;
            out += ascii;
            return from;
        }
        from += 16;
        out += 16;
    }
#endif
    while (from != end && *from < 0x80)
        *out++ = *from++;
    return from;
}

#if defined(__x86_64__) && defined(__GNUC__)
// Decodes well-formed three-byte sequences from the start of [from, end) four at a time (the
// kana and kanji of a Japanese statement), and returns where the first other one starts. Every
// x86-64 processor since 2006 has SSSE3, but the baseline the distribution builds for does not
// promise it, so it is asked for at run time.
__attribute__((target("ssse3"))) const unsigned char*
decodeThreeByteRuns(const unsigned char* from, const unsigned char* end, char16_t*& to) {
    // Sequence k's three bytes go into 32-bit lane k, lowest first, as the scalar loop reads
    // them.
    const __m128i toLanes = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i toUnits = _mm_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i formMask = _mm_set1_epi32(0x00C0C0F0);
    const __m128i form = _mm_set1_epi32(0x008080E0);
    while (end - from >= 16) {
        const __m128i lanes =
            _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from)), toLanes);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(lanes, formMask), form)) != 0xFFFF)
            break;
        const __m128i units = _mm_or_si128(
            _mm_or_si128(_mm_slli_epi32(_mm_and_si128(lanes, _mm_set1_epi32(0x0F)), 12),
                         _mm_and_si128(_mm_srli_epi32(lanes, 2), _mm_set1_epi32(0x0FC0))),
            _mm_and_si128(_mm_srli_epi32(lanes, 16), _mm_set1_epi32(0x3F)));
        // Overlong forms and surrogates are left to the scalar checks, which refuse them.
        const __m128i refused = _mm_or_si128(
            _mm_cmplt_epi32(units, _mm_set1_epi32(0x800)),
            _mm_cmpeq_epi32(_mm_and_si128(units, _mm_set1_epi32(0xF800)), _mm_set1_epi32(0xD800)));
        if (_mm_movemask_epi8(refused) != 0)
            break;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(to), _mm_shuffle_epi8(units, toUnits));
        from += 12;
        to += 4;
    }
    return from;
}
#endif

// Encodes s at p and returns where its bytes end; p has room for three bytes per unit.
char* encodeUtf8(QStringView s, char* p) {
    const char16_t* from = s.utf16();
    const char16_t* const end = from + s.size();
    while (from != end) {
        from = encodeAscii(from, end, p);
        if (from == end)
            break;
        // Kana and kanji come in runs of three-byte forms, written in a tight loop.
        while (from != end && *from >= 0x800 && (*from & 0xF800) != 0xD800) {
            const char16_t c = *from++;
            p[0] = static_cast<char>(0xE0 | (c >> 12));
            p[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            p[2] = static_cast<char>(0x80 | (c & 0x3F));
            p += 3;
        }
        if (from == end)
            break;
        if (*from < 0x80)
            continue;
        const char16_t c = *from++;
        if (c < 0x800) {
            *p++ = static_cast<char>(0xC0 | (c >> 6));
            *p++ = static_cast<char>(0x80 | (c & 0x3F));
        } else if (QChar::isHighSurrogate(c) && from != end && QChar::isLowSurrogate(*from)) {
            const char32_t u = 0x10000 + ((char32_t{c} - 0xD800) << 10) + (*from++ - 0xDC00);
            *p++ = static_cast<char>(0xF0 | (u >> 18));
            *p++ = static_cast<char>(0x80 | ((u >> 12) & 0x3F));
            *p++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            *p++ = static_cast<char>(0x80 | (u & 0x3F));
        } else if (QChar::isHighSurrogate(c) || QChar::isLowSurrogate(c)) {
            *p++ = '?';
        } else {
            *p++ = static_cast<char>(0xE0 | (c >> 12));
            *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *p++ = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return p;
}

} // namespace

QChar* decodeUtf8(QByteArrayView bytes, QChar* out) {
    const auto* from = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* const end = from + bytes.size();
    auto* to = reinterpret_cast<char16_t*>(out);
#if defined(__x86_64__) && defined(__GNUC__)
    static const bool hasSsse3 = __builtin_cpu_supports("ssse3");
#endif
    while (from != end) {
        if (*from < 0x80) {
            from = decodeAscii(from, end, to);
            continue;
        }
        // Japanese text is a run of three-byte sequences: well-formed ones are decoded in a
        // tight loop, and anything else takes the checks below.
#if defined(__x86_64__) && defined(__GNUC__)
        if (hasSsse3)
            from = decodeThreeByteRuns(from, end, to);
#endif
        // Four bytes are read as one word: a lead 1110xxxx and two continuation bytes 10xxxxxx.
        while (end - from >= 4) {
            std::uint32_t word = 0;
            std::memcpy(&word, from, sizeof word);
            word = qFromLittleEndian(word);
            if ((word & 0x00C0C0F0U) != 0x008080E0U)
                break;
            const auto unit = static_cast<char16_t>(
                ((word & 0x0FU) << 12) | ((word >> 2) & 0x0FC0U) | ((word >> 16) & 0x3FU));
            // Overlong below U+0800; a surrogate is no code point of its own.
            if (unit < 0x800 || (unit & 0xF800) == 0xD800)
                return nullptr;
            *to++ = unit;
            from += 3;
        }
        if (from == end || *from < 0x80)
            continue;
        do {
            const unsigned char lead = *from;
            const qsizetype left = end - from;
            if ((lead & 0xF0) == 0xE0) {
                if (left < 3 || !isContinuation(from[1]) || !isContinuation(from[2]))
                    return nullptr;
                const auto unit = static_cast<char16_t>(((lead & 0x0F) << 12) |
                                                        ((from[1] & 0x3F) << 6) | (from[2] & 0x3F));
                // Overlong below U+0800; a surrogate is no code point of its own.
                if (unit < 0x800 || (unit & 0xF800) == 0xD800)
                    return nullptr;
                *to++ = unit;
                from += 3;
            } else if (lead >= 0xC2 && lead < 0xE0) {
                if (left < 2 || !isContinuation(from[1]))
                    return nullptr;
                *to++ = static_cast<char16_t>(((lead & 0x1F) << 6) | (from[1] & 0x3F));
                from += 2;
            } else if (lead >= 0xF0 && lead < 0xF5) {
                // F0 would be overlong below 90; F4 goes beyond U+10FFFF from 90 on.
                const unsigned char low = lead == 0xF0 ? 0x90 : 0x80;
                const unsigned char high = lead == 0xF4 ? 0x8F : 0xBF;
                if (left < 4 || from[1] < low || from[1] > high || !isContinuation(from[2]) ||
                    !isContinuation(from[3]))
                    return nullptr;
                const char32_t u = ((char32_t{lead} & 0x07) << 18) | ((from[1] & 0x3FU) << 12) |
                                   ((from[2] & 0x3FU) << 6) | (from[3] & 0x3FU);
                *to++ = static_cast<char16_t>(0xD800 + ((u - 0x10000) >> 10));
                *to++ = static_cast<char16_t>(0xDC00 + ((u - 0x10000) & 0x3FF));
                from += 4;
            } else {
                // A continuation byte without a lead, C0 and C1 (overlong), F5 and beyond.
                return nullptr;
            }
        } while (from != end && *from >= 0x80);
    }
    return reinterpret_cast<QChar*>(to);
}

void appendUtf8(QByteArray& out, QStringView s) {
    const qsizetype old = out.size();
    // Three bytes per code unit at most (a surrogate pair takes four for two units); the bytes
    // beyond what is written are given back below.
    out.resize(old + s.size() * 3);
    out.truncate(encodeUtf8(s, out.data() + old) - out.constData());
}

void appendUtf8Line(QByteArray& out, QStringView s) {
    const qsizetype old = out.size();
    const qsizetype most = old + s.size() * 3 + 2;
    if (most > out.capacity())
        out.reserve(std::max(most, 2 * out.capacity()));
    // The bytes go beyond the size, into the reserved room, and resize() then takes them in: a
    // row costs one call into Qt instead of two.
    char* const end = encodeUtf8(s, out.data() + old);
    end[0] = '\r';
    end[1] = '\n';
    out.resize(end + 2 - out.constData());
}

QString utf8Text(QByteArrayView bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless |
                                                  QStringConverter::Flag::ConvertInitialBom);
    return utf8.decode(bytes);
}

} // namespace tallemo
