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

// Each digit run, of whatever script, is one blank, and the spelling keeps the description's key:
// a batch of rows chooses once per spelling.
TEST(DescriptionFoldTest, ASpellingWithoutDigitsKeepsTheKey) {
    const struct {
        const char* description;
        const char* spelling;
    } cases[] = {
        {"ﾛ-ｿﾝ 12345", "ﾛ-ｿﾝ  "},
        {"ローソン９９", "ローソン "}, // full-width digits
        {"店٣٤号", "店 号"},           // Arabic-Indic digits
        {"७-11 町田", " -  町田"},     // Devanagari and ASCII digits
        {"A1B2C", "A B C"},
        {"セブン－イレブン", "セブン－イレブン"}, // kana and ideographs are never digits
        {"", ""},
    };
    QString spelling = QStringLiteral("left over from the row before");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        spellingWithoutDigits(u8(c.description), spelling);
        EXPECT_EQ(spelling, u8(c.spelling));
        EXPECT_EQ(descriptionKey(spelling), descriptionKey(u8(c.description)));
    }
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
