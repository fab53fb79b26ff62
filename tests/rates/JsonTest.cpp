#include "rates/Json.h"

#include "AppError.h"
#include "support/QtText.h"

#include <gtest/gtest.h>

#include <variant>

using tallemo::AppError;
using tallemo::compactJson;
using tallemo::JsonValue;
using tallemo::memberAsFloat;
using tallemo::parseJson;

namespace {

using tallemo::testing_support::u8;

struct CompactCase {
    const char* name;
    const char* json;
    const char* compact;
};

class JsonCompact : public testing::TestWithParam<CompactCase> {};

TEST_P(JsonCompact, WritesTheValueBackAsReceived) {
    const std::optional<JsonValue> value = parseJson(u8(GetParam().json));
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(compactJson(*value), u8(GetParam().compact));
}

INSTANTIATE_TEST_SUITE_P(
    Table, JsonCompact,
    testing::Values(
        CompactCase{
            "Answer",
            "\r\n{ \"success\" : true,\n  \"base\": \"EUR\",\n  \"rates\": {\"JPY\": 161.80, "
            "\"USD\": 1.040 } }\r\n",
            R"({"success":true,"base":"EUR","rates":{"JPY":161.80,"USD":1.040}})"},
        CompactCase{"DuplicatesKeptInOrder", R"({"b":1, "a":2, "b":3})", R"({"b":1,"a":2,"b":3})"},
        CompactCase{"NumbersAsWritten",
                    "[-0, 1E+5, 1.5e-7, 0.10, 123456789012345678901234567890, 1e-400]",
                    "[-0,1E+5,1.5e-7,0.10,123456789012345678901234567890,1e-400]"},
        // Valid JSON although no double holds them; numbers inside strings stay strings.
        CompactCase{"TooLargeForADouble", R"({"JPY":1e400,"USD":-1.5E+999,"n":["1e400", "\"", 1]})",
                    R"({"JPY":1e400,"USD":-1.5E+999,"n":["1e400","\"",1]})"},
        CompactCase{"Literals", "[ true , false , null , { } , [ ] ]", "[true,false,null,{},[]]"},
        CompactCase{"Scalar", " \"x\" ", "\"x\""},
        // Escaped CR LF and the separators stay escaped, so the trace stays one line.
        CompactCase{"Escapes", R"(["q\"b\\s\/", "\r\n\t\b\f", "\u0001\u001f", "\u2028\u2029"])",
                    R"(["q\"b\\s/","\r\n\t\b\f","\u0001\u001F","\u2028\u2029"])"},
        CompactCase{"NonAsciiAsCharacters", R"({"\u65e5\u672c":"円","e":"\ud83d\ude00"})",
                    "{\"日本\":\"円\",\"e\":\"😀\"}"}),
    [](const auto& p) { return std::string(p.param.name); });

class JsonRefused : public testing::TestWithParam<QString> {};

TEST_P(JsonRefused, GivesNoValue) {
    EXPECT_FALSE(parseJson(GetParam()).has_value());
}

INSTANTIATE_TEST_SUITE_P(Table, JsonRefused,
                         testing::Values(QString(), u8("  \r\n "), u8("{"), u8("{\"a\":1} x"),
                                         u8("{}{}"), u8("{'a':1}"), u8("[1,]"), u8("01"), u8("1."),
                                         u8("NaN"), u8("Infinity"), u8("1e"), u8("[-]"),
                                         u8("[1.e5]"), u8("[1-2]"), u8("[1e400e1]"), u8("[+1]"),
                                         u8("[.5]"), u8("\"\\ud800\""), u8("\"a\nb\""),
                                         u8("<html></html>"),
                                         QString::fromUtf16(u"{}\0{\"a\":", 9)));

TEST(JsonDepth, IsLimitedWithoutExhaustingTheStack) {
    const auto nested = [](int depth) { return QString(depth, u'[') + QString(depth, u']'); };
    EXPECT_TRUE(parseJson(nested(tallemo::kMaxJsonDepth)).has_value());
    EXPECT_FALSE(parseJson(nested(tallemo::kMaxJsonDepth + 1)).has_value());
    // A megabyte of openers, as a hostile answer might send.
    EXPECT_FALSE(parseJson(QString(1 << 20, u'[')).has_value());
    EXPECT_FALSE(parseJson(QString(1 << 20, u'{').replace(u'{', u8("{\"a\":"))).has_value());
}

TEST(JsonMember, IsTheFirstOfExactlyThatName) {
    const std::optional<JsonValue> value = parseJson(u8(R"({"jpy":1,"JPY":2,"JPY":3})"));
    ASSERT_TRUE(value.has_value());
    ASSERT_NE(value->member(u"JPY"), nullptr);
    EXPECT_EQ(value->member(u"JPY")->text, u8("2"));
    EXPECT_EQ(value->member(u"Jpy"), nullptr);
    EXPECT_EQ(value->member(u"JPY")->member(u"JPY"), nullptr); // a number has no members
}

struct NumberCase {
    const char* name;
    const char* json;
    std::variant<double, const char*> expected; // the value, or the error's message
};

class JsonMemberAsFloat : public testing::TestWithParam<NumberCase> {};

TEST_P(JsonMemberAsFloat, FollowsTheReadingRules) {
    const NumberCase& c = GetParam();
    const std::optional<JsonValue> object = parseJson(u8(c.json));
    ASSERT_TRUE(object.has_value());
    if (const double* expected = std::get_if<double>(&c.expected)) {
        EXPECT_EQ(memberAsFloat(*object, QStringLiteral("JPY")), *expected);
        return;
    }
    try {
        memberAsFloat(*object, QStringLiteral("JPY"));
        ADD_FAILURE() << "no error";
    } catch (const AppError& e) {
        EXPECT_EQ(e.message(), u8(std::get<const char*>(c.expected)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, JsonMemberAsFloat,
    testing::Values(
        NumberCase{"Number", R"({"JPY":161.80})", 161.8},
        NumberCase{"NumberWithExponent", R"({"JPY":-1.5E2})", -150.0},
        NumberCase{"String", R"({"JPY":"161.8"})", 161.8},
        NumberCase{"StringWithBlanks", R"({"JPY":" +161.8 "})", 161.8},
        NumberCase{"True", R"({"JPY":true})", 1.0}, NumberCase{"False", R"({"JPY":false})", 0.0},
        NumberCase{"FirstOfDuplicates", R"({"JPY":1,"JPY":2})", 1.0},
        NumberCase{"ThousandsSeparator", R"({"JPY":"1,618"})",
                   "'1,618' は浮動小数点数ではありません"},
        NumberCase{"EmptyString", R"({"JPY":""})", "'' は浮動小数点数ではありません"},
        NumberCase{"TooLargeForADouble", R"({"JPY":1e400})",
                   "'1e400' は浮動小数点数ではありません"},
        NumberCase{"Null", R"({"JPY":null})", "null から Double への変換はサポートされていません"},
        NumberCase{"Object", R"({"JPY":{}})",
                   "object から Double への変換はサポートされていません"},
        NumberCase{"Array", R"({"JPY":[1]})", "array から Double への変換はサポートされていません"},
        NumberCase{"Missing", R"({"USD":1})", "値 'JPY' が見つかりません"},
        NumberCase{"LowerCase", R"({"jpy":1})", "値 'JPY' が見つかりません"}),
    [](const auto& p) { return std::string(p.param.name); });

} // namespace
