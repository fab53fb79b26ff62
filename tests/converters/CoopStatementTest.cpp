#include "converters/CoopStatement.h"
#include "support/Notation.h"
#include "text/LineModel.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace tallemo {
namespace {

using notation::text;

struct CoopCase {
    const char* name;
    const char* input;
    bool hoken;
    const char* area;
    const char* rows; // for the clipboard
};

const CoopCase kCoopCases[] = {
    {"EmptyText", "", false, "", ""},
    {"NoDateLine", "STATEMENT|TOTAL→1,920␣円|", true, "STATEMENT|TOTAL→1,920␣円|", ""},
    {"LeadingSpaceBeforeDate", "␣2024/12/05→MILK→1,280␣円", true, "␣2024/12/05→MILK→1,280␣円", ""},
    {"NotADateButBeginsWith20", "2000␣POINTS→X→1␣円", false, "2000␣POINTS→X→→→1",
     "2000␣POINTS→X→→→1|"},

    // Where the two empty cells go.
    {"OneTab", "2024/12/05→1,280␣円", false, "2024/12/05→→→1,280", "2024/12/05→→→1,280|"},
    {"NoTab", "2024/12/05␣1,280␣円", false, "→→2024/12/05␣1,280", ""},
    {"JustTwenty", "20", false, "→→20", ""},
    {"JustTwentyHoken", "20", true, "→→20→保険", ""},
    {"EmptySecondCell", "2024/12/05→→1,280␣円", false, "2024/12/05→→→→1,280",
     "2024/12/05→→→→1,280|"},
    {"CellAfterAmount", "2024/12/05→MILK→1,280␣円→NOTE", true, "2024/12/05→MILK→→→1,280→NOTE→保険",
     "2024/12/05→MILK→→→1,280→NOTE→保険|"},

    // The yen mark goes, never a digit and never a mark in the description.
    {"NoYen", "2024/12/05→MILK→1,280", false, "2024/12/05→MILK→→→1,280",
     "2024/12/05→MILK→→→1,280|"},
    {"YenRightAfterDigits", "2024/12/05→MILK→1,280円", false, "2024/12/05→MILK→→→1,280",
     "2024/12/05→MILK→→→1,280|"},
    {"YenInDescription", "2024/12/05→SALE␣100円␣OFF→1,280␣円", false,
     "2024/12/05→SALE␣100円␣OFF→→→1,280", "2024/12/05→SALE␣100円␣OFF→→→1,280|"},
    {"YenOnlyInDescription", "2024/12/05→SALE␣100円␣OFF→1,280", false,
     "2024/12/05→SALE␣100円␣OFF→→→1,280", "2024/12/05→SALE␣100円␣OFF→→→1,280|"},
    {"YenOpensAmountCell", "2024/12/05→MILK→円", false, "2024/12/05→MILK→→→",
     "2024/12/05→MILK→→→|"},
    {"FullWidthSpaceBeforeYenStays", "2024/12/05→MILK→1,280　円", false,
     "2024/12/05→MILK→→→1,280　", "2024/12/05→MILK→→→1,280　|"},
};

void PrintTo(const CoopCase& c, std::ostream* os) {
    *os << c.name;
}

class CoopStatementConvert : public testing::TestWithParam<CoopCase> {};

// The statement of two purchases and a total is a fixture (coop/two-purchases-with-total and
// its -remark twin), which the fixture test converts.
TEST_P(CoopStatementConvert, RewritesDateLinesAndGivesThem) {
    const CoopCase& c = GetParam();
    LineModel lines(text(c.input));

    const OutputList rows = convertCoopStatement(lines, c.hoken);

    EXPECT_EQ(lines.text(), text(c.area));
    EXPECT_EQ(rows.text(), text(c.rows));
}

INSTANTIATE_TEST_SUITE_P(Cases, CoopStatementConvert, testing::ValuesIn(kCoopCases),
                         [](const testing::TestParamInfo<CoopCase>& caseInfo) {
                             return std::string(caseInfo.param.name);
                         });

// Each run adds two more empty cells and one more remark; the description's mark survives both.
TEST(CoopStatementConvertTwice, SecondRunOnTheSameText) {
    LineModel lines(text("STATEMENT|2024/12/05→MILK→1,280␣円|2024/12/06→SALE␣100円␣OFF→640␣円"));
    (void)convertCoopStatement(lines, true);
    const OutputList second = convertCoopStatement(lines, true);

    const QString rows = text("2024/12/05→MILK→→→→→1,280→保険→保険|"
                              "2024/12/06→SALE␣100円␣OFF→→→→→640→保険→保険");
    EXPECT_EQ(lines.text(), (text("STATEMENT|") + rows));
    EXPECT_EQ(second.text(), (rows + QStringLiteral("\r\n")));
}

} // namespace
} // namespace tallemo
