// What a kind read from a rules file makes of a statement: its rows, the entries it leaves out,
// and what its recogniser says, which must agree with the rows.
#include "rules/RulesKind.h"

#include "RecognisedWhileConverting.h"

#include "support/Notation.h"
#include "support/QtText.h"
#include "text/LineModel.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tallemo;
using namespace tallemo::rules;
using namespace tallemo::testing_support;

namespace {

// A kind of id "x" from the rules file's entry and row (id and caption are added).
StatementKind kindFrom(const char* rules) {
    const QByteArray file = QByteArrayLiteral("id = 'x'\ncaption = 'X'\n") + rules;
    RulesKindOrProblem read = readRulesKind(QStringLiteral("/kinds/x.toml"), file, {});
    if (const auto* problem = std::get_if<RulesProblem>(&read)) {
        ADD_FAILURE() << problem->toString().toStdString();
        return {};
    }
    return std::get<StatementKind>(std::move(read));
}

struct EngineCase {
    const char* name;
    const char* rules;
    std::vector<const char*> lines; // in the notation: → TAB
    std::vector<const char*> rows;
    int unreadableAmounts = 0;
    int unreadableDates = 0;
};

void PrintTo(const EngineCase& c, std::ostream* os) {
    *os << c.name;
}

const char* const kBlock = R"(
skip-blank-lines = true
entry = [
    '■利用日: (?P<date>.+)',
    '■利用先: (?P<shop>.+)',
    { line = '■利用者: .*', optional = true },
    '■利用金額: (?P<amount>.+)',
]
row = ['{date|date}', '{shop|trim}', '', '', '{amount|yen}']
)";

const char* const kOneLine = R"(
entry = ['(?P<date>\d{4}/\d{1,2}/\d{1,2})  +(?P<shop>.+?)  +(?P<amount>[-0-9,]+)円']
row = ['{date|date}', '{shop}', '', '', '{amount|yen}']
)";

// Labels that may have their value on the same line or on the line below.
const char* const kLabelAndValue = R"(
skip-blank-lines = true
entry = [
    { line = '[ \x{3000}]*■日時:?', value = '(?P<date>[0-9].*)' },
    { line = '[ \x{3000}]*■金額:?', value = '(?P<amount>[^■].*)' },
    { line = '[ \x{3000}]*■店:?', value = '(?P<shop>[^■].*)' },
]
row = ['{date|date}', '{shop}', '{amount|yen}']
)";

const std::vector<EngineCase>& engineCases() {
    static const std::vector<EngineCase> cases = {
        {"one line per entry, headers and footers give nothing",
         kOneLine,
         {"ご利用明細", "2024/11/03␣␣SHOP A␣␣1,500円", "2024/11/04␣␣␣ショップ␣B␣␣␣-980円",
          "合計␣␣520円"},
         {"2024/11/03→SHOP A→→→1500", "2024/11/04→ショップ B→→→-980"}},
        {"a block with an optional line present and left out, blank lines inside skipped",
         kBlock,
         {"■利用日: 2024/11/03", "■利用先: SHOP A", "■利用者: 本人", "■利用金額: 1,500 円", "",
          "■利用日: 2024/11/04", "", "■利用先:  SHOP B ", "■利用金額: 800 円"},
         {"2024/11/03→SHOP A→→→1500", "2024/11/04→SHOP B→→→800"}},
        {"an entry cut off by the end of the text gives nothing",
         kBlock,
         {"■利用日: 2024/11/03", "■利用先: SHOP A", "■利用金額: 1,500 円", "■利用日: 2024/11/04",
          "■利用先: SHOP B"},
         {"2024/11/03→SHOP A→→→1500"}},
        {"an interrupted candidate gives way to the entry that starts inside it",
         kBlock,
         {"■利用日: 2024/11/01", "■利用日: 2024/11/03", "■利用先: SHOP A", "■利用金額: 1,500 円"},
         {"2024/11/03→SHOP A→→→1500"}},
        {"entries whose amount or date cannot be read give no row and are counted",
         kBlock,
         {"■利用日: 2024/11/03", "■利用先: SHOP A", "■利用金額: 12.50 USD", "■利用日: 11/04",
          "■利用先: SHOP B", "■利用金額: 800 円", "■利用日: 2024/11/05", "■利用先: SHOP C",
          "■利用金額: 700 円"},
         {"2024/11/05→SHOP C→→→700"},
         1,
         1},
        {"without skip-blank-lines a blank line ends the candidate",
         R"(
entry = ['Date: (?P<date>.+)', 'Amount: (?P<amount>.+)']
row = ['{date|date}', '{amount|neg}']
)",
         {"Date: 2024/11/03", "", "Amount: 100", "Date: 2024/11/04", "Amount: 200"},
         {"2024/11/04→-200"}},
        {"literal text around fields, braces, and TABs in a value become spaces",
         R"(
entry = ['(?P<shop>.+)=(?P<amount>\d+)']
row = ['{{{shop}}} (card)', '{amount|yen}円']
)",
         {"A→B=100"},
         {"{A B} (card)→100円"}},
        {"a cell takes the first of its fields that holds an amount other than zero",
         R"(
entry = ['(?P<date>\S+) (?P<out>\S*) (?P<in>\S*)']
row = ['{date|date}', '{out|yen; in|yen|neg}']
)",
         {"2024/11/03 1,000␣", "2024/11/04 - 500", "2024/11/05 0 2,000", "2024/11/06␣␣",
          "2024/11/07 abc 100"},
         {"2024/11/03→1000", "2024/11/04→-500", "2024/11/05→-2000"},
         2},
        {"a value after its label or on the next line, blank lines and indentation between",
         kLabelAndValue,
         {"■日時: 2024/11/03", "■金額: 1,500円", "■店", "", "␣␣SHOP A", "", "　■日時",
          "　2024/11/04", "■金額", "　　800円", "■店: SHOP B"},
         {"2024/11/03→SHOP A→1500", "2024/11/04→SHOP B→800"}},
        {"a label whose next line is no value takes nothing, not even the next label",
         kLabelAndValue,
         {"■日時", "■金額: 100円", "■店: X", "■日時: 2024/11/05", "■金額", "■店: Y",
          "■日時: 2024/11/06", "■金額: 300円", "■店: Z"},
         {"2024/11/06→Z→300"}},
        {"groups whose first match leaves a rest that does not match are found in the whole line",
         R"(
entry = ['(?P<date>\d{4}/\d{1,2}/\d{1,2})  +(?P<shop>.+?)  +(?P<amount>[-0-9,]+)円(?:｜.*)?']
row = ['{date|date}', '{shop}', '', '', '{amount|yen}']
)",
         {"2024/11/03␣␣SHOP␣␣12␣␣1,500円｜支払月", "2024/11/04␣␣(A)␣␣30円", "2024/11/05␣␣B␣␣7円x"},
         {"2024/11/03→SHOP␣␣12→→→1500", "2024/11/04→(A)→→→30"}},
        {"a pattern that cannot be cut after its last group: a | at the top, a quantifier after it",
         R"(
entry = ['(?P<shop>[^|)]+)\) (?P<amount>\d+)円|(?P<other>-)', '(?:(?P<n>\d)[.])+ *end']
row = ['{shop}', '{amount}', '{n}']
)",
         {"A(1) 20円", "1.2.3. end", "-", "4. end"},
         {"A(1→20→3", "→→4"}},
        {"a line longer than the built-in kinds read is read whole",
         R"(
entry = ['(?P<shop>x+)!(?P<amount>\d+)']
row = ['{amount}']
)",
         {"xxxxxxxx!1"},
         {"1"}},
    };
    return cases;
}

class RulesEngine : public testing::TestWithParam<EngineCase> {};

TEST_P(RulesEngine, GivesTheRowsOfEveryReadableEntryAndCountsTheRest) {
    const EngineCase& c = GetParam();
    const StatementKind kind = kindFrom(c.rules);
    ASSERT_TRUE(kind.engine);
    QString text = notation::textOf(c.lines);
    if (QString::fromUtf8(c.name).startsWith(u"a line longer"))
        text.replace(QStringLiteral("xxxxxxxx"), QString(5000, u'x'));
    LineModel Lines(text);
    std::vector<SkippedEntry> skipped;
    ConvertContext context;
    context.skipped = &skipped;

    const Recognition recognition = kind.recognise(Lines);
    expectRecognisedWhileConverting(kind, text, recognition);
    const std::optional<OutputList> rows = kind.convert(Lines, context);

    const QString expected = notation::rowsOf(c.rows);
    ASSERT_EQ(rows.has_value(), !c.rows.empty());
    if (rows) {
        EXPECT_EQ(rows->text(), expected);
        EXPECT_EQ(Lines.text(), expected) << "the text area becomes the rows";
    }
    int amounts = 0;
    int dates = 0;
    for (const SkippedEntry& entry : skipped)
        ++(entry.reason == SkipReason::UnreadableDate ? dates : amounts);
    EXPECT_EQ(amounts, c.unreadableAmounts);
    EXPECT_EQ(dates, c.unreadableDates);
    EXPECT_EQ(recognition.wellFormed, static_cast<int>(c.rows.size()));
    EXPECT_EQ(recognition.entries,
              static_cast<int>(c.rows.size()) + c.unreadableAmounts + c.unreadableDates);
}

INSTANTIATE_TEST_SUITE_P(Cases, RulesEngine, testing::ValuesIn(engineCases()),
                         [](const testing::TestParamInfo<EngineCase>& param) {
                             return "case" + std::to_string(param.index);
                         });

TEST(RulesEngineText, StaysAsItWasWhenNoEntryGivesARow) {
    const StatementKind kind = kindFrom(kBlock);
    const QString text = notation::textOf({"■利用日: 2024/11/03", "■利用先: A", "■利用金額: ?"});
    LineModel Lines(text);
    EXPECT_FALSE(kind.convert(Lines, ConvertContext{}).has_value());
    EXPECT_EQ(Lines.text(), text);
}

// `check` hints at the patterns whose groups RE2 must find by going back: a lazy repetition, or
// a ".*" with more pattern after it, before the last group a cell takes.
TEST(RulesScan, HintsAtPatternsWhoseGroupsAreFoundByGoingBack) {
    struct Case {
        const char* rules;
        bool hinted;
    };
    for (const Case& c : {
             Case{"entry = ['(?P<shop>.+?)  +(?P<amount>\\d+)円']\nrow = ['{shop}', '{amount}']",
                  true},
             Case{"entry = ['(?P<shop>.*)=(?P<amount>\\d+)']\nrow = ['{shop}', '{amount}']", true},
             // Only up to the last group a cell takes counts: the rest is cut off.
             Case{"entry = ['(?P<shop>[^=]+)=(?P<amount>\\d+) .*']\nrow = ['{shop}', '{amount}']",
                  false},
             Case{"entry = ['(?P<date>\\d+) (?P<note>.*?)!']\nrow = ['{date}']", false},
             // A ".*" that ends the pattern takes the rest of the line.
             Case{"entry = ['■日: (?P<date>.*)']\nrow = ['{date}']", false},
             // "*?" inside a class is no repetition.
             Case{"entry = ['(?P<shop>[*?]+)=(?P<amount>\\d+)']\nrow = ['{shop}', '{amount}']",
                  false},
         }) {
        const StatementKind kind = kindFrom(c.rules);
        ASSERT_TRUE(kind.engine) << c.rules;
        const RulesScan scan = scanWithRules(kind, LineModel(QString()));
        EXPECT_EQ(!scan.hints.isEmpty(), c.hinted) << c.rules;
    }
}

// A group of words with blanks between them, as few as what follows allows, is found by RE2's
// DFA piece by piece rather than by its backtracker. The groups must be the backtracker's: each
// pattern is matched again with its words group wrapped in a group of its own, which keeps it
// from being taken apart, and both must give the same entries, cells and near misses.
TEST(RulesScan, AGroupOfWordsFoundPieceByPieceIsTheGroupTheBacktrackerFinds) {
    struct Case {
        const char* entry; // with WORDS for the group of words
        const char* words;
        const char* row;
        std::vector<const char*> lines; // in the notation: → TAB, ␣ space
    };
    const std::vector<const char*> mail = {
        "2024/11/03␣␣SHOP␣␣NAME␣␣1,500円｜␣支払月",
        "2024/11/03␣␣SHOP␣␣12␣␣1,500円",
        "2024/11/03␣␣A␣␣B␣␣C␣␣1円␣␣2円",
        "2024/11/03␣␣A␣-␣␣¥␣100円",
        "2024/11/03␣␣A␣␣-␣␣¥␣␣100円",
        "␣2024/11/03␣12:34␣␣SHOP␣␣100円",
        "2024/11/03␣␣SHOP→→X␣␣100円｜x",
        "2024/11/03␣␣¥␣␣100円",
        "2024/11/03␣␣␣␣100円",
        "2024/11/03　　コンビニ　渋谷店　　-500円",
        "2024/11/03␣␣A␣␣␣B␣␣␣␣␣7␣␣8円",
        "2024/11/03␣␣x␣␣1,000",
        "2024/11/03␣␣␣␣",
        "note␣␣A␣␣1円",
    };
    for (const Case& c : {
             Case{R"([ ]*(?P<date>\d{4}/\d{1,2}/\d{1,2})(?:[T ]+\d{1,2}:\d{2})?[\t 　]{2,}WORDS)"
                  R"([\t 　]{2,}(?P<amount>(?:-[ ]*)?(?:¥[ ]*)?\d[\d,]*)[ ]*円[ ]*(?:[｜|].*)?)",
                  R"((?P<shop>[^\t 　]+(?:[\t 　]+[^\t 　]+)*?))",
                  "['{date|date}', '{shop}', '{amount|yen}']", mail},
             // Exactly two blanks after the group: what follows may also begin inside a run.
             Case{R"((?P<date>\S+)  WORDS[ ]{2}(?P<amount>\d+)(?: .*)?)",
                  R"((?P<shop>[^ ]+(?:[ ]+[^ ]+)*?))",
                  "['{date}', '{shop}', '{amount}']",
                  {"d␣␣A␣␣␣5", "d␣␣A␣B␣␣12␣x", "d␣␣A␣␣␣B␣␣7", "d␣␣A␣␣1␣␣2", "d␣␣A␣␣␣␣9"}},
             // The group first, commas for blanks, and a group after it that no cell takes.
             Case{R"(WORDS[,]{2,}(?P<amount>\d+)(?P<unit>[a-z]*)(?:,.*)?)",
                  R"((?P<shop>[^,]+(?:[,]+[^,]+)*?))",
                  "['{shop}', '{amount}']",
                  {"a,,1", "a,b,,2,,x", "a,,b,,3y", ",,4", "a,,,5,,,6z", "a,b"}},
         }) {
        const auto rulesWith = [&](const std::string& words) {
            std::string entry = c.entry;
            entry.replace(entry.find("WORDS"), 5, words);
            return "entry = ['''" + entry + "''']\nrow = " + c.row + "\n";
        };
        const std::string pieces = rulesWith(c.words);
        const std::string whole = rulesWith(std::string("(?:") + c.words + ")");
        const StatementKind byPieces = kindFrom(pieces.c_str());
        const StatementKind byBacktracking = kindFrom(whole.c_str());
        ASSERT_TRUE(byPieces.engine && byBacktracking.engine) << pieces;
        const LineModel Lines(notation::textOf(c.lines));
        const RulesScan found = scanWithRules(byPieces, Lines);
        const RulesScan expected = scanWithRules(byBacktracking, Lines);
        // Taken apart, the pattern needs no going back, and says so by giving no hint.
        EXPECT_TRUE(found.hints.isEmpty()) << pieces;
        EXPECT_FALSE(expected.hints.isEmpty()) << whole;
        ASSERT_EQ(found.entries.size(), expected.entries.size()) << pieces;
        for (std::size_t k = 0; k < found.entries.size(); ++k) {
            EXPECT_EQ(found.entries[k].firstLine, expected.entries[k].firstLine) << pieces;
            EXPECT_EQ(found.entries[k].cells, expected.entries[k].cells)
                << pieces << " line " << found.entries[k].firstLine;
            EXPECT_EQ(found.entries[k].skipped, expected.entries[k].skipped) << pieces;
        }
        EXPECT_EQ(found.nearMisses.size(), expected.nearMisses.size()) << pieces;
    }
}

TEST(RulesScan, NamesTheLinesThatBeginNoEntryAndWhyEntriesGaveNoRow) {
    const StatementKind kind = kindFrom(kBlock);
    const LineModel Lines(
        notation::textOf({"■利用日: 2024/11/01", "その他", "■利用日: 2024/11/03", "■利用先: A",
                          "■利用金額: 1 円", "■利用日: 2024/11/04", "■利用先: B", "■利用金額: x"}));
    const RulesScan scan = scanWithRules(kind, Lines);
    ASSERT_EQ(scan.nearMisses.size(), 1U);
    EXPECT_EQ(scan.nearMisses[0].line, 0);
    EXPECT_EQ(nearMissText(scan.nearMisses[0], Lines),
              QStringLiteral("1 行目「■利用日: 2024/11/01」は明細の始まりに見えましたが、2 行目"
                             "「その他」が書式の 2 行目のパターンに合いません"));
    ASSERT_EQ(scan.entries.size(), 2U);
    EXPECT_EQ(scan.entries[0].firstLine, 2);
    EXPECT_EQ(scan.entries[0].lastLine, 4);
    EXPECT_EQ(scan.entries[0].cells, (QStringList{"2024/11/03", "A", "", "", "1"}));
    EXPECT_EQ(scan.entries[1].firstLine, 5);
    EXPECT_EQ(scan.entries[1].skipped, SkipReason::UnreadableAmount);
}

// A one-line kind's failing line matches no first line, so only its own looks-like pattern can
// tell that it looked like an entry; lines inside entries and other lines are no near misses.
TEST(RulesScan, ALooksLikePatternNamesTheLinesOfAOneLineKindThatFailLaterOn) {
    const char* const rules = R"(
looks-like = '^[0-9]{4}/'
entry = ['(?P<date>[0-9]{4}/[0-9/]+)  (?P<shop>.+)（買物）  (?P<amount>[0-9,]+)円']
row = ['{date|date}', '{shop}', '{amount|yen}']
)";
    const StatementKind kind = kindFrom(rules);
    ASSERT_TRUE(kind.engine);
    const LineModel Lines(notation::textOf({"ご利用明細 2024/11", "2024/11/03␣␣A（買物）␣␣100円",
                                            "2024/11/04␣␣B（サービス）␣␣200円", "合計␣␣300円"}));
    const RulesScan scan = scanWithRules(kind, Lines);
    EXPECT_EQ(scan.entries.size(), 1U);
    ASSERT_EQ(scan.nearMisses.size(), 1U);
    EXPECT_EQ(
        nearMissText(scan.nearMisses[0], Lines),
        QStringLiteral("3 行目「2024/11/04  B（サービス）  200円」は明細の始まりに見えましたが、"
                       "書式の 1 行目のパターンに合いません"));
}

TEST(RulesRecognition, CoverageWeighsAKindThatFitsAFewLinesBelowOneThatFitsTheText) {
    // Both kinds read every entry they find; the narrow one finds only the totals line.
    const StatementKind whole = kindFrom(kOneLine);
    const StatementKind narrow = kindFrom(R"(
entry = ['合計  (?P<amount>.+)円']
row = ['{amount|yen}']
)");
    const LineModel Lines(notation::textOf(
        {"2024/11/03␣␣SHOP A␣␣1,500円", "2024/11/04␣␣SHOP B␣␣980円", "合計␣␣2,480円"}));
    const Recognition wide = whole.recognise(Lines);
    const Recognition few = narrow.recognise(Lines);
    EXPECT_TRUE(wide.looksRight());
    EXPECT_TRUE(few.looksRight());
    EXPECT_DOUBLE_EQ(wide.coverage, 2.0 / 3.0);
    EXPECT_GT(wide.confidence(), few.confidence());
}

} // namespace
