#include "converters/DomesticDividends.h"
#include "text/LineModel.h"
#include "text/Regional.h"

#include "support/Notation.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <vector>

using namespace tallemo;

namespace {

using notation::rowsOf;
using notation::textOf;

struct DomesticCase {
    const char* name;
    std::vector<const char*> before;
    std::vector<const char*> rows; // each followed by CR LF in the text area and on the clipboard
};

class DomesticDividends : public testing::TestWithParam<DomesticCase> {};

TEST_P(DomesticDividends, ReplacesTheTextByTheRowsAndGivesThem) {
    const DomesticCase& c = GetParam();
    LineModel area(textOf(c.before));

    const OutputList rows =
        convertDomesticDividends(area, Regional::fixed(QStringLiteral("2025/01/15")));

    const QString expected = rowsOf(c.rows);
    EXPECT_EQ(area.text(), expected);
    EXPECT_EQ(rows.text(), expected);
}

// The keyword lines' seven characters after the keyword: six ideographic spaces and a colon.
INSTANTIATE_TEST_SUITE_P(
    Table, DomesticDividends,
    testing::Values(
        DomesticCase{
            "TwoNoticesWithHeading",
            {"配当金のお知らせ", "銘柄名　　　　　　：サンプル工業", "数量　　　　　　　：100株",
             "入金額　　　　　　：1,500円", "銘柄名　　　　　　：見本電機",
             "入金額　　　　　　：820円"},
            {"2025/01/15→配当国内→サンプル工業→→-1,500", "2025/01/15→配当国内→見本電機→→-820"}},
        // A row is emitted only at an amount line and LOutput is empty after it.
        DomesticCase{"AmountWithoutName", {"入金額　　　　　　：500円"}, {"-500"}},
        DomesticCase{
            "SecondAmountAfterARowHasNoName",
            {"銘柄名　　　　　　：甲", "入金額　　　　　　：1円", "入金額　　　　　　：2円"},
            {"2025/01/15→配当国内→甲→→-1", "-2"}},
        DomesticCase{
            "LaterNameWins",
            {"銘柄名　　　　　　：甲", "銘柄名　　　　　　：乙", "入金額　　　　　　：3円"},
            {"2025/01/15→配当国内→乙→→-3"}},
        DomesticCase{
            "TrailingNameIsDropped",
            {"銘柄名　　　　　　：甲", "入金額　　　　　　：1円", "銘柄名　　　　　　：乙"},
            {"2025/01/15→配当国内→甲→→-1"}},
        // Cuts are positional: name from code unit 11, amount from 11 to the last but one.
        DomesticCase{
            "KeywordOnlyName", {"銘柄名", "入金額　　　　　　：1円"}, {"2025/01/15→配当国内→→→-1"}},
        DomesticCase{"TenUnitName",
                     {"銘柄名1234567", "入金額　　　　　　：1円"},
                     {"2025/01/15→配当国内→→→-1"}},
        DomesticCase{"ElevenUnitName",
                     {"銘柄名1234567X", "入金額　　　　　　：1円"},
                     {"2025/01/15→配当国内→X→→-1"}},
        DomesticCase{"ShortAmountLines",
                     {"入金額", "入金額1234567", "入金額1234567X", "入金額1234567XY"},
                     {"-", "-", "-", "-X"}},
        DomesticCase{"AmountKeptAsText",
                     {"入金額　　　　　　：１，２３４円", "入金額　　　　　　：abc円"},
                     {"-１，２３４", "-abc"}},
        DomesticCase{"KeywordNotAtTheStart",
                     {" 銘柄名　　　　　　：甲", "→入金額　　　　　　：1円", "入金",
                      "お支払入金額　　　：1円"},
                     {}},
        DomesticCase{"NoAmountLine", {"配当金のお知らせ", "銘柄名　　　　　　：甲"}, {}},
        DomesticCase{"EmptyText", {}, {}},
        // 𠮷 is a surrogate pair: m counts it as two units, AnsiLeftStr as one character, so
        // the unit that would have been dropped stays.
        DomesticCase{
            "CharacterOutsideTheBmpInTheAmount", {"入金額　　　　　　：𠮷100円"}, {"-𠮷100円"}}),
    [](const testing::TestParamInfo<DomesticCase>& p) { return p.param.name; });

} // namespace
