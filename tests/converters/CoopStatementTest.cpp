#include "converters/CoopStatement.h"
#include "text/Clipboard.h"
#include "text/LineModel.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>

namespace tallemo {
namespace {

// Samples are written as the statement shows them: → is a TAB, ␣ a space, \n a CR LF.
QString sample(std::u16string_view s) {
    QString out = QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
    out.replace(u'→', u'\t');
    out.replace(u'␣', u' ');
    out.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return out;
}

struct CoopCase {
    const char* name;
    std::u16string_view input;
    bool hoken;
    std::u16string_view area;
    std::u16string_view clipboard;
};

const CoopCase kCoopCases[] = {
    {"WorkedExample",
     u"STATEMENT\n2024/12/05→MILK→1,280␣円\n2024/12/12→BREAD→640␣円\nTOTAL→1,920␣円", false,
     u"STATEMENT\n2024/12/05→MILK→→→1,280\n2024/12/12→BREAD→→→640\nTOTAL→1,920␣円",
     u"2024/12/05→MILK→→→1,280\n2024/12/12→BREAD→→→640\n"},
    {"WorkedExampleHoken",
     u"STATEMENT\n2024/12/05→MILK→1,280␣円\n2024/12/12→BREAD→640␣円\nTOTAL→1,920␣円", true,
     u"STATEMENT\n2024/12/05→MILK→→→1,280→保険\n2024/12/12→BREAD→→→640→保険\nTOTAL→1,920␣円",
     u"2024/12/05→MILK→→→1,280→保険\n2024/12/12→BREAD→→→640→保険\n"},
    {"EmptyText", u"", false, u"", u""},
    {"NoDateLine", u"STATEMENT\nTOTAL→1,920␣円\n", true, u"STATEMENT\nTOTAL→1,920␣円\n", u""},
    {"LeadingSpaceBeforeDate", u"␣2024/12/05→MILK→1,280␣円", true, u"␣2024/12/05→MILK→1,280␣円",
     u""},
    {"NotADateButBeginsWith20", u"2000␣POINTS→X→1␣円", false, u"2000␣POINTS→X→→→1",
     u"2000␣POINTS→X→→→1\n"},

    // Where the two empty cells go.
    {"OneTab", u"2024/12/05→1,280␣円", false, u"2024/12/05→→→1,280", u"2024/12/05→→→1,280\n"},
    {"NoTab", u"2024/12/05␣1,280␣円", false, u"→→2024/12/05␣1,280", u""},
    {"JustTwenty", u"20", false, u"→→20", u""},
    {"JustTwentyHoken", u"20", true, u"→→20→保険", u""},
    {"EmptySecondCell", u"2024/12/05→→1,280␣円", false, u"2024/12/05→→→→1,280",
     u"2024/12/05→→→→1,280\n"},
    {"CellAfterAmount", u"2024/12/05→MILK→1,280␣円→NOTE", true,
     u"2024/12/05→MILK→→→1,280→NOTE→保険", u"2024/12/05→MILK→→→1,280→NOTE→保険\n"},

    // The yen mark goes, never a digit and never a mark in the description.
    {"NoYen", u"2024/12/05→MILK→1,280", false, u"2024/12/05→MILK→→→1,280",
     u"2024/12/05→MILK→→→1,280\n"},
    {"YenRightAfterDigits", u"2024/12/05→MILK→1,280円", false, u"2024/12/05→MILK→→→1,280",
     u"2024/12/05→MILK→→→1,280\n"},
    {"YenInDescription", u"2024/12/05→SALE␣100円␣OFF→1,280␣円", false,
     u"2024/12/05→SALE␣100円␣OFF→→→1,280", u"2024/12/05→SALE␣100円␣OFF→→→1,280\n"},
    {"YenOnlyInDescription", u"2024/12/05→SALE␣100円␣OFF→1,280", false,
     u"2024/12/05→SALE␣100円␣OFF→→→1,280", u"2024/12/05→SALE␣100円␣OFF→→→1,280\n"},
    {"YenOpensAmountCell", u"2024/12/05→MILK→円", false, u"2024/12/05→MILK→→→",
     u"2024/12/05→MILK→→→\n"},
    {"FullWidthSpaceBeforeYenStays", u"2024/12/05→MILK→1,280　円", false,
     u"2024/12/05→MILK→→→1,280　", u"2024/12/05→MILK→→→1,280　\n"},
};

void PrintTo(const CoopCase& c, std::ostream* os) {
    *os << c.name;
}

class CoopStatementConvert : public testing::TestWithParam<CoopCase> {};

TEST_P(CoopStatementConvert, RewritesDateLinesAndCopiesThem) {
    const CoopCase& c = GetParam();
    LineModel lines(sample(c.input));
    MemoryClipboard clipboard(QStringLiteral("former"));

    clipboard.setText(convertCoopStatement(lines, c.hoken).text());

    EXPECT_EQ(lines.text().toStdString(), sample(c.area).toStdString());
    ASSERT_TRUE(clipboard.content().has_value());
    EXPECT_EQ(clipboard.content()->toStdString(), sample(c.clipboard).toStdString());
    EXPECT_EQ(clipboard.setCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, CoopStatementConvert, testing::ValuesIn(kCoopCases),
                         [](const testing::TestParamInfo<CoopCase>& caseInfo) {
                             return std::string(caseInfo.param.name);
                         });

// Each run adds two more empty cells and one more remark; the description's mark survives both.
TEST(CoopStatementConvertTwice, SecondRunOnTheSameText) {
    LineModel lines(
        sample(u"STATEMENT\n2024/12/05→MILK→1,280␣円\n2024/12/06→SALE␣100円␣OFF→640␣円"));
    MemoryClipboard clipboard;

    clipboard.setText(convertCoopStatement(lines, true).text());
    clipboard.setText(convertCoopStatement(lines, true).text());

    const QString rows = sample(u"2024/12/05→MILK→→→→→1,280→保険→保険\n"
                                u"2024/12/06→SALE␣100円␣OFF→→→→→640→保険→保険");
    EXPECT_EQ(lines.text().toStdString(), (sample(u"STATEMENT\n") + rows).toStdString());
    EXPECT_EQ(clipboard.content().value_or(QString()).toStdString(),
              (rows + QStringLiteral("\r\n")).toStdString());
}

} // namespace
} // namespace tallemo
