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

} // namespace
