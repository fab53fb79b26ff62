// The rows as the window keeps them (text) and as the companion takes them (UTF-8, handed over a
// stretch of whole rows at a time) must be the same rows.
#include "text/OutputList.h"
#include "support/QtText.h"
#include "text/LineModel.h"

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

// A stage that rewrites most rows at once gives the list and the text area one text: both read
// their rows from it, and each goes on changing by itself (the rows after the text area's edits,
// the lines after the list's), as after writing every row into both.
TEST(OutputList, RowsRewrittenAtOnceAreSharedWithTheLinesTheyStandOn) {
    LineModel lines(QStringLiteral("heading\r\nrow 0\r\nrow 1\r\nnot a row\r\nrow 2\r\nend\r\n"));
    OutputList rows;
    for (const int line : {1, 2, 4})
        rows.add(lines.wholeLineView(line), line);
    QString text;
    std::vector<qsizetype> starts;
    std::vector<LineModel::SharedLine> rewritten;
    for (int k = 0; k < rows.count(); ++k) {
        starts.push_back(text.size());
        const QString row = k == 1 ? rows.row(k).toString()
                                   : rows.row(k).toString() + QStringLiteral(" and much more");
        if (k != 1)
            rewritten.push_back({rows.lineOf(k), text.size(), row.size()});
        text += row + QStringLiteral("\r\n");
    }
    ASSERT_TRUE(lines.shareLines(text, rewritten));
    rows.replaceAllRows(text, starts);
    // One shared text at a time.
    EXPECT_FALSE(lines.shareLines(text, rewritten));
    EXPECT_EQ(rows.text(), QStringLiteral("row 0 and much more\r\nrow 1\r\n"
                                          "row 2 and much more\r\n"));
    EXPECT_EQ(rows.row(2), QStringLiteral("row 2 and much more"));
    EXPECT_EQ(rows.lineOf(2), 4);
    lines.setLine(1, QStringLiteral("row 0"));
    lines.setLine(4, QStringLiteral("row 2 and much more, and longer still"));
    rows.replaceRow(1, QStringLiteral("row 1 changed"));
    EXPECT_EQ(lines.text(), QStringLiteral("heading\r\nrow 0\r\nrow 1\r\nnot a row\r\n"
                                           "row 2 and much more, and longer still\r\nend\r\n"));
    EXPECT_EQ(rows.text(), QStringLiteral("row 0 and much more\r\nrow 1 changed\r\n"
                                          "row 2 and much more\r\n"));
}

} // namespace
