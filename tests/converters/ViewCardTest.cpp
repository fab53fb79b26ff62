#include "converters/ViewCard.h"
#include "support/Notation.h"
#include "text/LineModel.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace tallemo {
namespace {

using notation::rowsOf;
using notation::text;

struct ViewCase {
    const char* name;
    const char* input;
    bool suica;
    std::vector<const char*> rows;
};

const ViewCase kViewCases[] = {
    {"TwoEntriesWithHeading",
     "USAGE|2024|12/01xx→CAFE→REF|1,500|2024|12/03xx→BOOKS→REF|2,300|END",
     false,
     {"2024/12/01→CAFE→→→1,500", "2024/12/03→BOOKS→→→2,300"}},
    {"TwoEntriesWithHeadingSuica",
     "USAGE|2024|12/01xx→CAFE→REF|1,500|2024|12/03xx→BOOKS→REF|2,300|END",
     true,
     {"2024/12/01→CAFE→→→1,500→Suica", "2024/12/03→BOOKS→→→2,300→Suica"}},
    // Without a line after it, the second block stands at the last three lines.
    {"TwoEntriesWithoutEndLine",
     "USAGE|2024|12/01xx→CAFE→REF|1,500|2024|12/03xx→BOOKS→REF|2,300",
     false,
     {"2024/12/01→CAFE→→→1,500"}},
    {"EmptyText", "", false, {}},
    {"FewerThanFourLines", "2024|12/01xx→CAFE→REF|1,500", false, {}},
    // The final CR LF adds no counted line; an empty line after it does.
    {"BlockAtLastThreeLinesWithFinalBreak", "2024|12/01xx→CAFE→REF|1,500|", false, {}},
    {"BlockFollowedByEmptyLine",
     "2024|12/01xx→CAFE→REF|1,500||",
     false,
     {"2024/12/01→CAFE→→→1,500"}},
    {"ExactlyFourLinesYearFirst",
     "2024|12/01xx→CAFE→REF|1,500|END",
     false,
     {"2024/12/01→CAFE→→→1,500"}},
    {"ExactlyFourLinesYearSecond", "USAGE|2024|12/01xx→CAFE→REF|1,500", false, {}},
    {"NoYearLine", "ご利用日\tご利用先|12/01\tCAFE|1,500|合計", false, {}},

    // The year line goes into the row as it stands, whatever value it reads as.
    {"YearLineNegative", "-123|12/01xx→CAFE→REF|1,500|END", false, {"-123/12/01→CAFE→→→1,500"}},
    {"YearLineHexadecimal", "$1F0|12/01xx→CAFE→REF|1,500|END", false, {"$1F0/12/01→CAFE→→→1,500"}},
    {"YearLineLeadingBlank", "␣999|12/01xx→CAFE→REF|1,500|END", false, {"␣999/12/01→CAFE→→→1,500"}},
    {"YearLineFullWidthRejected", "２０２４|12/01xx→CAFE→REF|1,500|END", false, {}},
    {"YearLineTrailingBlankRejected", "123␣|12/01xx→CAFE→REF|1,500|END", false, {}},
    {"YearLineFiveCharactersRejected", "02024|12/01xx→CAFE→REF|1,500|END", false, {}},

    // Amounts that read as a year belong to their block and start no row of their own.
    {"RefundAmountLikeAYear",
     "2024|12/01xx→CAFE→REF|-980|2024|12/02xx→SHOP→REF|700|END",
     false,
     {"2024/12/01→CAFE→→→-980", "2024/12/02→SHOP→→→700"}},
    {"AmountWithoutSeparator",
     "2024|12/01xx→CAFE→REF|1500|2024|12/02xx→SHOP→REF|700|END",
     false,
     {"2024/12/01→CAFE→→→1500", "2024/12/02→SHOP→→→700"}},

    // Malformed date lines still give a row.
    {"DateLineWithoutTabAfterDescription",
     "2024|12/01xx→CAFE|1,500|END",
     false,
     {"2024/12/01→→→1,500"}},
    {"DateLineEighthCharacterNoTab",
     "2024|12/01xxCAFE→REF|1,500|END",
     false,
     {"2024/12/01CAFE→→→1,500"}},
    {"DateLineFiveCharacters", "2024|12/01|1,500|END", false, {"2024/12/01→→1,500"}},
    {"DateLineSixCharacters", "2024|12/01x|1,500|END", false, {"2024/12/01→→1,500"}},
    {"DateLineSevenCharacters", "2024|12/01xx|1,500|END", false, {"2024/12/01→→1,500"}},
    {"DateLineEmpty", "2024||1,500|END", false, {"2024/→→1,500"}},
    {"AmountLineEmptySuica", "2024|12/01xx→CAFE→REF||END", true, {"2024/12/01→CAFE→→→→Suica"}},
    // The cut counts code units, the copy characters: a pair keeps one more unit past the TAB.
    {"SurrogatePairBeforeCut",
     "2024|12/01xx→\U0001F600AB→REF|1,500|END",
     false,
     {"2024/12/01→\U0001F600AB→R→→1,500"}},
};

void PrintTo(const ViewCase& c, std::ostream* os) {
    *os << c.name;
}

class ViewCardConvert : public testing::TestWithParam<ViewCase> {};

TEST_P(ViewCardConvert, ReplacesTheTextByTheRowsAndGivesThem) {
    const ViewCase& c = GetParam();
    LineModel lines(text(c.input));

    const OutputList rows = convertViewCard(lines, c.suica);

    const QString expected = rowsOf(c.rows);
    EXPECT_EQ(lines.text(), expected);
    EXPECT_EQ(rows.text(), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ViewCardConvert, testing::ValuesIn(kViewCases),
                         [](const testing::TestParamInfo<ViewCase>& caseInfo) {
                             return std::string(caseInfo.param.name);
                         });

TEST(ViewCardConvertTwice, SecondRunOnItsOwnOutputEmptiesEverything) {
    LineModel lines(text("2024|12/01xx→CAFE→REF|1,500|2024|12/03xx→BOOKS→REF|2,300|END"));
    (void)convertViewCard(lines, true);
    ASSERT_EQ(lines.count(), 2);
    const OutputList second = convertViewCard(lines, true);

    EXPECT_TRUE(lines.text().isEmpty());
    EXPECT_EQ(second.count(), 0);
}

} // namespace
} // namespace tallemo
