// The companion's own UTF-8 decoder and encoder stand in for Qt's on its hot path, so they are
// held to Qt's results: what QStringDecoder refuses is refused, what it takes decodes to the
// same units, and rows encode to what QString::toUtf8 makes.
#include "text/Utf8.h"
#include "support/QtText.h"

#include <QStringDecoder>

#include <gtest/gtest.h>

#include <optional>

using namespace tallemo;

namespace {

// Qt's verdict, with a byte-order mark kept as U+FEFF as decodeUtf8 keeps it.
std::optional<QString> qtDecoded(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless |
                                                     QStringConverter::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

std::optional<QString> ourDecoded(const QByteArray& bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    const QChar* const end = decodeUtf8(bytes, text.data());
    if (end == nullptr)
        return std::nullopt;
    text.truncate(end - text.constData());
    return text;
}

void expectSameAsQt(const QByteArray& bytes) {
    const std::optional<QString> expected = qtDecoded(bytes);
    const std::optional<QString> actual = ourDecoded(bytes);
    ASSERT_EQ(actual.has_value(), expected.has_value()) << bytes.toHex(' ').toStdString();
    if (expected) {
        EXPECT_EQ(*actual, *expected) << bytes.toHex(' ').toStdString();
    }
}

TEST(DecodeUtf8, AgreesWithQtOnTheBoundariesOfEveryForm) {
    for (const char* bytes : {
             "",
             "a",
             "\x7F",
             "\xC2\x80",
             "\xDF\xBF",
             "\xC0\x80",
             "\xC1\xBF", // two bytes; C0 and C1 overlong
             "\xE0\xA0\x80",
             "\xE0\x9F\xBF", // U+0800; overlong below it
             "\xED\x9F\xBF",
             "\xED\xA0\x80",
             "\xED\xBF\xBF", // U+D7FF; surrogates
             "\xEF\xBF\xBF",
             "\xEF\xBF\xBE",
             "\xEF\xB7\x90",     // noncharacters are text
             "\xEF\xBB\xBF\x61", // a byte-order mark
             "\xF0\x90\x80\x80",
             "\xF0\x8F\xBF\xBF", // U+10000; overlong below it
             "\xF4\x8F\xBF\xBF",
             "\xF4\x90\x80\x80",
             "\xF5\x80\x80\x80",
             "\xFF",
             "\x80",
             "a\xBF",
             "\xE3\x81",
             "\xE3\x81\x61",
             "\xF0\x9F\x98",
             "\xE3\x81\x82\x80",
             "\xE6\x94\xAF\xE6\x89\x95\tA\xE3\x81", // a sequence cut short at the end
         })
        expectSameAsQt(QByteArray(bytes));
}

// Every lead byte with every second byte, the rest continuation bytes and ASCII: each form,
// its overlong and out-of-range neighbours and every truncation.
TEST(DecodeUtf8, AgreesWithQtOnEveryLeadAndSecondByte) {
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
        for (int second = 0; second <= 0xFF; ++second) {
            QByteArray bytes;
            bytes.append(static_cast<char>(lead)).append(static_cast<char>(second));
            expectSameAsQt(bytes);
            expectSameAsQt(bytes + "\x80\x80z");
            expectSameAsQt(bytes + "\x80");
            if (testing::Test::HasFailure())
                return;
        }
    }
}

// The ASCII path widens sixteen bytes at a time: other bytes at each place of a block, and
// blocks cut short by the end.
TEST(DecodeUtf8, AgreesWithQtWhereverTheAsciiRunsEnd) {
    for (int run = 0; run <= 40; ++run) {
        const QByteArray ascii(run, 'x');
        expectSameAsQt(ascii);
        expectSameAsQt(ascii + "\xE5\x86\x86" + ascii);
        expectSameAsQt(ascii + "\xF0\x9F\x98\x80" + ascii + "\xC3\xA9");
        expectSameAsQt(ascii + "\xE5\x86" + ascii);
    }
}

// Runs of kana and kanji are decoded four at a time: anything else at each place of a run, and
// runs cut short by the end.
TEST(DecodeUtf8, AgreesWithQtWhereverTheJapaneseRunsEnd) {
    const QByteArray kana = "\xE3\x81\x82"; // あ
    for (const char* other : {"", "a", "\xC3\xA9", "\xF0\x9F\x98\x80", "\xE0\x80\x80",
                              "\xED\xA0\x80", "\xE3\x81", "\xE3\x81\x61", "\x80", "\xFF"}) {
        for (int before = 0; before <= 13; ++before) {
            for (int after = 0; after <= 6; ++after)
                expectSameAsQt(kana.repeated(before) + other + kana.repeated(after));
        }
    }
}

TEST(AppendUtf8, EncodesAsQStringToUtf8) {
    const QChar high(0xD83D);
    const QChar low(0xDE00);
    for (const QString& text : {
             QString(),
             QStringLiteral("ascii only, longer than eight units"),
             testing_support::u8("2024/11/03\tSAMPLE STORE\t1,500 円 é ¥"),
             QString(high) + low,               // a pair
             QString(low) + high,               // the wrong way round: two lone ones
             QStringLiteral("abcdefgh") + high, // a lone high one at the end
             QString(low) + QStringLiteral("abcdefghij") + high + QStringLiteral("z"),
             QString(QChar(0xFEFF)) + QChar(0xFFFF) + QChar(0x7FF) + QChar(0x800),
             testing_support::u8("配当国内") + high + low + testing_support::u8("工業") + high +
                 QChar(0xD7FF) + QChar(0xE000) + low + QStringLiteral("x"),
         }) {
        QByteArray out("kept");
        appendUtf8(out, text);
        EXPECT_EQ(out, "kept" + text.toUtf8());
        appendUtf8Line(out, text);
        EXPECT_EQ(out, "kept" + text.toUtf8() + text.toUtf8() + "\r\n");
    }
}

} // namespace
