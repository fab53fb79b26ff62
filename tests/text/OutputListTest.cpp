// The rows as the window keeps them (text) and as the companion takes them (UTF-8, handed over a
// stretch of whole rows at a time) must be the same rows.
#include "text/OutputList.h"
#include "support/QtText.h"

#include <gtest/gtest.h>

using namespace tallemo;

namespace {

const QString kRows[] = {
    QStringLiteral("\uFEFFa first row that begins with U+FEFF"),
    testing_support::u8("2024/11/03\tSAMPLE STORE\t\t\t1,500"),
    QString(QChar(0xD800)) + QStringLiteral("lone surrogate"),
    QString(),
};

TEST(OutputList, HandsOverWholeRowsThatAddUpToTheText) {
    OutputList asText;
    QByteArray handedOver;
    int handOvers = 0;
    const RowsSink sink = [&](QByteArrayView rows) {
        EXPECT_TRUE(rows.endsWith("\r\n"));
        handedOver.append(rows);
        ++handOvers;
    };
    OutputList asRows(&sink);
    for (int k = 0; k < 5000; ++k) {
        asText.add(kRows[k % 4]);
        asRows.add(kRows[k % 4]);
    }
    asRows.flush();

    EXPECT_EQ(asRows.count(), asText.count());
    EXPECT_GT(handOvers, 1);
    EXPECT_EQ(handedOver, asText.text().toUtf8());
    EXPECT_TRUE(asRows.utf8().isEmpty());
}

TEST(OutputList, AnEmptySinkKeepsTheRowsInUtf8) {
    const RowsSink keep;
    OutputList rows(&keep);
    for (const QString& row : kRows)
        rows.add(row);
    rows.flush();
    OutputList asText;
    for (const QString& row : kRows)
        asText.add(row);
    EXPECT_EQ(rows.utf8(), asText.text().toUtf8());
    // Decoded again, the leading U+FEFF stays; the lone surrogate was written as "?".
    EXPECT_EQ(rows.text(), QString::fromUtf8(asText.text().toUtf8()).prepend(QChar(0xFEFF)));
}

// A stage that fills cells reads each row and replaces it before reading the next: every row it
// reads is the row as it stands, and a row given two texts keeps the last.
TEST(OutputList, RowsReplacedOneByOneReadAsTheyStand) {
    OutputList rows;
    for (int k = 0; k < 5; ++k)
        rows.add(QStringLiteral("row %1").arg(k), k);
    for (int k = 0; k < rows.count(); ++k)
        rows.replaceRow(k, rows.row(k).toString() + QStringLiteral(" filled"));
    rows.replaceRow(2, QStringLiteral("first"));
    EXPECT_EQ(rows.row(2), QStringLiteral("first"));
    EXPECT_EQ(rows.row(3), QStringLiteral("row 3 filled"));
    rows.replaceRow(2, QStringLiteral("second"));
    // A replaced row's text given to another row: it is read from where it is kept while that
    // place grows.
    rows.replaceRow(0, rows.row(3));
    EXPECT_EQ(rows.text(), QStringLiteral("row 3 filled\r\nrow 1 filled\r\nsecond\r\n"
                                          "row 3 filled\r\nrow 4 filled\r\n"));
    EXPECT_EQ(rows.row(4), QStringLiteral("row 4 filled"));
    EXPECT_EQ(rows.lineOf(4), 4);
}

} // namespace
