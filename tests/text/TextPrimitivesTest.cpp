#include "text/TextPrimitives.h"
#include "support/QtText.h"

#include <gtest/gtest.h>

using namespace tallemo;

namespace {

const QString kAstral = QString::fromUcs4(U"\U00020BB7"); // two code units

TEST(TextPrimitives, AnsiPosFindsFirstOccurrenceOrZero) {
    EXPECT_EQ(AnsiPos(QString(), QStringLiteral("abc")), 0);
    EXPECT_EQ(AnsiPos(QStringLiteral("c"), QStringLiteral("abc")), 3);
    EXPECT_EQ(AnsiPos(QStringLiteral("abcd"), QStringLiteral("abc")), 0);
    EXPECT_EQ(AnsiPos(QStringLiteral("a"), QString()), 0);
    EXPECT_EQ(AnsiPos(QStringLiteral("B"), QStringLiteral("abB")), 3);
}

TEST(TextPrimitives, AnsiLeftStrCountsASurrogatePairAsOneCharacter) {
    EXPECT_EQ(AnsiLeftStr(kAstral + QStringLiteral("x"), 1), kAstral);
    EXPECT_EQ(AnsiLeftStr(kAstral, 0), QString());
    EXPECT_EQ(AnsiLeftStr(QStringLiteral("ab"), 5), QStringLiteral("ab"));
    EXPECT_EQ(AnsiLeftStr(QStringLiteral("ab"), -1), QString());
    // An unpaired surrogate counts as one character.
    const QString lone = QString(QChar(0xD842)) + QStringLiteral("ab");
    EXPECT_EQ(AnsiLeftStr(lone, 2), lone.left(2));
}

TEST(TextPrimitives, AnsiReplaceStrReplacesLeftToRightWithoutOverlap) {
    EXPECT_EQ(AnsiReplaceStr(QStringLiteral("aaa"), QStringLiteral("aa"), QStringLiteral("b")),
              QStringLiteral("ba"));
    EXPECT_EQ(AnsiReplaceStr(QStringLiteral("1,500 円"), QStringLiteral(" 円"), QString()),
              QStringLiteral("1,500"));
    EXPECT_EQ(AnsiReplaceStr(QStringLiteral("abc"), QString(), QStringLiteral("x")),
              QStringLiteral("abc"));
}

TEST(TextPrimitives, DeleteAndInsertClampAsDocumented) {
    const struct {
        int index, count;
        const char* after;
    } deletes[] = {{0, 1, "abc"}, {4, 1, "abc"}, {2, 10, "a"}, {1, 0, "abc"}, {3, 1, "ab"}};
    for (const auto& d : deletes) {
        QString s = QStringLiteral("abc");
        Delete(s, d.index, d.count);
        EXPECT_EQ(s, QString::fromUtf8(d.after)) << d.index << "," << d.count;
    }
    const struct {
        int index;
        const char* after;
    } inserts[] = {{0, "xabc"}, {1, "xabc"}, {2, "axbc"}, {4, "abcx"}, {9, "abcx"}};
    for (const auto& in : inserts) {
        QString s = QStringLiteral("abc");
        Insert(QStringLiteral("x"), s, in.index);
        EXPECT_EQ(s, QString::fromUtf8(in.after)) << in.index;
    }
    QString s = QStringLiteral("abc");
    Insert(QString(), s, 2);
    EXPECT_EQ(s, QStringLiteral("abc"));
}

TEST(TextPrimitives, MyAnsiPosExFindsTheFirstOccurrenceAfterN) {
    const struct {
        const char* st;
        int n, expected;
    } cases[] = {{"a\tb\tc", 2, 4}, {"a\tb", 2, 2}, {"a\tb", 0, 2}, {"a\tb", 9, 9},
                 {"a\tb", 3, 3},    {"\tb", -1, 0}, {"", 4, 4},     {"a\tb\tc", 1, 2}};
    for (const auto& c : cases)
        EXPECT_EQ(MyAnsiPosEx(kTab, QString::fromUtf8(c.st), c.n), c.expected)
            << c.st << " " << c.n;
}

} // namespace
