#include "text/NumberText.h"
#include "AppError.h"
#include "support/QtText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

using namespace tallemo;

namespace {

// The message of the AppError f throws, or a note that it threw none.
template <typename F> std::string errorOf(F&& f) {
    try {
        f();
    } catch (const AppError& e) {
        return e.message().toStdString();
    }
    return "(no error)";
}

std::string notAFloat(const char* text) {
    return "'" + std::string(text) + "' は浮動小数点数ではありません";
}

struct Accepted {
    const char* text;
    const char* separator;
    double value;
};

TEST(decimalTextToFloat, AcceptsTheDecimalTextRule) {
    const Accepted cases[] = {
        {"0", ".", 0.0},
        {"100.00", ".", 100.0},
        {"-5.00", ".", -5.0},
        {"+2.5", ".", 2.5},
        {"  12.5  ", ".", 12.5},
        {".5", ".", 0.5},
        {"5.", ".", 5.0},
        {"-.25", ".", -0.25},
        {"007", ".", 7.0},
        {"1e3", ".", 1000.0},
        {"1.5E-6", ".", 1.5e-6},
        {"2e+2", ".", 200.0},
        {"161.8", ".", 161.8},
        {"1.7976931348623157e308", ".", std::numeric_limits<double>::max()},
        {"4.9e-324", ".", std::numeric_limits<double>::denorm_min()},
        // Too small for a double reads as zero; too large fails (below).
        {"1e-400", ".", 0.0},
        {"0e999999", ".", 0.0},
        {"0.000", ".", 0.0},
        {"1,5", ",", 1.5},
        {"-0,25", ",", -0.25},
        // With "," as the separator the same text is a decimal, not a thousands group.
        {"1,500", ",", 1.5},
    };
    for (const Accepted& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(decimalTextToFloat(QString::fromUtf8(c.text), QString::fromUtf8(c.separator)),
                  c.value);
    }
}

TEST(decimalTextToFloat, KeepsTheSignOfZero) {
    EXPECT_TRUE(std::signbit(decimalTextToFloat(QStringLiteral("-0"), QStringLiteral("."))));
    EXPECT_TRUE(std::signbit(decimalTextToFloat(QStringLiteral("-1e-400"), QStringLiteral("."))));
}

// Amounts are read from a buffer on the stack; longer texts must read the same.
TEST(decimalTextToFloat, ReadsTextsOfAnyLength) {
    const QString zeros(200, u'0');
    EXPECT_EQ(decimalTextToFloat(zeros + QStringLiteral("12.5") + zeros, QStringLiteral(".")),
              12.5);
    EXPECT_EQ(decimalTextToFloat(QStringLiteral("  -0.") + zeros + QStringLiteral("1e202  "),
                                 QStringLiteral(".")),
              -10.0);
    EXPECT_EQ(decimalTextToFloat(QStringLiteral("1") + zeros + QStringLiteral("e-200"),
                                 QStringLiteral(",")),
              1.0);
}

TEST(decimalTextToFloat, RejectsEverythingElseWithTheTextAsItWas) {
    const struct {
        const char* text;
        const char* separator;
    } cases[] = {
        {"", "."},        {" ", "."},       {".", "."},        {"+", "."},
        {"-", "."},       {"1,500", "."},   {"1,500.00", "."}, {"1.2.3", "."},
        {"1.5", ","},     {"1e", "."},      {"1e+", "."},      {"e5", "."},
        {".e5", "."},     {"1 2", "."},     {"- 1", "."},      {"+-1", "."},
        {"1. 5", "."},    {"1 e5", "."},    {"\t1", "."},      {"1\t", "."},
        {"\u00a01", "."}, {"1\u3000", "."}, {"１００", "."},   {"0x10", "."},
        {"INF", "."},     {"NAN", "."},     {"1_000", "."},    {"100.0U", "."},
        {"$5", "."},      {"1e400", "."},   {"-1e400", "."},   {"1e99999999999999999999", "."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(errorOf([&] {
                      decimalTextToFloat(QString::fromUtf8(c.text), QString::fromUtf8(c.separator));
                  }),
                  notAFloat(c.text));
    }
}

TEST(generalNumberText, WritesFifteenSignificantDigitsWithoutTrailingZeros) {
    const struct {
        double value;
        const char* separator;
        const char* text;
    } cases[] = {
        {161.8 / 1.04, ".", "155.576923076923"},
        {156.0 / 1.04, ".", "150"},
        {155.6, ".", "155.6"},
        {156.2, ".", "156.2"},
        {155.6, ",", "155,6"},
        {0.0, ".", "0"},
        {-0.0, ".", "0"},
        {-2.5, ".", "-2.5"},
        {0.1 + 0.2, ".", "0.3"},
        {2.0 / 3.0, ".", "0.666666666666667"},
        {0.001, ".", "0.001"},
        {0.00001, ".", "0.00001"},
        {0.0000015, ".", "1.5E-6"},
        {-0.0000015, ".", "-1.5E-6"},
        {0.0000015, ",", "1,5E-6"},
        {1e-7, ".", "1E-7"},
        {123456789012345.0, ".", "123456789012345"},
        {1e15, ".", "1E15"},
        {1234567890123456.0, ".", "1.23456789012346E15"},
        // Rounding to 15 digits carries into a sixteenth integer digit.
        {999999999999999.9, ".", "1E15"},
        {9.9999999999999999, ".", "10"},
        {1e20, ".", "1E20"},
        {std::numeric_limits<double>::max(), ".", "1.79769313486232E308"},
        {std::numeric_limits<double>::denorm_min(), ".", "4.94065645841247E-324"},
        {std::numeric_limits<double>::infinity(), ".", "INF"},
        {-std::numeric_limits<double>::infinity(), ".", "-INF"},
        {std::numeric_limits<double>::quiet_NaN(), ".", "NAN"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(generalNumberText(c.value, QString::fromUtf8(c.separator)).toStdString(), c.text);
    }
}

TEST(roundHalfEven, TakesHalvesToTheEvenNeighbour) {
    const struct {
        double value;
        double rounded;
    } cases[] = {
        {74.5, 74},
        {223.5, 224},
        {1562.5, 1562},
        {2.5, 2},
        {3.5, 4},
        {-2.5, -2},
        {-3.5, -4},
        {0.5, 0},
        {-0.5, 0},
        {15557.69230769231, 15558},
        {-777.8846153846154, -778},
        // Just beside a half: no tie.
        {0.49999999999999994, 0},
        {-0.5000000000000001, -1},
        {1.4999999999999998, 1},
        {4503599627370497.0, 4503599627370497.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(roundHalfEven(c.value), c.rounded);
    }
    EXPECT_TRUE(std::isinf(roundHalfEven(std::numeric_limits<double>::infinity())));
    EXPECT_TRUE(std::isnan(roundHalfEven(std::numeric_limits<double>::quiet_NaN())));
}

TEST(roundHalfEvenToInt32, ChecksTheThirtyTwoBitRange) {
    EXPECT_EQ(roundHalfEvenToInt32(2147483647.0), 2147483647);
    EXPECT_EQ(roundHalfEvenToInt32(2147483647.4), 2147483647);
    // The tie below the range rounds to the even bound and fits.
    EXPECT_EQ(roundHalfEvenToInt32(-2147483648.5), -2147483647 - 1);
    EXPECT_EQ(roundHalfEvenToInt32(-777.88), -778);

    const double outside[] = {
        2147483647.5, // rounds to 2147483648
        2147483648.0,
        -2147483649.0,
        1e300,
        std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN(),
    };
    for (double value : outside) {
        SCOPED_TRACE(value);
        EXPECT_EQ(errorOf([&] { roundHalfEvenToInt32(value); }), "範囲チェックエラー");
    }
}

} // namespace
