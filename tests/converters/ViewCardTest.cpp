#include "converters/ViewCard.h"
#include "text/Clipboard.h"
#include "text/LineModel.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

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

QString rowsText(const std::vector<std::u16string_view>& rows) {
    QString out;
    for (const auto row : rows)
        out += sample(row) + QStringLiteral("\r\n");
    return out;
}

struct ViewCase {
    const char* name;
    std::u16string_view input;
    bool suica;
    std::vector<std::u16string_view> rows;
};

const ViewCase kViewCases[] = {
    {"WorkedExample",
     u"USAGE\n2024\n12/01xx→CAFE→REF\n1,500\n2024\n12/03xx→BOOKS→REF\n2,300\nEND",
     false,
     {u"2024/12/01→CAFE→→→1,500", u"2024/12/03→BOOKS→→→2,300"}},
    {"WorkedExampleSuica",
     u"USAGE\n2024\n12/01xx→CAFE→REF\n1,500\n2024\n12/03xx→BOOKS→REF\n2,300\nEND",
     true,
     {u"2024/12/01→CAFE→→→1,500→Suica", u"2024/12/03→BOOKS→→→2,300→Suica"}},
    // Without a line after it, the second block stands at the last three lines.
    {"WorkedExampleWithoutEnd",
     u"USAGE\n2024\n12/01xx→CAFE→REF\n1,500\n2024\n12/03xx→BOOKS→REF\n2,300",
     false,
     {u"2024/12/01→CAFE→→→1,500"}},
    {"EmptyText", u"", false, {}},
    {"FewerThanFourLines", u"2024\n12/01xx→CAFE→REF\n1,500", false, {}},
    // The final CR LF adds no counted line; an empty line after it does.
    {"BlockAtLastThreeLinesWithFinalBreak", u"2024\n12/01xx→CAFE→REF\n1,500\n", false, {}},
    {"BlockFollowedByEmptyLine",
     u"2024\n12/01xx→CAFE→REF\n1,500\n\n",
     false,
     {u"2024/12/01→CAFE→→→1,500"}},
    {"ExactlyFourLinesYearFirst",
     u"2024\n12/01xx→CAFE→REF\n1,500\nEND",
     false,
     {u"2024/12/01→CAFE→→→1,500"}},
    {"ExactlyFourLinesYearSecond", u"USAGE\n2024\n12/01xx→CAFE→REF\n1,500", false, {}},
    {"NoYearLine", u"ご利用日\tご利用先\n12/01\tCAFE\n1,500\n合計", false, {}},

    // The year line goes into the row as it stands, whatever value it reads as.
    {"YearLineNegative",
     u"-123\n12/01xx→CAFE→REF\n1,500\nEND",
     false,
     {u"-123/12/01→CAFE→→→1,500"}},
    {"YearLineHexadecimal",
     u"$1F0\n12/01xx→CAFE→REF\n1,500\nEND",
     false,
     {u"$1F0/12/01→CAFE→→→1,500"}},
    {"YearLineLeadingBlank",
     u"␣999\n12/01xx→CAFE→REF\n1,500\nEND",
     false,
     {u"␣999/12/01→CAFE→→→1,500"}},
    {"YearLineFullWidthRejected", u"２０２４\n12/01xx→CAFE→REF\n1,500\nEND", false, {}},
    {"YearLineTrailingBlankRejected", u"123␣\n12/01xx→CAFE→REF\n1,500\nEND", false, {}},
    {"YearLineFiveCharactersRejected", u"02024\n12/01xx→CAFE→REF\n1,500\nEND", false, {}},

    // Amounts that read as a year belong to their block and start no row of their own.
    {"RefundAmountLikeAYear",
     u"2024\n12/01xx→CAFE→REF\n-980\n2024\n12/02xx→SHOP→REF\n700\nEND",
     false,
     {u"2024/12/01→CAFE→→→-980", u"2024/12/02→SHOP→→→700"}},
    {"AmountWithoutSeparator",
     u"2024\n12/01xx→CAFE→REF\n1500\n2024\n12/02xx→SHOP→REF\n700\nEND",
     false,
     {u"2024/12/01→CAFE→→→1500", u"2024/12/02→SHOP→→→700"}},

    // Malformed date lines still give a row.
    {"DateLineWithoutTabAfterDescription",
     u"2024\n12/01xx→CAFE\n1,500\nEND",
     false,
     {u"2024/12/01→→→1,500"}},
    {"DateLineEighthCharacterNoTab",
     u"2024\n12/01xxCAFE→REF\n1,500\nEND",
     false,
     {u"2024/12/01CAFE→→→1,500"}},
    {"DateLineFiveCharacters", u"2024\n12/01\n1,500\nEND", false, {u"2024/12/01→→1,500"}},
    {"DateLineSixCharacters", u"2024\n12/01x\n1,500\nEND", false, {u"2024/12/01→→1,500"}},
    {"DateLineSevenCharacters", u"2024\n12/01xx\n1,500\nEND", false, {u"2024/12/01→→1,500"}},
    {"DateLineEmpty", u"2024\n\n1,500\nEND", false, {u"2024/→→1,500"}},
    {"AmountLineEmptySuica", u"2024\n12/01xx→CAFE→REF\n\nEND", true, {u"2024/12/01→CAFE→→→→Suica"}},
    // The cut counts code units, the copy characters: a pair keeps one more unit past the TAB.
    {"SurrogatePairBeforeCut",
     u"2024\n12/01xx→\U0001F600AB→REF\n1,500\nEND",
     false,
     {u"2024/12/01→\U0001F600AB→R→→1,500"}},
};

void PrintTo(const ViewCase& c, std::ostream* os) {
    *os << c.name;
}

class ViewCardConvert : public testing::TestWithParam<ViewCase> {};

TEST_P(ViewCardConvert, ReplacesTextAndClipboardByRows) {
    const ViewCase& c = GetParam();
    LineModel lines(sample(c.input));
    MemoryClipboard clipboard(QStringLiteral("former"));

    clipboard.setText(convertViewCard(lines, c.suica).text());

    const QString expected = rowsText(c.rows);
    EXPECT_EQ(lines.text().toStdString(), expected.toStdString());
    ASSERT_TRUE(clipboard.content().has_value());
    EXPECT_EQ(clipboard.content()->toStdString(), expected.toStdString());
    EXPECT_EQ(clipboard.setCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, ViewCardConvert, testing::ValuesIn(kViewCases),
                         [](const testing::TestParamInfo<ViewCase>& caseInfo) {
                             return std::string(caseInfo.param.name);
                         });

TEST(ViewCardConvertTwice, SecondRunOnItsOwnOutputEmptiesEverything) {
    LineModel lines(sample(u"2024\n12/01xx→CAFE→REF\n1,500\n2024\n12/03xx→BOOKS→REF\n2,300\nEND"));
    MemoryClipboard clipboard;

    clipboard.setText(convertViewCard(lines, true).text());
    ASSERT_EQ(lines.count(), 2);
    clipboard.setText(convertViewCard(lines, true).text());

    EXPECT_TRUE(lines.text().isEmpty());
    EXPECT_EQ(clipboard.content(), QString());
}

} // namespace
} // namespace tallemo
