// RFC 4180 records read line by line: quoted fields with commas, doubled quotes and line breaks,
// and files as issuers write them (text after a closing quote, a quote that never closes).
#include "files/CsvReader.h"
#include "support/QtText.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace tallemo;
using namespace tallemo::testing_support;

namespace {

struct Read {
    QStringList fields;
    int lines = 0;
};

Read readAt(const QStringList& lines, int first) {
    CsvRecord record;
    Read read;
    read.lines = readCsvRecord([&](int i) { return QStringView(lines[i]); }, first,
                               static_cast<int>(lines.size()), record);
    for (int f = 0; f < record.size(); ++f)
        read.fields << record.field(f).toString();
    return read;
}

TEST(CsvReader, SplitsARecordAsRfc4180Says) {
    struct Case {
        QStringList lines;
        QStringList fields;
        int lines_taken = 0;
    };
    const Case cases[] = {
        {{""}, {""}, 1},
        {{"a,b,,"}, {"a", "b", "", ""}, 1},
        {{u8("\"2024/07/03\",\"ｶｰﾄﾞ, 店\",\"1,500\"")}, {"2024/07/03", u8("ｶｰﾄﾞ, 店"), "1,500"}, 1},
        {{R"("say ""hi""","""","")"}, {"say \"hi\"", "\"", ""}, 1},
        // A line break inside quotes is part of the field.
        {{R"("a","two)", "lines\",c", "next"}, {"a", "two\nlines", "c"}, 2},
        {{"\"x", "", "y\""}, {"x\n\ny"}, 3},
        // Lenient: a quote inside an unquoted field is text; text after a closing quote joins.
        {{R"(ab"c,"d"e,f)"}, {"ab\"c", "de", "f"}, 1},
        {{u8("２０２４/７/３,¥1,500")}, {u8("２０２４/７/３"), u8("¥1"), "500"}, 1},
    };
    for (const Case& c : cases) {
        const Read read = readAt(c.lines, 0);
        EXPECT_EQ(read.fields, c.fields) << c.lines.join(u'|').toStdString();
        EXPECT_EQ(read.lines, c.lines_taken) << c.lines.join(u'|').toStdString();
    }
}

// A quote that never closes takes the rest of its own line and no more: the lines after it are
// still records, and finding that out costs a bounded look ahead, not the rest of the text.
TEST(CsvReader, AQuoteThatNeverClosesEndsWithItsLine) {
    QStringList lines = {"\"open,1", "2024/07/03,shop,100"};
    Read read = readAt(lines, 0);
    EXPECT_EQ(read.fields, QStringList{"open,1"});
    EXPECT_EQ(read.lines, 1);
    EXPECT_EQ(readAt(lines, 1).fields, (QStringList{"2024/07/03", "shop", "100"}));

    // Closed further down than a record may run: the same.
    lines = {"\"a"};
    for (int i = 0; i < kMaxCsvRecordLines; ++i)
        lines << "x";
    lines << "b\",c";
    read = readAt(lines, 0);
    EXPECT_EQ(read.lines, 1);
    EXPECT_EQ(read.fields, QStringList{"a"});
    // Within reach, it spans the lines.
    lines.remove(1, 2);
    read = readAt(lines, 0);
    EXPECT_EQ(read.lines, kMaxCsvRecordLines);
    EXPECT_EQ(read.fields.size(), 2);
}

// A record's buffers are reused: a short record after a long one has only its own fields.
TEST(CsvReader, ARecordHasOnlyItsOwnFields) {
    const QStringList lines = {"a,b,c,d", "e"};
    CsvRecord record;
    const auto lineAt = [&](int i) { return QStringView(lines[i]); };
    readCsvRecord(lineAt, 0, 2, record);
    readCsvRecord(lineAt, 1, 2, record);
    EXPECT_EQ(record.size(), 1);
    EXPECT_EQ(record.field(0), u"e");
    EXPECT_TRUE(record.field(1).isEmpty());
    EXPECT_TRUE(record.field(-1).isEmpty());
}

} // namespace
