#include "categories/DescriptionFold.h"

#include "support/QtText.h"

#include <gtest/gtest.h>

namespace tallemo::categories {
namespace {

using testing_support::u8;

// Spellings of one shop that statements and hands produce: each pair must give the same key.
TEST(DescriptionFoldTest, VariantsOfOneShopShareAKey) {
    const struct {
        const char* a;
        const char* b;
    } cases[] = {
        {"ﾛ-ｿﾝ 12345", "ローソン 678"},     // half-width kana, a hyphen for the long vowel
        {"ｾﾌﾞﾝ-ｲﾚﾌﾞﾝ", "セブン－イレブン"}, // width, two kinds of dash
        {"ＡＭＡＺＯＮ．ＣＯ．ＪＰ", "Amazon.co.jp"}, // full-width letters, case
        {"STARBUCKS  #0123", "starbucks"},            // store number and blanks
        {"ENEOS　SS", "eneos ss"},                    // ideographic space
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.a);
        EXPECT_EQ(descriptionKey(u8(c.a)), descriptionKey(u8(c.b)));
    }
    EXPECT_EQ(descriptionKey(u8("ﾛ-ｿﾝ 12345")), u8("ローソン"));
    // A hyphen between Latin letters is no long vowel.
    EXPECT_EQ(descriptionKey(u8("E-MART 3")), u8("e mart"));
    EXPECT_EQ(descriptionKey(u8("12345 ---")), QString());
}

TEST(DescriptionFoldTest, WordsAreLatinWordsAndJapaneseBigrams) {
    const std::vector<QString> words =
        keyWords(descriptionKey(u8("セブンーイレブン 町田店 Amazon")));
    const std::vector<QString> expected = {u8("amazon"), u8("イレ"), u8("セブ"),
                                           u8("ブン"),   u8("レブ"), u8("ンー"),
                                           u8("ーイ"),   u8("町田"), u8("田店")};
    std::vector<QString> sorted = expected;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(words, sorted);
    // A run of one character is a word of its own.
    EXPECT_EQ(keyWords(u8("店")), std::vector<QString>{u8("店")});
    EXPECT_TRUE(keyWords(QString()).empty());
}

TEST(DescriptionFoldTest, RulesSeeWidthAndCaseFoldedButDigitsKept) {
    EXPECT_EQ(foldForRules(u8("ＡＭＡＺＯＮ ﾏｰｹｯﾄﾌﾟﾚｲｽ １２３")),
              u8("amazon マーケットプレイス 123"));
}

} // namespace
} // namespace tallemo::categories
