#include "rates/RatesAnswerTest.h"
#include "rates/AnswerBody.h"
#include "rates/ExchangeRates.h"

#include "AppError.h"
#include "support/QtText.h"
#include "text/LineModel.h"
#include "text/Regional.h"

#include <QStringEncoder>

#include <gtest/gtest.h>

using tallemo::AppError;
using tallemo::LineModel;
using tallemo::ratesAnswerTest;
using tallemo::Regional;

namespace {

using tallemo::testing_support::u8;

struct RatesAnswerCase {
    const char* name;
    const char* text;
    const char* separator;
    // The two lines added, or empty with the error's message.
    QStringList added;
    const char* error;
};

class RatesAnswer : public testing::TestWithParam<RatesAnswerCase> {};

TEST_P(RatesAnswer, AddsFirstNameAndRatioOrNothing) {
    const RatesAnswerCase& c = GetParam();
    LineModel lines(u8(c.text));
    const QString before = lines.text();
    const Regional regional = Regional::fixed(QStringLiteral("2025/01/15"), u8(c.separator));
    if (c.error == nullptr) {
        ratesAnswerTest(lines, regional);
        EXPECT_EQ(lines.text(), before + QStringLiteral("\r\n") + c.added.join(u"\r\n"));
        return;
    }
    try {
        ratesAnswerTest(lines, regional);
        ADD_FAILURE() << "no error";
    } catch (const AppError& e) {
        EXPECT_EQ(e.message(), u8(c.error));
    }
    EXPECT_EQ(lines.text(), before);
}

const char* const kNotObject = "テキストが JSON オブジェクトではありません";
const char* const kNoRates = "オブジェクト 'rates' が見つかりません";

INSTANTIATE_TEST_SUITE_P(
    Table, RatesAnswer,
    testing::Values(
        RatesAnswerCase{
            "EuroBaseWithThreeRates",
            "{\"base\":\"EUR\",\r\n \"rates\": {\"AED\": 3.82, \"JPY\": 161.8, \"USD\": 1.04}}",
            ".",
            {u8("AED"), u8("155.576923076923")},
            nullptr},
        RatesAnswerCase{"ExactRatio",
                        R"({"rates":{"JPY":156,"USD":1.04}})",
                        ".",
                        {u8("JPY"), u8("150")},
                        nullptr},
        RatesAnswerCase{"UserSeparator",
                        R"({"rates":{"USD":"1.04","JPY":"161.8"}})",
                        ",",
                        {u8("USD"), u8("155,576923076923")},
                        nullptr},
        RatesAnswerCase{"MissingJpy",
                        R"({"rates":{"AED":3.82,"jpy":161.8,"USD":1.04}})",
                        ".",
                        {},
                        "値 'JPY' が見つかりません"},
        RatesAnswerCase{
            "MissingUsd", R"({"rates":{"JPY":161.8}})", ".", {}, "値 'USD' が見つかりません"},
        RatesAnswerCase{"TextRate",
                        R"({"rates":{"JPY":"1,618","USD":1}})",
                        ".",
                        {},
                        "'1,618' は浮動小数点数ではありません"},
        RatesAnswerCase{"NullRate",
                        R"({"rates":{"JPY":1,"USD":null}})",
                        ".",
                        {},
                        "null から Double への変換はサポートされていません"},
        RatesAnswerCase{"EmptyRates",
                        R"({"rates":{}})",
                        ".",
                        {},
                        "オブジェクト 'rates' にメンバーがありません"},
        RatesAnswerCase{"RatesNotObject", R"({"rates":[1]})", ".", {}, kNoRates},
        RatesAnswerCase{"NoRates", R"({"error":{"code":101}})", ".", {}, kNoRates},
        RatesAnswerCase{"Array", R"([{"rates":{"JPY":1,"USD":1}}])", ".", {}, kNotObject},
        RatesAnswerCase{"NotJson", "入金額 100.00 USD", ".", {}, kNotObject},
        RatesAnswerCase{"Empty", "", ".", {}, kNotObject}),
    [](const auto& p) { return std::string(p.param.name); });

struct DecodeCase {
    const char* name;
    QByteArray contentType;
    QByteArray body;
    std::optional<QString> text;
};

class AnswerDecoding : public testing::TestWithParam<DecodeCase> {};

TEST_P(AnswerDecoding, UsesTheDeclaredCharsetOrUtf8) {
    EXPECT_EQ(tallemo::decodeAnswerBody(GetParam().contentType, GetParam().body), GetParam().text);
}

QByteArray encoded(const char* charset, const QString& text) {
    QStringEncoder encoder(charset);
    return encoder.encode(text);
}

const QString kYen = u8("{\"通貨\":\"円\"}");

INSTANTIATE_TEST_SUITE_P(
    Table, AnswerDecoding,
    testing::Values(DecodeCase{"NoContentType", {}, kYen.toUtf8(), kYen},
                    DecodeCase{"NoCharset", "application/json", kYen.toUtf8(), kYen},
                    DecodeCase{"Utf8ByteOrderMark", "application/json", "\xEF\xBB\xBF{}", u8("{}")},
                    DecodeCase{"ShiftJis", "application/json; charset=Shift_JIS",
                               encoded("Shift_JIS", kYen), kYen},
                    DecodeCase{"QuotedEucJp", "application/json;Charset=\"EUC-JP\"; q=1",
                               encoded("EUC-JP", kYen), kYen},
                    DecodeCase{"EmptyCharset", "application/json; charset=", kYen.toUtf8(), kYen},
                    DecodeCase{"UnknownCharset", "application/json; charset=x-no-such", "{}",
                               std::nullopt}),
    [](const auto& p) { return std::string(p.param.name); });

} // namespace
