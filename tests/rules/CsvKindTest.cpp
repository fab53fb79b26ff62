// Rules files of comma-separated lines: the header that names the columns, columns by number,
// lines that are no entry, the first of several amount columns, recognition and `check`.
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

RulesKindOrProblem readKind(const char* rules) {
    const QByteArray file = QByteArrayLiteral("id = 'x'\ncaption = 'X'\nformat = 'csv'\n") + rules;
    return readRulesKind(QStringLiteral("/kinds/x.toml"), file, {});
}

StatementKind csvKindFrom(const char* rules) {
    RulesKindOrProblem read = readKind(rules);
    if (const auto* problem = std::get_if<RulesProblem>(&read)) {
        ADD_FAILURE() << problem->toString().toStdString();
        return {};
    }
    return std::get<StatementKind>(std::move(read));
}

const char* const kByName = R"(
header = '"?利用日"?,.*'
row = ['{利用日|date}', '{利用店名}', '', '', '{利用金額|yen}']
)";

const char* const kByNumber = R"(
row = ['{1|date}', '{2}', '', '', '{3|yen}']
)";

struct CsvCase {
    const char* name;
    const char* rules;
    std::vector<const char*> lines;
    std::vector<const char*> rows;
    int unreadable = 0;
};

TEST(CsvKind, GivesTheRowsOfItsEntriesAndCountsTheUnreadable) {
    const CsvCase cases[] = {
        {"quoted fields with commas and doubled quotes, the columns by the header's names",
         kByName,
         {"\"利用日\",\"利用店名\",\"利用者\",\"利用金額\"",
          "\"2024/07/03\",\"ｶｰﾄﾞ, \"\"A\"\"\",\"本人\",\"1,500\"", "2024/07/04,SHOP,本人,-300"},
         {"2024/07/03→ｶｰﾄﾞ, \"A\"→→→1500", "2024/07/04→SHOP→→→-300"}},
        {"the header may come after other lines; what stands before it is not the file's",
         kByName,
         {"カード会員 様", "2024/01/01,x,y,1", "利用日,利用店名,利用金額", "2024/07/03,A,100"},
         {"2024/07/03→A→→→100"}},
        {"a line break inside quotes: the cell gets a space",
         kByName,
         {"利用日,利用店名,利用金額", "2024/07/03,\"two", "lines\",100", "2024/07/04,B,200"},
         {"2024/07/03→two lines→→→100", "2024/07/04→B→→→200"}},
        {"a date field without a digit is no entry: holder, foreign amount and total lines",
         kByName,
         {"利用日,利用店名,利用金額", "2024/07/03,SHOP,1500", ",現地利用額 10.00 USD,", ",,1500",
          "合計,,1500"},
         {"2024/07/03→SHOP→→→1500"}},
        {"an unreadable date or amount in an entry is counted",
         kByName,
         {"利用日,利用店名,利用金額", "07/03,A,100", "2024/07/04,B,1.5", "2024/07/05,C,3"},
         {"2024/07/05→C→→→3"},
         2},
        {"a later header maps the columns again (the other shape of the same file)",
         kByName,
         {"利用日,利用店名,利用金額", "2024/07/03,A,100", "利用日,利用者,利用店名,利用金額",
          "2024/08/01,本人,B,200"},
         {"2024/07/03→A→→→100", "2024/08/01→B→→→200"}},
        {"no header: columns by number; a holder line and a total line give nothing",
         kByNumber,
         {"山田 様,****-****-****-1234,ＶＩＳＡ", "2024/07/03,ＳＨＯＰ,1500,１,１,1500,",
          ",,,,,1500"},
         {"2024/07/03→ＳＨＯＰ→→→1500"}},
        {"a quote that never closes ends with its line; the rest is read",
         kByNumber,
         {"2024/07/03,\"open,100", "2024/07/04,B,200"},
         {"2024/07/04→B→→→200"},
         1},
        {"the first of several fields holding an amount: money out, else money in",
         R"(
row = ['{1|date}', '{2}', '{3|yen; 4|yen|neg}']
)",
         {"2024/07/01,出金,1000,", "2024/07/02,入金,,2000", "2024/07/03,入金,-,3000",
          "2024/07/04,入金,0,400", "2024/07/05,なし,,", "2024/07/06,両方,5,6"},
         {"2024/07/01→出金→1000", "2024/07/02→入金→-2000", "2024/07/03→入金→-3000",
          "2024/07/04→入金→-400", "2024/07/06→両方→5"},
         1},
    };
    for (const CsvCase& c : cases) {
        SCOPED_TRACE(c.name);
        const StatementKind kind = csvKindFrom(c.rules);
        ASSERT_TRUE(kind.engine);
        LineModel Lines(notation::textOf(c.lines));
        std::vector<SkippedEntry> skipped;
        ConvertContext context;
        context.skipped = &skipped;
        const Recognition recognition = kind.recognise(Lines);
        expectRecognisedWhileConverting(kind, notation::textOf(c.lines), recognition);
        const std::optional<OutputList> rows = kind.convert(Lines, context);
        ASSERT_TRUE(rows.has_value());
        EXPECT_EQ(rows->text(), notation::rowsOf(c.rows));
        EXPECT_EQ(static_cast<int>(skipped.size()), c.unreadable);
        EXPECT_EQ(recognition.entries, static_cast<int>(c.rows.size()) + c.unreadable);
        EXPECT_EQ(recognition.wellFormed, static_cast<int>(c.rows.size()));
    }
}

TEST(CsvKind, RecognisesItsHeaderOrTheShareOfLinesThatParse) {
    const StatementKind named = csvKindFrom(kByName);
    const StatementKind numbered = csvKindFrom(kByNumber);
    const LineModel withHeader(
        notation::textOf({"利用日,利用店名,利用金額", "2024/07/03,A,100", ",,100"}));
    EXPECT_TRUE(named.recognise(withHeader).looksRight());
    EXPECT_DOUBLE_EQ(named.recognise(withHeader).coverage, 1.0);

    // The same rows without the header: the named kind has not seen its file.
    const LineModel headless(notation::textOf({"2024/07/03,A,100", "note", "2024/07/04,B,200"}));
    EXPECT_EQ(named.recognise(headless).entries, 0);
    const Recognition byNumber = numbered.recognise(headless);
    EXPECT_TRUE(byNumber.looksRight());
    EXPECT_DOUBLE_EQ(byNumber.coverage, 2.0 / 3.0);

    // A pasted web page's TAB-separated lines are no comma-separated file.
    const LineModel tabs(notation::textOf({"2024/07/03→SHOP→1,500", "2024/07/04→SHOP→300"}));
    EXPECT_FALSE(numbered.recognise(tabs).looksRight());
    EXPECT_FALSE(named.recognise(tabs).looksRight());

    for (const LineModel* text : {&withHeader, &headless, &tabs}) {
        for (const StatementKind* kind : {&named, &numbered})
            expectRecognisedWhileConverting(*kind, text->text(), kind->recognise(*text));
    }
}

TEST(CsvKind, CheckListsTheRowsAndTheEntriesWithout) {
    const StatementKind kind = csvKindFrom(kByNumber);
    const LineModel Lines(notation::textOf({"x 様,1,2", "2024/07/03,A,100", "2024/07/04,B,?"}));
    const RulesScan scan = scanWithRules(kind, Lines);
    ASSERT_EQ(scan.entries.size(), 2U);
    EXPECT_EQ(scan.entries[0].cells, (QStringList{"2024/07/03", "A", "", "", "100"}));
    EXPECT_EQ(scan.entries[1].firstLine, 2);
    EXPECT_EQ(scan.entries[1].skipped, SkipReason::UnreadableAmount);
}

TEST(CsvKind, BrokenFilesSayWhatIsWrongAndWhere) {
    struct Case {
        const char* rules;
        int line;
        const char* text;
    };
    const Case cases[] = {
        {"row = ['{利用日}']\n", 4, "見出しの行（header）がないので、列「利用日」は番号で書きます"},
        {"row = ['{0}']\n", 4, "列の番号は 1 から数えます（「0」）"},
        {"header = '('\nrow = ['{1}']\n", 4, "パターンを読めません: missing ): ("},
        {"entry = ['x']\nrow = ['{1}']\n", 4, "entry は format = 'csv' の書式では使いません"},
        {"row = ['{1|nope}']\n", 4,
         "知らないフィルター「nope」です（使えるのは yen, date, width, trim, neg）"},
    };
    for (const Case& c : cases) {
        const RulesKindOrProblem read = readKind(c.rules);
        ASSERT_TRUE(std::holds_alternative<RulesProblem>(read)) << c.rules;
        EXPECT_EQ(std::get<RulesProblem>(read).line, c.line) << c.rules;
        EXPECT_EQ(std::get<RulesProblem>(read).text, u8(c.text)) << c.rules;
    }
    const QByteArray lines = "id = 'x'\ncaption = 'X'\nheader = 'a'\nentry = ['x']\nrow = ['']\n";
    const RulesKindOrProblem read = readRulesKind(QStringLiteral("/kinds/x.toml"), lines, {});
    ASSERT_TRUE(std::holds_alternative<RulesProblem>(read));
    EXPECT_EQ(std::get<RulesProblem>(read).text, u8("header は format = 'csv' の書式で使います"));
}

} // namespace
