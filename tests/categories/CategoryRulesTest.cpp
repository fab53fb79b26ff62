#include "categories/CategoryRules.h"

#include "categories/DescriptionFold.h"
#include "support/QtText.h"

#include <gtest/gtest.h>

namespace tallemo::categories {
namespace {

using testing_support::u8;

CategoryRules rulesOf(const char* text) {
    auto read = readCategoryRules(QStringLiteral("categories.toml"), QByteArray(text));
    if (auto* problem = std::get_if<rules::RulesProblem>(&read)) {
        ADD_FAILURE() << problem->toString().toStdString();
        return {};
    }
    return std::get<CategoryRules>(std::move(read));
}

TEST(CategoryRulesTest, FirstMatchingRuleForTheKindWins) {
    const CategoryRules rules = rulesOf(R"(
[[rule]]
match = 'amazon'
cells = ["日用品", "通販"]
kinds = ["view"]

[[rule]]
match = 'amazon|アマゾン'
cells = ["娯楽", "本"]

[[rule]]
match = 'books'
cells = ["教養", ""]
)");
    ASSERT_EQ(rules.size(), 3U);
    const auto cellsFor = [&](const char* kind, const char* description) {
        const auto cells = rules.match(u8(kind), foldForRules(u8(description)));
        return cells ? cells->first + u'|' + cells->second : QString();
    };
    EXPECT_EQ(cellsFor("view", "ＡＭＡＺＯＮ．ＣＯ．ＪＰ"), u8("日用品|通販"));
    EXPECT_EQ(cellsFor("card", "Amazon Books"), u8("娯楽|本"));
    EXPECT_EQ(cellsFor("card", "ｱﾏｿﾞﾝ"), u8("娯楽|本"));
    EXPECT_EQ(cellsFor("card", "BOOKS KINOKUNIYA"), u8("教養|"));
    EXPECT_EQ(cellsFor("card", "ローソン"), QString());
}

// A broken file says where and what, in Japanese, and never throws.
TEST(CategoryRulesTest, ProblemsSayLineColumnAndWhat) {
    const struct {
        const char* text;
        int line;
        int column;
        const char* says;
    } cases[] = {
        {"[[rule]]\nmatch = 'a(b'\ncells = [\"x\", \"y\"]\n", 2, 9, "パターンを読めません"},
        {"[[rule]\nmatch = 'a'\n", 1, 8, "TOML として読めません"},
        {"[[rule]]\nmatch = 'a'\ncells = [\"x\"]\n", 3, 9, "cells は 2 つの文字列"},
        {"[[rule]]\nmatch = 'a'\n", 1, 1, "cells（入れる 2 つの欄）がありません"},
        {"[[rule]]\ncells = [\"x\", \"y\"]\n", 1, 1, "match（説明のパターン）がありません"},
        {"[[rule]]\nmatch = 'a'\ncells = [\"x\", \"y\"]\ncolour = 1\n", 4, 10,
         "知らないキー colour"},
        {"rule = 1\n", 1, 8, "[[rule]] の表の並び"},
        {"[[rule]]\nmatch = 'a'\ncells = [\"x\", \"y\"]\nkinds = \"card\"\n", 4, 9, "kinds は"},
        {"[[rule]]\nmatch = 'a'\ncells = [\"\", \" \"]\n", 3, 9, "2 つとも空"},
        {"[[rule]]\nmatch = 'a'\ncells = [\"x\\ty\", \"z\"]\n", 3, 9, "タブや改行"},
        {"\xff\xfe", 1, 1, "TOML として読めません"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto read = readCategoryRules(QStringLiteral("categories.toml"), QByteArray(c.text));
        const auto* problem = std::get_if<rules::RulesProblem>(&read);
        ASSERT_NE(problem, nullptr);
        EXPECT_EQ(problem->line, c.line);
        EXPECT_EQ(problem->column, c.column);
        EXPECT_TRUE(problem->text.contains(u8(c.says))) << problem->toString().toStdString();
        EXPECT_TRUE(problem->toString().startsWith(QStringLiteral("categories.toml:")));
    }
}

TEST(CategoryRulesTest, TheTemplateReadsAsNoRulesAndAnEmptyFileToo) {
    EXPECT_TRUE(rulesOf(categoryRulesTemplate().constData()).isEmpty());
    EXPECT_TRUE(rulesOf("").isEmpty());
}

} // namespace
} // namespace tallemo::categories
