#include "text/LineModel.h"
#include "text/OutputList.h"

#include <gtest/gtest.h>

#include <functional>

using tallemo::LineModel;

namespace {

QString crlf(const char* text) {
    return QString::fromUtf8(text).replace(u'|', QStringLiteral("\r\n"));
}

struct EditCase {
    const char* name;
    const char* before; // '|' stands for CR LF
    std::function<void(LineModel&)> edit;
    const char* after;
    int count;
};

class LineModelEdits : public testing::TestWithParam<EditCase> {};

TEST_P(LineModelEdits, LeaveTheTextAsTheLineTableSays) {
    const EditCase& c = GetParam();
    LineModel model(crlf(c.before));
    c.edit(model);
    EXPECT_EQ(model.text(), crlf(c.after));
    EXPECT_EQ(model.count(), c.count);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LineModelEdits,
    testing::Values(
        EditCase{"AddToEmpty", "", [](LineModel& m) { m.add(QStringLiteral("x")); }, "x|", 1},
        EditCase{"AddToOpenLine", "a", [](LineModel& m) { m.add(QStringLiteral("x")); }, "a|x", 2},
        EditCase{"AddEmptyToEmpty", "", [](LineModel& m) { m.add({}); }, "|", 1},
        EditCase{"AddEmptyToOpenLine", "a", [](LineModel& m) { m.add({}); }, "a||", 2},
        EditCase{"AddRowsToEmpty", "", [](LineModel& m) { m.add(crlf("r1|r2|")); }, "r1|r2||", 3},
        EditCase{"AddRowsToOpenLine", "a", [](LineModel& m) { m.add(crlf("r1|r2|")); }, "a|r1|r2|",
                 3},
        EditCase{"ReplaceUncountedLastPiece", "a|",
                 [](LineModel& m) { m.setLine(1, QStringLiteral("x")); }, "a|x", 2},
        EditCase{"ReplaceBeyondDoesNothing", "a|",
                 [](LineModel& m) { m.setLine(2, QStringLiteral("x")); }, "a|", 1},
        EditCase{"ReplaceWithBreaksSplits", "a|b", [](LineModel& m) { m.setLine(0, crlf("x|y")); },
                 "x|y|b", 3},
        EditCase{"DeleteUncountedLastPiece", "a|", [](LineModel& m) { m.deleteLine(1); }, "a|", 1},
        EditCase{"DeleteLastLine", "a|b", [](LineModel& m) { m.deleteLine(1); }, "a|", 1},
        EditCase{"DeleteFirstLine", "a|b", [](LineModel& m) { m.deleteLine(0); }, "b", 1},
        EditCase{"DeleteBeyond", "a|b", [](LineModel& m) { m.deleteLine(5); }, "a|b", 2},
        EditCase{"DeleteNegative", "a|b", [](LineModel& m) { m.deleteLine(-1); }, "a|b", 2},
        EditCase{"DeleteOnlyLine", "a", [](LineModel& m) { m.deleteLine(0); }, "", 0},
        EditCase{"EditsAtBothEndsAfterGapMoves", "a|b|c|d",
                 [](LineModel& m) {
                     m.deleteLine(2);
                     m.setLine(0, QStringLiteral("A"));
                     m.add(QStringLiteral("e"));
                     m.deleteLine(1);
                 },
                 "A|d|e", 3}),
    [](const testing::TestParamInfo<EditCase>& param) { return param.param.name; });

TEST(LineModel, CountsLinesAsPiecesLessAnEmptyLastOne) {
    const struct {
        const char* text;
        int count;
    } cases[] = {{"", 0}, {"a", 1}, {"a|", 1}, {"a||", 2}, {"|", 1}, {"a\tb|c", 2}};
    for (const auto& c : cases)
        EXPECT_EQ(LineModel(crlf(c.text)).count(), c.count) << c.text;
}

TEST(LineModel, ReadsLinesCutAndOutOfRangeAsEmpty) {
    const QString longLine(5000, u'x');
    LineModel model(longLine + QStringLiteral("\r\na\tb"));
    EXPECT_EQ(model.line(0), QString(4096, u'x'));
    EXPECT_EQ(model.line(1), QStringLiteral("a\tb"));
    EXPECT_EQ(model.line(2), QString());
    EXPECT_EQ(model.line(-1), QString());
    // Writing has no limit: the long line stays whole in the text.
    EXPECT_EQ(model.text().size(), 5000 + 2 + 3);
    EXPECT_TRUE(LineModel().line(0).isEmpty());
}

TEST(LineModel, NormalisesEveryKindOfLineBreakToCrLf) {
    EXPECT_EQ(tallemo::normaliseLineBreaks(u"a\r\nb\rc\nd\x2028x\x2029"
                                           "e\r\n\r\n"),
              crlf("a|b|c|d|x|e||"));
    EXPECT_EQ(tallemo::normaliseLineBreaks(u"\n\r"), crlf("||"));
    EXPECT_EQ(tallemo::normaliseLineBreaks(u""), QString());
}

TEST(OutputList, EndsEveryEntryWithCrLf) {
    tallemo::OutputList SL;
    EXPECT_EQ(SL.text(), QString());
    SL.add(QStringLiteral("x"));
    SL.add(QStringLiteral("y"));
    EXPECT_EQ(SL.text(), crlf("x|y|"));
}

} // namespace
