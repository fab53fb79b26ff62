#include "converters/CardStatement.h"
#include "support/Notation.h"
#include "text/LineModel.h"

#include <gtest/gtest.h>

using namespace tallemo;

namespace {

using notation::text;

struct CardCase {
    const char* name;
    const char* before;
    const char* area; // the text afterwards
    const char* rows; // for the clipboard
};

class CardStatement : public testing::TestWithParam<CardCase> {};

// The statement of two entries between a header and a footer is a fixture
// (card/two-entries-with-heading), which the fixture test converts.
TEST_P(CardStatement, RewritesEntriesInPlaceAndGivesTheRows) {
    const CardCase& c = GetParam();
    LineModel lines(text(c.before));
    const OutputList rows = convertCardStatement(lines);
    EXPECT_EQ(lines.text(), text(c.area));
    EXPECT_EQ(rows.text(), text(c.rows));
}

INSTANTIATE_TEST_SUITE_P(
    Table, CardStatement,
    testing::Values(
        CardCase{"NoMarkerEmptiesTheClipboard", "a→b→c|d", "a→b→c|d", ""},
        CardCase{"EmptyText", "", "", ""},
        CardCase{"MarkerOnLastLine", "A→B→1 円|支払方法", "A→B→→→1|", "A→B→→→1|"},
        CardCase{"MarkerOnLastButOneLine", "A→B→1|支払方法|x", "A→B→→→1|", "A→B→→→1|"},
        CardCase{"MarkerMustStartTheLine", "A→B→1| 支払方法|x|y|→支払方法",
                 "A→B→1| 支払方法|x|y|→支払方法", ""},
        CardCase{"YenWithoutSpaceStays", "A→B 円→1,500円 円|支払方法|x|y", "A→B→→→1,500円|",
                 "A→B→→→1,500円|"},
        CardCase{"NoTabGetsThreeInFront", "SHOP 1,500|支払方法|x|y", "→→→SHOP 1,500|",
                 "→→→SHOP 1,500|"},
        CardCase{"OneTab", "2024/11/03→1,500 円|支払方法|x|y", "→→2024/11/→031,500|",
                 "→→2024/11/→031,500|"},
        CardCase{"SecondRunFindsNothing", "A→B→→→1|", "A→B→→→1|", ""},
        // The clipboard holds exactly the rows left in the text, not the lines that stand
        // between them, and none is dropped at the bottom.
        CardCase{"HeadingsBetweenEntries",
                 "2024/11/03|A→B→1|支払方法|x|y|2024/11/05|C→D→2|支払方法|x|y|TOTAL",
                 "2024/11/03|A→B→→→1|2024/11/05|C→D→→→2|TOTAL", "A→B→→→1|C→D→→→2|"},
        // A marker on the first line has no main line: its three lines go, nothing else changes.
        CardCase{"MarkerOnFirstLine", "支払方法|x|y|A→B→1|支払方法|x|y", "A→B→→→1|", "A→B→→→1|"},
        // A marker followed by fewer than two lines of its own takes the row below with it; the
        // row is then gone from the clipboard too.
        CardCase{"DeletionTakesARowBelow", "A→B→1|支払方法|C→D→2|支払方法|x|y", "A→B→→→1|",
                 "A→B→→→1|"}),
    [](const testing::TestParamInfo<CardCase>& param) { return param.param.name; });

} // namespace
