// A statement file is decoded by its byte-order mark, else as UTF-8 when it is UTF-8, else as
// Windows-31J; bytes that none of them takes are refused with where UTF-8 first breaks, and no
// byte is ever replaced by a stand-in character.
#include "files/StatementDecoding.h"
#include "support/QtText.h"

#include <gtest/gtest.h>

using namespace tallemo;
using namespace tallemo::testing_support;

namespace {

QByteArray bytesOf(const char* text, qsizetype size = -1) {
    return size < 0 ? QByteArray(text) : QByteArray(text, size);
}

TEST(DecodeStatement, TakesEachEncodingItCanTell) {
    struct Case {
        QByteArray bytes;
        QString text;
        TextEncoding encoding;
    };
    const Case cases[] = {
        {"", u8(""), TextEncoding::Utf8},
        {"a,b\r\nc", u8("a,b\r\nc"), TextEncoding::Utf8},
        {"\xE5\x88\xA9\xE7\x94\xA8\xE6\x97\xA5", u8("利用日"), TextEncoding::Utf8},
        {"\xEF\xBB\xBF\"a\"", u8("\"a\""), TextEncoding::Utf8WithBom},
        // Only the first mark is the file's: a second one is text.
        {"\xEF\xBB\xBF\xEF\xBB\xBFx", QChar(0xFEFF) + u8("x"), TextEncoding::Utf8WithBom},
        {bytesOf("\xFF\xFE\x29R(u\n\0", 8), u8("利用\n"), TextEncoding::Utf16Le},
        {bytesOf("\xFE\xFFR)u(\0\n", 8), u8("利用\n"), TextEncoding::Utf16Be},
        {bytesOf("\xFF\xFE", 2), QString(), TextEncoding::Utf16Le},
        // Here too a second mark is text, not dropped with the first.
        {bytesOf("\xFE\xFF\xFE\xFF", 4), QString(QChar(0xFEFF)), TextEncoding::Utf16Be},
        // Shift_JIS, with the Microsoft extensions: circled digits, ㈱, roman numerals, the NEC
        // and IBM kanji; "～" as Windows writes it; backslash and tilde stay ASCII.
        {"\x97\x98\x97\x70\x93\xfa,\x83\x4a\x81\x5b\x83\x68", u8("利用日,カード"),
         TextEncoding::Windows31J},
        {"\x87\x40\x87\x8a\x87\x54\xfa\x40\xed\x40\xfa\x5c\x81\x60\x5c\x7e", u8("①㈱Ⅰⅰ纊纊～\\~"),
         TextEncoding::Windows31J},
        // Half-width kana, single bytes, as card statements write shop names.
        {"\xb6\xb0\xc4\xde", u8("ｶｰﾄﾞ"), TextEncoding::Windows31J},
        // Control codes are themselves (Qt's table would exchange 0x1A, 0x1C and 0x7F).
        {bytesOf("\x82\xa0\x1a\x1c\x7f\x00", 6), u8("あ\x1a\x1c\x7f") + QChar(u'\0'),
         TextEncoding::Windows31J},
        // The user-defined area of Windows-31J is taken, as private-use characters.
        {"\xf0\x40", QString(QChar(0xE000)), TextEncoding::Windows31J},
    };
    for (const Case& c : cases) {
        const auto decoded = decodeStatement(c.bytes);
        ASSERT_TRUE(std::holds_alternative<DecodedText>(decoded)) << c.bytes.toHex().toStdString();
        EXPECT_EQ(std::get<DecodedText>(decoded).text, c.text) << c.bytes.toHex().toStdString();
        EXPECT_EQ(std::get<DecodedText>(decoded).encoding, c.encoding)
            << c.bytes.toHex().toStdString();
    }
}

TEST(DecodeStatement, RefusesWhatNoEncodingTakesWithTheFirstByteThatIsNotUtf8) {
    struct Case {
        QByteArray bytes;
        qsizetype offset;
        qsizetype line;
    };
    const Case cases[] = {
        // 0x80 and 0xA0 are no Windows-31J byte; 0x82 0x20 is a lead byte without its second.
        {"ok\n\x80", 3, 2},
        {"a\nb\nc\xa0", 5, 3},
        {"\x82 ", 0, 1},
        {"a\n\x82\xa0\x82", 2, 2}, // cut short at the end
        // Mixed encodings: a Shift_JIS line, then "円" in UTF-8, whose last byte is a
        // Windows-31J lead byte without its second byte. (Most UTF-8 text also reads as
        // Windows-31J, garbled: only the user can tell that.)
        {"\x82\xa0\n\xE5\x86\x86\n", 0, 1},
        // A UTF-8 mark says UTF-8: a later Shift_JIS line is refused, not reread.
        {"\xEF\xBB\xBF\x61\n\x82\xa0", 5, 2},
        {"\xEF\xBB\xBF\x97\x98", 3, 1},
        // Overlong forms, surrogates and code points beyond U+10FFFF are not UTF-8.
        {"ab\xC0\x80", 2, 1},
        {"\xED\xA0\x80", 0, 1},
        {"x\xF4\x90\x80\x80", 1, 1},
        {"\xFF", 0, 1},
        // UTF-16 that ends in half a code unit.
        {bytesOf("\xFF\xFE\x41\x00\x42", 5), 4, 1},
    };
    for (const Case& c : cases) {
        const auto decoded = decodeStatement(c.bytes);
        ASSERT_TRUE(std::holds_alternative<UndecodableText>(decoded))
            << c.bytes.toHex().toStdString() << " read as "
            << std::get<DecodedText>(decoded).text.toStdString();
        EXPECT_EQ(std::get<UndecodableText>(decoded).firstByteNotUtf8, c.offset)
            << c.bytes.toHex().toStdString();
        EXPECT_EQ(std::get<UndecodableText>(decoded).line, c.line) << c.bytes.toHex().toStdString();
    }
}

// Everything Windows-31J decodes without error must come out without a stand-in character: the
// decoder's substitutes (U+FFFD, U+001A) never reach the text unless the byte was 0x1A.
TEST(DecodeStatement, NoDoubleByteSequenceDecodesToAStandIn) {
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead >= 0xA0 && lead <= 0xDF) // single bytes: half-width kana
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const char pair[] = {static_cast<char>(lead), static_cast<char>(trail)};
            QString text;
            if (!appendWindows31J(text, QByteArrayView(pair, 2)))
                continue;
            ASSERT_EQ(text.size(), 1) << std::hex << lead << ' ' << trail;
            EXPECT_NE(text[0], QChar(0xFFFD)) << std::hex << lead << ' ' << trail;
            EXPECT_GE(text[0].unicode(), 0x80) << std::hex << lead << ' ' << trail;
        }
    }
}

TEST(FirstByteNotUtf8, IsTheSizeForUtf8AndTheStartOfTheBrokenSequenceOtherwise) {
    EXPECT_EQ(firstByteNotUtf8(""), 0);
    EXPECT_EQ(firstByteNotUtf8("\xF0\x9F\x98\x80z"), 5);
    EXPECT_EQ(firstByteNotUtf8("ab\xE5\x88"), 2);
    EXPECT_EQ(firstByteNotUtf8("ab\xE5\x88x"), 2);
    EXPECT_EQ(firstByteNotUtf8("\xC1\xBF"), 0);
    EXPECT_EQ(firstByteNotUtf8("\xE0\x9F\xBF"), 0);
}

} // namespace
