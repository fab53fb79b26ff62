#include "categories/CategoryMatcher.h"

#include "support/QtText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>

namespace tallemo::categories {
namespace {

using testing_support::u8;

LearnedChoice learned(const char* description, const char* cell3, const char* cell4, int times,
                      const char* lastDay = "2025-06-30") {
    return {u8(description), u8(cell3), u8(cell4), times, u8(lastDay)};
}

// A small household: chains with branches, a shop whose category the user varies.
CategoryMatcher household() {
    const std::vector<LearnedChoice> table = {
        learned("ローソン 町田店", "食費", "コンビニ", 12),
        learned("ローソン 渋谷駅前", "食費", "コンビニ", 3),
        learned("セブン－イレブン　町田店", "食費", "コンビニ", 9),
        learned("ＥＮＥＯＳ 町田SS", "車", "ガソリン", 6),
        learned("AMAZON.CO.JP", "日用品", "通販", 4),
        learned("AMAZON.CO.JP", "娯楽", "本", 4),
        learned("東京電力", "水道光熱費", "電気", 6),
        learned("東京ガス", "水道光熱費", "ガス", 6),
        learned("スターバックス 町田", "食費", "外食", 7),
    };
    CategoryMatcher matcher;
    matcher.setLearned(table);
    return matcher;
}

QString cellsOf(const std::optional<CategoryChoice>& choice) {
    return choice ? choice->cell3 + u'|' + choice->cell4 : QString();
}

TEST(CategoryMatcherTest, FillsKnownShopsAndTheirVariantsAndLeavesDoubtEmpty) {
    const CategoryMatcher matcher = household();
    const struct {
        const char* description;
        const char* expected; // "" when it must stay empty
    } cases[] = {
        {"ローソン 町田店", "食費|コンビニ"},
        {"ﾛ-ｿﾝ 12345", "食費|コンビニ"},      // width, dash and store number
        {"ｾﾌﾞﾝ-ｲﾚﾌﾞﾝ 渋谷", "食費|コンビニ"}, // another branch
        {"ENEOS 相模原SS", "車|ガソリン"},
        {"AMAZON.CO.JP", ""},          // the user varies: not sure
        {"Amazon Marketplace", ""},    // half a word of a varied shop
        {"ファミリーマート 町田", ""}, // never seen: a branch name is no shop
        {"ドトールコーヒー", ""},      // never seen at all
        {"", ""},
        {"12345", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        EXPECT_EQ(cellsOf(matcher.choose(u"card", u8(c.description))), u8(c.expected));
    }
}

// A new shop is known by a whole word only when several learned shops share it and the user
// filed nearly all of them under one choice.
TEST(CategoryMatcherTest, ANewShopIsKnownByAWordSeveralShopsOfOneChoiceShare) {
    const std::vector<LearnedChoice> table = {
        learned("Cafe Modagor", "Food", "Restaurant", 20),
        learned("Franklin Cafe", "Food", "Restaurant", 5),
        learned("BOOK SHOP 12", "教養", "書籍", 6),
        learned("Corner Deli", "Food", "Groceries", 8),
        learned("Deli Express", "Food", "Restaurant", 8),
        learned("Onion Market", "Food", "Groceries", 9),
    };
    CategoryMatcher matcher;
    matcher.setLearned(table);
    const struct {
        const char* description;
        const char* expected;
    } cases[] = {
        {"Cafe Select", "Food|Restaurant"},
        {"ＣＡＦＥ ｐｉｃｃｏｌｏ", "Food|Restaurant"},
        {"UNKNOWN SHOP", ""},     // one shop has the word
        {"Deli Marketplace", ""}, // its shops were filed under two choices
        {"Laut", ""},             // nothing shared at all
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        EXPECT_EQ(cellsOf(matcher.choose(u"card", u8(c.description))), u8(c.expected));
    }
}

// The amounts of each choice's rows, as the store sums them up.
ChoiceAmounts amountsOf(const char* cell3, const char* cell4, std::initializer_list<int> yen) {
    ChoiceAmounts amounts{u8(cell3), u8(cell4)};
    for (const int value : yen) {
        const double logAmount = std::log(static_cast<double>(value));
        amounts.rows += 1;
        amounts.logSum += logAmount;
        amounts.logSquares += logAmount * logAmount;
    }
    return amounts;
}

// The beancount example's shops: many restaurants, a coffee shop, groceries and a rent.
CategoryMatcher ledger() {
    const std::vector<LearnedChoice> table = {
        learned("Cafe Modagor", "Food", "Restaurant", 20),
        learned("Kin Soy", "Food", "Restaurant", 20),
        learned("Starbucks", "Food", "Coffee", 8),
        learned("Onion Market", "Food", "Groceries", 9),
        learned("RiverBank Properties", "Home", "Rent", 12),
    };
    const std::vector<ChoiceAmounts> amounts = {
        amountsOf("Food", "Restaurant",
                  {14, 18, 21, 25, 27, 30, 31, 33, 35, 38, 40, 26, 29, 32, 36, 45, 52, 60, 22, 28,
                   24, 30, 34, 37, 41, 19, 23, 26, 31, 39, 44, 48, 27, 29, 33, 35, 24, 30, 38, 42}),
        amountsOf("Food", "Coffee", {5, 6, 7, 6, 5, 7, 6, 6}),
        amountsOf("Food", "Groceries", {52, 61, 75, 88, 96, 104, 118, 70, 84}),
        amountsOf("Home", "Rent",
                  {2400, 2400, 2400, 2400, 2400, 2400, 2400, 2400, 2400, 2400, 2400, 2400}),
    };
    CategoryMatcher matcher;
    matcher.setLearned(table);
    matcher.setAmounts(amounts);
    return matcher;
}

// A shop none of whose words was ever seen is known by its amount alone, and only when the
// amount is typical of one choice and next to impossible for the others.
TEST(CategoryMatcherTest, AShopWithNoKnownWordIsKnownByAnAmountOnlyOneChoiceExplains) {
    const CategoryMatcher matcher = ledger();
    const struct {
        const char* description;
        const char* amount;
        const char* expected;
    } cases[] = {
        {"Laut", "30", "Food|Restaurant"},
        {"La Colombe", "6", "Food|Coffee"},
        {"Takahachi", "2,400", "Home|Rent"},
        {"Laut", "66", ""},                    // restaurant or groceries: the amounts overlap
        {"Laut", "600", ""},                   // typical of no choice
        {"Laut", "", ""},                      // no amount
        {"Laut", "abc", ""},                   // no amount either
        {"Laut", "0", ""},                     // nothing to weigh
        {"Soy Market", "6", ""},               // known words decide, and are unsure
        {"Starbucks", "2,400", "Food|Coffee"}, // a known shop keeps its choice
        {"12345", "30", ""},                   // no description at all
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.description) + " " + c.amount);
        EXPECT_EQ(cellsOf(matcher.choose(u"card", u8(c.description), u8(c.amount))),
                  u8(c.expected));
    }
    // Many rows at once: each row's amount counts, not the first one of its shop.
    CategoryChooser chooser(matcher, u"card");
    EXPECT_EQ(cellsOf(chooser.choose(u8("Laut 12"), u8("30"))), u8("Food|Restaurant"));
    EXPECT_EQ(cellsOf(chooser.choose(u8("Laut 13"), u8("6"))), u8("Food|Coffee"));
    EXPECT_EQ(cellsOf(chooser.choose(u8("Laut 14"), u8("66"))), u8(""));
    EXPECT_EQ(matcher.choose(u"card", u8("Laut"), u8("30"))->fromAmount, true);

    std::vector<QStringList> rows = {{u8("2025/07/01"), u8("Laut"), {}, {}, u8("30")}};
    EXPECT_EQ(matcher.fillRows(u"card", rows).filled, 1);
    EXPECT_EQ(rows[0].join(u'\t'), u8("2025/07/01\tLaut\tFood\tRestaurant\t30"));
    EXPECT_EQ(matcher.fillText(u"card", u8("2025/07/01\tLa Colombe\t\t\t6\n")),
              u8("2025/07/01\tLa Colombe\tFood\tCoffee\t6\n"));
}

// Two choices with amounts leave every amount to one of them: that says nothing. Nor does a file
// without amounts.
TEST(CategoryMatcherTest, TooFewChoicesWithAmountsFillNothingByAmount) {
    CategoryMatcher matcher = ledger();
    matcher.setAmounts(std::vector<ChoiceAmounts>{
        amountsOf("Food", "Coffee", {5, 6, 7, 6, 5, 7, 6, 6}),
        amountsOf("Home", "Rent", {2400, 2400, 2400}),
    });
    EXPECT_FALSE(matcher.choose(u"card", u8("La Colombe"), u8("6")));
    matcher.setAmounts({});
    EXPECT_FALSE(matcher.choose(u"card", u8("La Colombe"), u8("6")));
}

TEST(CategoryMatcherTest, RulesComeBeforeWhatWasLearned) {
    CategoryMatcher matcher = household();
    auto rules =
        readCategoryRules(QStringLiteral("categories.toml"),
                          QByteArray("[[rule]]\nmatch = '^amazon'\n"
                                     "cells = [\"日用品\", \"通販\"]\n"
                                     "[[rule]]\nmatch = 'ローソン'\n"
                                     "cells = [\"食費\", \"おやつ\"]\nkinds = [\"view\"]\n"));
    matcher.setRules(std::get<CategoryRules>(std::move(rules)));
    EXPECT_EQ(cellsOf(matcher.choose(u"card", u8("AMAZON.CO.JP"))), u8("日用品|通販"));
    EXPECT_TRUE(matcher.choose(u"card", u8("Amazon")).value().fromRule);
    EXPECT_EQ(cellsOf(matcher.choose(u"view", u8("ローソン 町田店"))), u8("食費|おやつ"));
    EXPECT_EQ(cellsOf(matcher.choose(u"card", u8("ローソン 町田店"))), u8("食費|コンビニ"));
}

// Choosing for many rows at once works each shop's learned choice out once, whatever its store
// number; a rule still sees the number.
TEST(CategoryMatcherTest, ChoosingForManyRowsGivesWhatChoosingOneByOneGives) {
    CategoryMatcher matcher = household();
    auto rules = readCategoryRules(QStringLiteral("categories.toml"),
                                   QByteArray("[[rule]]\nmatch = 'ローソン 99$'\n"
                                              "cells = [\"交際費\", \"差し入れ\"]\n"));
    matcher.setRules(std::get<CategoryRules>(std::move(rules)));
    CategoryChooser chooser(matcher, u"card");
    for (const char* description :
         {"ローソン 12", "ローソン 99", "ローソン 12", "ﾛ-ｿﾝ 7", "ローソン９９", "ENEOS 1 相模原SS",
          "ENEOS 22 相模原SS", "AMAZON.CO.JP", "ドトールコーヒー 3", "12345", "", "１２"}) {
        SCOPED_TRACE(description);
        EXPECT_EQ(cellsOf(chooser.choose(u8(description))),
                  cellsOf(matcher.choose(u"card", u8(description))));
    }
    EXPECT_EQ(cellsOf(chooser.choose(u8("ローソン 99"))), u8("交際費|差し入れ"));
    EXPECT_EQ(cellsOf(chooser.choose(u8("ローソン 98"))), u8("食費|コンビニ"));
    // A lent choice stays valid while many other shops are worked out after it.
    const CategoryChoice* lent = chooser.chooseShared(u8("ローソン 5"));
    ASSERT_NE(lent, nullptr);
    for (int shop = 0; shop < 2000; ++shop)
        chooser.chooseShared(QStringLiteral("shop %1x").arg(shop));
    EXPECT_EQ(lent->cell3 + u'|' + lent->cell4, u8("食費|コンビニ"));
}

// The user moved a shop to another category: with a half-life the newer choice wins.
TEST(CategoryMatcherTest, ANewerChoiceOutweighsAnOldOneWithAHalfLife) {
    const std::vector<LearnedChoice> table = {
        learned("ジム", "娯楽", "運動", 10, "2024-12-31"),
        learned("ジム", "健康", "ジム", 4, "2025-06-30"),
    };
    CategoryMatcher matcher;
    matcher.setHalfLifeDays(30);
    matcher.setLearned(table);
    EXPECT_EQ(cellsOf(matcher.choose(u"card", u8("ジム"))), u8("健康|ジム"));
}

TEST(CategoryMatcherTest, FillsOnlyRowsWhoseTwoCellsAreEmpty) {
    const CategoryMatcher matcher = household();
    std::vector<QStringList> rows = {
        {u8("2025/07/01"), u8("ローソン 町田店"), {}, {}, u8("540")},
        {u8("2025/07/01"), u8("ローソン 町田店"), u8("交際費"), {}, u8("540")},
        {u8("2025/07/01"), u8("ドトール"), {}, {}, u8("300")},
        {u8("2025/07/01"), u8("ローソン")},
    };
    const FillCounts counts = matcher.fillRows(u"card", rows);
    EXPECT_EQ(counts.filled, 1);
    EXPECT_EQ(counts.unsure, 1);
    EXPECT_EQ(rows[0].join(u'\t'), u8("2025/07/01\tローソン 町田店\t食費\tコンビニ\t540"));
    EXPECT_EQ(rows[1].join(u'\t'), u8("2025/07/01\tローソン 町田店\t交際費\t\t540"));
    EXPECT_EQ(rows[2].join(u'\t'), u8("2025/07/01\tドトール\t\t\t300"));
}

// The text of `tallemo-convert fill`: only the empty cells of sure rows change, every other byte
// stays, line breaks and remarks included.
TEST(CategoryMatcherTest, FillingTextChangesNothingButEmptyCells) {
    const CategoryMatcher matcher = household();
    const QString text = u8("楽天カード ご利用明細\r\n"
                            "2025/07/01\tローソン 町田店\t\t\t540\tSuica\r\n"
                            "2025/07/02\tドトール\t\t\t300\r\n"
                            "2025/07/03\t東京ガス\t住居\t\t4,000\r\n"
                            "2025/07/04\t東京電力\t\"\"\t\t5,000\r\n"
                            "2025/07/05\t東京電力\t\t\t5,000");
    FillCounts counts;
    EXPECT_EQ(matcher.fillText(u"card", text, &counts),
              u8("楽天カード ご利用明細\r\n"
                 "2025/07/01\tローソン 町田店\t食費\tコンビニ\t540\tSuica\r\n"
                 "2025/07/02\tドトール\t\t\t300\r\n"
                 "2025/07/03\t東京ガス\t住居\t\t4,000\r\n"
                 "2025/07/04\t東京電力\t\"\"\t\t5,000\r\n"
                 "2025/07/05\t東京電力\t水道光熱費\t電気\t5,000"));
    EXPECT_EQ(counts.filled, 2);
    EXPECT_EQ(counts.unsure, 1);
    // Nothing learned and no rules: the text comes back as it was.
    EXPECT_EQ(CategoryMatcher().fillText(u"card", text), text);
}

} // namespace
} // namespace tallemo::categories
