#include "rules/CellFilters.h"

#include "support/QtText.h"

#include <gtest/gtest.h>

#include <optional>

using namespace tallemo;
using namespace tallemo::rules;

namespace {

struct FilterCase {
    CellFilter filter;
    const char* value;
    std::optional<const char*> expected; // nothing: the filter cannot read the value
};

void PrintTo(const FilterCase& c, std::ostream* os) {
    *os << c.value;
}

class CellFilters : public testing::TestWithParam<FilterCase> {};

TEST_P(CellFilters, ReadWhatTheyCanAndRefuseTheRest) {
    const FilterCase& c = GetParam();
    const std::optional<QString> filtered = applyCellFilter(c.filter, QString::fromUtf8(c.value));
    if (c.expected) {
        ASSERT_TRUE(filtered.has_value());
        EXPECT_EQ(*filtered, QString::fromUtf8(*c.expected));
    } else {
        EXPECT_FALSE(filtered.has_value()) << filtered->toStdString();
    }

    // The rows are written by the filters' in-place forms, after a cell already in the row.
    if (c.filter != CellFilter::Yen && c.filter != CellFilter::Neg && c.filter != CellFilter::Date)
        return;
    const QString value = QString::fromUtf8(c.value);
    RowText row;
    row.append(u"x\t");
    const bool written = c.filter == CellFilter::Date
                             ? appendDate(row, value)
                             : appendYen(row, value, c.filter == CellFilter::Neg);
    const bool readable = c.filter == CellFilter::Date ? readsAsDate(value) : readsAsYen(value);
    EXPECT_EQ(written, c.expected.has_value());
    EXPECT_EQ(readable, c.expected.has_value());
    if (c.expected) {
        EXPECT_EQ(row.view().toString(), QStringLiteral("x\t") + QString::fromUtf8(*c.expected));
    }
}

INSTANTIATE_TEST_SUITE_P(Yen, CellFilters,
                         testing::Values(FilterCase{CellFilter::Yen, "1,500 円", "1500"},
                                         FilterCase{CellFilter::Yen, "￥１，５００", "1500"},
                                         FilterCase{CellFilter::Yen, "¥ 12,800", "12800"},
                                         FilterCase{CellFilter::Yen, "-980", "-980"},
                                         FilterCase{CellFilter::Yen, "−980円", "-980"},
                                         FilterCase{CellFilter::Yen, "－９８０", "-980"},
                                         FilterCase{CellFilter::Yen, "△300", "-300"},
                                         FilterCase{CellFilter::Yen, "▲ 1,000円", "-1000"},
                                         FilterCase{CellFilter::Yen, "1,500.00", "1500"},
                                         FilterCase{CellFilter::Yen, "007", "7"},
                                         FilterCase{CellFilter::Yen, "-0", "0"},
                                         FilterCase{CellFilter::Yen, "\t3300\u3000円 ", "3300"},
                                         FilterCase{CellFilter::Yen, "1500.5", std::nullopt},
                                         FilterCase{CellFilter::Yen, "1500.", std::nullopt},
                                         FilterCase{CellFilter::Yen, "12.50 USD", std::nullopt},
                                         FilterCase{CellFilter::Yen, "abc", std::nullopt},
                                         FilterCase{CellFilter::Yen, "", std::nullopt},
                                         FilterCase{CellFilter::Yen, "円", std::nullopt},
                                         FilterCase{CellFilter::Yen, "--5", std::nullopt},
                                         FilterCase{CellFilter::Yen, "5-", std::nullopt}));

INSTANTIATE_TEST_SUITE_P(
    Date, CellFilters,
    testing::Values(FilterCase{CellFilter::Date, "2025/7/3", "2025/07/03"},
                    FilterCase{CellFilter::Date, "2025-07-03", "2025/07/03"},
                    FilterCase{CellFilter::Date, "2025年7月3日", "2025/07/03"},
                    FilterCase{CellFilter::Date, "2025.07.03", "2025/07/03"},
                    FilterCase{CellFilter::Date, "2025/07/03 12:34", "2025/07/03"},
                    FilterCase{CellFilter::Date, "2025-07-03T12:34:56", "2025/07/03"},
                    FilterCase{CellFilter::Date, "２０２５／７／３（木）", "2025/07/03"},
                    FilterCase{CellFilter::Date, " 2024年11月3日(日) 18:25", "2024/11/03"},
                    FilterCase{CellFilter::Date, "11/03", std::nullopt},
                    FilterCase{CellFilter::Date, "2024/12", std::nullopt},
                    FilterCase{CellFilter::Date, "24/11/03", std::nullopt},
                    FilterCase{CellFilter::Date, "2025/02/30", std::nullopt},
                    FilterCase{CellFilter::Date, "2025/13/01", std::nullopt},
                    FilterCase{CellFilter::Date, "2025/07-03", std::nullopt},
                    FilterCase{CellFilter::Date, "2025/07/031", std::nullopt},
                    FilterCase{CellFilter::Date, "2025/07/03x", std::nullopt},
                    FilterCase{CellFilter::Date, "", std::nullopt}));

INSTANTIATE_TEST_SUITE_P(
    TextAndSign, CellFilters,
    testing::Values(FilterCase{CellFilter::Width, "ＳＡＭＰＬＥ　ＳＴＯＲＥ１", "SAMPLE STORE1"},
                    FilterCase{CellFilter::Width, "ｻﾝﾌﾟﾙｺｰﾋｰ", "サンプルコーヒー"},
                    FilterCase{CellFilter::Width, "サンプル堂", "サンプル堂"},
                    FilterCase{CellFilter::Trim, " \u3000 SHOP A \t", "SHOP A"},
                    FilterCase{CellFilter::Neg, "1,500円", "-1500"},
                    FilterCase{CellFilter::Neg, "-980", "980"},
                    FilterCase{CellFilter::Neg, "△300", "300"},
                    FilterCase{CellFilter::Neg, "0", "0"},
                    FilterCase{CellFilter::Neg, "12.5", std::nullopt}));

TEST(CellFilterNames, AreTheFiltersAndNothingElse) {
    for (const char* name : {"yen", "date", "width", "trim", "neg"})
        EXPECT_TRUE(cellFilterNamed(QString::fromLatin1(name)).has_value()) << name;
    for (const char* name : {"Yen", "upper", "", "yen "})
        EXPECT_FALSE(cellFilterNamed(QString::fromLatin1(name)).has_value()) << name;
    EXPECT_EQ(skipReasonOf(CellFilter::Date), SkipReason::UnreadableDate);
    EXPECT_EQ(skipReasonOf(CellFilter::Neg), SkipReason::UnreadableAmount);
}

} // namespace
