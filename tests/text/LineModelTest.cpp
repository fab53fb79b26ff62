#include "text/LineModel.h"
#include "support/Notation.h"
#include "text/OutputList.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <vector>

using tallemo::LineModel;
namespace notation = tallemo::notation;

namespace {

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
    LineModel model(notation::text(c.before));
    c.edit(model);
    EXPECT_EQ(model.text(), notation::text(c.after));
    EXPECT_EQ(model.count(), c.count);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LineModelEdits,
    testing::Values(
        EditCase{"AddToEmpty", "", [](LineModel& m) { m.add(QStringLiteral("x")); }, "x|", 1},
        EditCase{"AddToOpenLine", "a", [](LineModel& m) { m.add(QStringLiteral("x")); }, "a|x", 2},
        EditCase{"AddEmptyToEmpty", "", [](LineModel& m) { m.add({}); }, "|", 1},
        EditCase{"AddEmptyToOpenLine", "a", [](LineModel& m) { m.add({}); }, "a||", 2},
        EditCase{"AddRowsToEmpty", "", [](LineModel& m) { m.add(notation::text("r1|r2|")); },
                 "r1|r2||", 3},
        EditCase{"AddRowsToOpenLine", "a", [](LineModel& m) { m.add(notation::text("r1|r2|")); },
                 "a|r1|r2|", 3},
        EditCase{"ReplaceUncountedLastPiece", "a|",
                 [](LineModel& m) { m.setLine(1, QStringLiteral("x")); }, "a|x", 2},
        EditCase{"ReplaceBeyondDoesNothing", "a|",
                 [](LineModel& m) { m.setLine(2, QStringLiteral("x")); }, "a|", 1},
        EditCase{"ReplaceWithBreaksSplits", "a|b",
                 [](LineModel& m) { m.setLine(0, notation::text("x|y")); }, "x|y|b", 3},
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
        EXPECT_EQ(LineModel(notation::text(c.text)).count(), c.count) << c.text;
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
              notation::text("a|b|c|d|x|e||"));
    EXPECT_EQ(tallemo::normaliseLineBreaks(u"\n\r"), notation::text("||"));
    EXPECT_EQ(tallemo::normaliseLineBreaks(u""), QString());
}

// A paste's model finds its lines while it makes the breaks CR LF; it must be the model of the
// normalised text, whatever mix of breaks the paste has and wherever they fall.
TEST(LineModel, FromPastedTextIsTheModelOfTheNormalisedText) {
    const QString texts[] = {
        QString(),
        QStringLiteral("a"),
        QStringLiteral("a\r\nb\r\n"),
        QStringLiteral("a\nb\rc\r\nd\u2028e\u2029f"),
        QStringLiteral("\r\n\n\r\r\n"),
        QStringLiteral("no break until the end of a line longer than sixteen units\n"),
        QStringLiteral("crlf first\r\nthen lf\nthen crlf again\r\nand a cr at the end\r"),
        QStringLiteral("\U00020BB7\u2029\U00020BB7\r"),
    };
    for (const QString& text : texts) {
        const LineModel pasted = LineModel::fromPastedText(text);
        const LineModel normalised(tallemo::normaliseLineBreaks(text));
        EXPECT_EQ(pasted.text(), normalised.text()) << text.toStdString();
        ASSERT_EQ(pasted.count(), normalised.count()) << text.toStdString();
        EXPECT_EQ(pasted.pieceCount(), normalised.pieceCount()) << text.toStdString();
        EXPECT_EQ(tallemo::pastedLineCount(text), pasted.count()) << text.toStdString();
        for (int i = 0; i < pasted.count(); ++i)
            EXPECT_EQ(pasted.lineView(i), normalised.line(i)) << text.toStdString();
    }
}

// The line table over a plain list of pieces, one string each: what the buffer and the gap must
// never change.
class ReferenceLines {
public:
    explicit ReferenceLines(const QString& text) : m_pieces(text.split(QStringLiteral("\r\n"))) {}

    int count() const {
        return m_pieces.back().isEmpty() ? static_cast<int>(m_pieces.size()) - 1
                                         : static_cast<int>(m_pieces.size());
    }
    int pieceCount() const { return static_cast<int>(m_pieces.size()); }
    QString line(int i) const {
        return i < 0 || i >= count() ? QString() : m_pieces[i].left(LineModel::kMaxLineRead);
    }
    void setLine(int i, const QString& s) {
        if (i < 0 || i >= pieceCount())
            return;
        const QStringList parts = s.split(QStringLiteral("\r\n"));
        m_pieces[i] = parts.front();
        for (qsizetype k = 1; k < parts.size(); ++k)
            m_pieces.insert(i + k, parts[k]);
    }
    void deleteLine(int i) {
        if (i < 0 || i >= pieceCount())
            return;
        if (i == pieceCount() - 1)
            m_pieces[i].clear();
        else
            m_pieces.removeAt(i);
    }
    void add(const QString& s) {
        if (m_pieces.back().isEmpty()) {
            setLine(pieceCount() - 1, s);
            m_pieces.append(QString());
            return;
        }
        m_pieces.append(QString());
        setLine(pieceCount() - 1, s);
        if (s.isEmpty())
            m_pieces.append(QString());
    }
    QString text() const { return m_pieces.join(QStringLiteral("\r\n")); }

private:
    QStringList m_pieces;
};

// Random edits, the converters' kinds and some they never make, on the model and on the
// reference: texts that fit where the old line was and texts that do not, texts with breaks, long
// ones among them, a line of the model written back into it, lines cut at 4096 units, edits far
// apart and close together.
TEST(LineModel, RandomEditsLeaveTheTextOfAPlainListOfLines) {
    std::mt19937 random(20241103);
    const auto pick = [&random](int from, int to) {
        return std::uniform_int_distribution<int>(from, to)(random);
    };
    const QString samples[] = {
        QString(),
        QStringLiteral("x"),
        QStringLiteral("2024/11/03\tSHOP\t\t\t1,500"),
        QStringLiteral("r1\r\nr2\r\n"),
        QStringLiteral("a\r\n\r\nb"),
        QString(5000, u'w'),
        QStringLiteral("支払方法\t1回払い"),
        // Long enough with breaks to be shared rather than copied, as the rows a converter adds.
        (QString(40, u'r') + QStringLiteral("\r\n")).repeated(100),
    };
    for (int round = 0; round < 40; ++round) {
        QString start;
        const int lines = pick(0, 30);
        for (int k = 0; k < lines; ++k)
            start += samples[pick(0, 7)] + (pick(0, 3) == 0 ? QString() : QStringLiteral("\r\n"));
        LineModel model(start);
        ReferenceLines reference(start);
        for (int step = 0; step < 60; ++step) {
            const int i = pick(-1, reference.pieceCount());
            switch (pick(0, 4)) {
            case 0:
                model.deleteLine(i);
                reference.deleteLine(i);
                break;
            case 1: {
                const QString s = samples[pick(0, 7)];
                model.add(s);
                reference.add(s);
                break;
            }
            case 2: {
                // A line of the model itself, or a part of it, written over another line.
                const int from = pick(0, reference.pieceCount());
                const QStringView view = model.lineView(from);
                const QString expected = reference.line(from).left(pick(0, 40));
                model.setLine(i, view.first(expected.size()));
                reference.setLine(i, expected);
                break;
            }
            default: {
                const QString s = samples[pick(0, 7)];
                model.setLine(i, s);
                reference.setLine(i, s);
                break;
            }
            }
            ASSERT_EQ(model.text(), reference.text()) << "round " << round << ", step " << step;
            ASSERT_EQ(model.count(), reference.count());
            ASSERT_EQ(model.pieceCount(), reference.pieceCount());
            for (int k = -1; k <= reference.pieceCount(); ++k)
                ASSERT_EQ(model.lineView(k), reference.line(k)) << "line " << k;
        }
    }
}

TEST(OutputList, EndsEveryEntryWithCrLf) {
    tallemo::OutputList SL;
    EXPECT_EQ(SL.text(), QString());
    SL.add(QStringLiteral("x"));
    SL.add(QStringLiteral("y"));
    EXPECT_EQ(SL.text(), notation::text("x|y|"));
}

} // namespace
