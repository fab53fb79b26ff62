#include "categories/SheetRows.h"

#include "support/QtText.h"

#include <gtest/gtest.h>

namespace tallemo::categories {
namespace {

using testing_support::u8;

// Lines of a pasted sheet and what each counts as.
TEST(SheetRowsTest, CountsRowsRowsWithoutCellsAndOtherLines) {
    const struct {
        const char* text;
        int rows;
        int withoutCells;
        int notRows;
    } cases[] = {
        {"2025/01/05\tローソン\t食費\tコンビニ\t540\n", 1, 0, 0},
        {"日付\t内容\t大項目\t小項目\t金額\n", 0, 0, 1},                  // header
        {"\t合計\t\t\t12,345\n", 0, 0, 1},                                // total without date
        {"2025/01/05\tローソン\t\t\t540\n", 0, 1, 0},                     // nothing typed
        {"2025/01/05\tローソン\t食費\n", 0, 0, 1},                        // too few cells
        {"\n\n", 0, 0, 2},                                                // blank lines
        {"2025-1-5\t ローソン \t食費\t\t¥540\t備考\tmore\r\n", 1, 0, 0},  // other forms, CR
        {"2025/01/05\tローソン\t食費\tコンビニ\t540円くらい\n", 0, 0, 1}, // no amount
        {"2025/01/05\t\"say \"\"hi\"\"\"\t食費\t\t540", 1, 0, 0},         // quoted, no final break
        {"2025/01/05\t\"lone\t食費\t\t540\n", 1, 0, 0},                   // a lone quote stays
        {"", 0, 0, 0},
        // A lone CR in a cell would split the row it is later filled into.
        {"2025/01/05\tローソン\t食費\tコン\rビニ\t540\n", 0, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const SheetReading reading = readSheet(u8(c.text));
        EXPECT_EQ(static_cast<int>(reading.rows.size()), c.rows);
        EXPECT_EQ(reading.withoutCells, c.withoutCells);
        EXPECT_EQ(reading.notRows, c.notRows);
    }
    const SheetReading quoted = readSheet(u8("2025/01/05\t\"say \"\"hi\"\"\"\t食費\t\t540"));
    ASSERT_EQ(quoted.rows.size(), 1U);
    EXPECT_EQ(quoted.rows[0].description, u8("say \"hi\""));
    EXPECT_EQ(quoted.rows[0].day, u8("2025-01-05"));
    EXPECT_EQ(readSheet(u8("2025/01/05\t\"lone\t食費\t\t540")).rows[0].description, u8("\"lone"));
}

// The same row pasted again has the same key; two equal purchases on one day are two rows; a
// changed choice keeps the row's key, so that it replaces the old one.
TEST(SheetRowsTest, KeysFollowDateDescriptionAmountAndOccurrence) {
    const QString sheet = u8("2025/01/05\tカフェ\t食費\t外食\t400\n"
                             "2025/01/05\tカフェ\t食費\t外食\t400\n"
                             "2025/01/06\tカフェ\t食費\t外食\t400\n"
                             "2025/01/05\tカフェ\t食費\t外食\t401\n");
    const SheetReading first = readSheet(sheet);
    ASSERT_EQ(first.rows.size(), 4U);
    std::set<RowKey> keys;
    for (const SheetRow& row : first.rows)
        keys.insert(row.key);
    EXPECT_EQ(keys.size(), 4U);

    const SheetReading again = readSheet(QString(sheet).replace(u8("外食"), u8("交際費")));
    for (std::size_t k = 0; k < 4; ++k)
        EXPECT_EQ(again.rows[k].key, first.rows[k].key);
    // Another spelling of the date is the same row.
    EXPECT_EQ(readSheet(u8("2025-1-5\tカフェ\t食費\t外食\t¥400")).rows[0].key, first.rows[0].key);
}

} // namespace
} // namespace tallemo::categories
