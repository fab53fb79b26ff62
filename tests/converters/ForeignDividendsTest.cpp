#include "converters/ForeignDividends.h"
#include "AppError.h"
#include "text/LineModel.h"
#include "text/Regional.h"

#include "support/Notation.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <vector>

using namespace tallemo;

namespace {

const QString kTrace = QStringLiteral(R"({"success":true,"rates":{"JPY":161.8,"USD":1.04}})");
const QString kFailure = QStringLiteral("ExchangeRates API の実行に失敗しました");
const QString kCrLf = QStringLiteral("\r\n");

using notation::rowsOf;
using notation::textOf;

// A rate client that adds its trace line, as the real one does, and delivers a fixed rate.
YenPerDollarSource fixedRate(double rate) {
    return [rate](LineModel& Lines) -> std::optional<double> {
        Lines.add(kTrace);
        return rate;
    };
}

// Runs the converter on the lines and keeps what it gives for the clipboard: the rows, or
// nothing when the clipboard must keep what it holds.
struct Session {
    explicit Session(const std::vector<const char*>& before) : area(textOf(before)) {}
    void convert(const YenPerDollarSource& source, const char* separator = ".") {
        rows = convertForeignDividends(
            area, Regional::fixed(QStringLiteral("2025/01/15"), QString::fromUtf8(separator)),
            source);
    }
    LineModel area;
    std::optional<OutputList> rows;
};

struct RowsCase {
    const char* name;
    std::vector<const char*> before;
    double rate;
    const char* separator;
    std::vector<const char*> rows;
};

class ForeignDividendRows : public testing::TestWithParam<RowsCase> {};

TEST_P(ForeignDividendRows, AddsTheRowsBelowTheTraceAndCopiesOnlyTheRows) {
    const RowsCase& c = GetParam();
    Session run(c.before);
    run.convert(fixedRate(c.rate), c.separator);

    const QString rows = rowsOf(c.rows);
    EXPECT_EQ(run.area.text(), textOf(c.before) + kCrLf + kTrace + kCrLf + rows);
    ASSERT_TRUE(run.rows.has_value());
    EXPECT_EQ(run.rows->text(), rows);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ForeignDividendRows,
    testing::Values(
        // The first row uses 155.5769…, the second the rounded 155.6.
        RowsCase{"TwoNotices",
                 {"見本ホールディングス", "数量 200株", "1株あたり 0.50", "入金額 100.00 USD",
                  "サンプル・コーポレーション", "数量 400株", "1株あたり 0.25",
                  "入金額 100.00 USD"},
                 161.8 / 1.04,
                 ".",
                 {"2025/01/15→配当米国→見本ホールディングス→→-15558→155.6",
                  "2025/01/15→配当米国→サンプル・コーポレーション→→-15560→155.6"}},
        RowsCase{"RegionalSeparator",
                 {"見本", "x", "y", "入金額 100,00 USD"},
                 161.8 / 1.04,
                 ",",
                 {"2025/01/15→配当米国→見本→→-15558→155,6"}},
        // 1562.5 rounds to 1562: the rate shown and used afterwards is 156.2.
        RowsCase{"RateTieRoundsToEven",
                 {"甲", "x", "y", "入金額 100.00 USD", "乙", "x", "y", "入金額 100.00 USD"},
                 156.25,
                 ".",
                 {"2025/01/15→配当米国→甲→→-15625→156.2", "2025/01/15→配当米国→乙→→-15620→156.2"}},
        // 74.5 gives 74 and 223.5 gives 224; the second name is whatever stands three lines up.
        RowsCase{
            "YenTiesRoundToEven",
            {"甲", "x", "y", "入金額 0.50 USD", "", "z", "入金額 1.50 USD"},
            149.0,
            ".",
            {"2025/01/15→配当米国→甲→→-74→149", "2025/01/15→配当米国→入金額 0.50 USD→→-224→149"}},
        RowsCase{"NegativeAmount",
                 {"甲", "x", "y", "入金額 -5.00 USD"},
                 161.8 / 1.04,
                 ".",
                 {"2025/01/15→配当米国→甲→→--778→155.6"}},
        // Three characters after the amount instead of four: the cut takes a digit instead.
        RowsCase{"CutsArePositional",
                 {"甲", "x", "y", "入金額 123.45USD"},
                 100.0,
                 ".",
                 {"2025/01/15→配当米国→甲→→-12340→100"}}),
    [](const testing::TestParamInfo<RowsCase>& p) { return p.param.name; });

struct NoRowsCase {
    const char* name;
    std::vector<const char*> before;
    double rate;
    const char* error; // nullptr: the command just ends
};

class ForeignDividendsWithoutRows : public testing::TestWithParam<NoRowsCase> {};

TEST_P(ForeignDividendsWithoutRows, KeepsTheTraceLineAndGivesNoRows) {
    const NoRowsCase& c = GetParam();
    Session run(c.before);
    std::optional<std::string> error;
    try {
        run.convert(fixedRate(c.rate));
    } catch (const AppError& e) {
        error = e.message().toStdString();
    }

    if (c.error != nullptr)
        EXPECT_EQ(error, std::optional<std::string>(c.error));
    else
        EXPECT_EQ(error, std::nullopt);
    EXPECT_EQ(run.area.text(), textOf(c.before) + kCrLf + kTrace);
    EXPECT_FALSE(run.rows.has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Table, ForeignDividendsWithoutRows,
    testing::Values(
        // An amount among the first three lines ends the command, later statements included.
        NoRowsCase{"AmountOnLineTwo",
                   {"x", "y", "入金額 1.00 USD", "甲", "x", "y", "入金額 2.00 USD"},
                   150.0,
                   nullptr},
        NoRowsCase{"AmountOnLineZero", {"入金額 1.00 USD"}, 150.0, nullptr},
        NoRowsCase{"EmptyAmount",
                   {"甲", "x", "y", "入金額 USD"},
                   150.0,
                   "'' は浮動小数点数ではありません"},
        // The good first row is dropped too.
        NoRowsCase{"ThousandsSeparatorAfterAGoodRow",
                   {"甲", "x", "y", "入金額 1.00 USD", "乙", "x", "y", "入金額 1,500.00 USD"},
                   150.0,
                   "'1,500.00' は浮動小数点数ではありません"},
        NoRowsCase{"YenBeyondThirtyTwoBits",
                   {"甲", "x", "y", "入金額 20000000.00 USD"},
                   150.0,
                   "範囲チェックエラー"},
        // A USD rate of 0 gives an infinite rate.
        NoRowsCase{"InfiniteRate",
                   {"甲", "x", "y", "入金額 1.00 USD"},
                   std::numeric_limits<double>::infinity(),
                   "範囲チェックエラー"}),
    [](const testing::TestParamInfo<NoRowsCase>& p) { return p.param.name; });

TEST(ForeignDividends, FailedRateFetchBuildsNoRowsAndLeavesTheClipboard) {
    Session run({"甲", "x", "y", "入金額 100.00 USD"});
    run.convert([](LineModel& Lines) -> std::optional<double> {
        Lines.add(kFailure);
        return std::nullopt;
    });
    EXPECT_EQ(run.area.text(), textOf({"甲", "x", "y", "入金額 100.00 USD"}) + kCrLf + kFailure);
    EXPECT_FALSE(run.rows.has_value());
}

TEST(ForeignDividends, NoAmountLineAddsAnEmptyLineAndGivesNoRowsToEmptyTheClipboardWith) {
    Session run({"配当金のお知らせ"});
    run.convert(fixedRate(150.0));
    EXPECT_EQ(run.area.text(), QStringLiteral("配当金のお知らせ") + kCrLf + kTrace + kCrLf + kCrLf);
    ASSERT_TRUE(run.rows.has_value());
    EXPECT_EQ(run.rows->count(), 0);
    EXPECT_EQ(run.rows->text(), QString());
}

} // namespace
