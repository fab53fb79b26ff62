// The filling stage on the rows a card conversion makes: the text area and the clipboard get the
// same filled rows, every other line and row stays as the kind made it, and the text area's
// lines go on changing by themselves afterwards.
#include "categories/CategoryMatcher.h"
#include "converters/StatementKinds.h"
#include "pipeline/Conversion.h"
#include "support/QtText.h"
#include "text/LineModel.h"
#include "text/Regional.h"

#include <gtest/gtest.h>

#include <vector>

namespace tallemo {
namespace {

using testing_support::u8;

QString card(const std::vector<const char*>& usages) {
    QString text = u8("ご利用明細\r\n");
    for (const char* usage : usages)
        text += u8(usage) + u8("\r\n支払方法\t1回払い\r\n-\r\n-\r\n");
    return text + u8("以上\r\n");
}

struct Converted {
    QString area;
    QString clipboard;
    int filled = 0;
    int notFilled = 0;
};

Converted convert(const QString& statement, const categories::CategoryMatcher* matcher) {
    const std::shared_ptr<const KindRegistry> kinds = KindRegistry::builtIn();
    ConversionRequest request;
    request.kinds = kinds;
    request.kind = kinds->find(u"card");
    request.regional = Regional::fixed(QStringLiteral("2025/01/15"));
    request.categories = matcher;
    Conversion conversion(std::move(request));
    LineModel lines(statement);
    conversion.run(lines);
    return {lines.text(), conversion.rowsText(), conversion.report().filled,
            conversion.report().notFilled};
}

TEST(FillStage, FillsTheTextAreaAndTheClipboardAlikeAndNothingElse) {
    categories::CategoryMatcher matcher;
    const std::vector<categories::LearnedChoice> learned = {
        {u8("ローソン 町田店"), u8("食費"), u8("コンビニ"), 12, u8("2025-06-30")},
        {u8("東京電力"), u8("水道光熱費"), u8("電気"), 6, u8("2025-06-30")},
    };
    matcher.setLearned(learned);
    const struct {
        const char* name;
        std::vector<const char*> usages;
    } cases[] = {
        {"the first row unsure, later ones filled",
         {"2024/11/02\tUNKNOWN SHOP\t300 円", "2024/11/03\tﾛ-ｿﾝ 町田店 12\t480 円",
          "2024/11/04\t東京電力\t5,000 円", "2024/11/05\tローソン 町田店 99\t120 円"}},
        {"the first row filled, an unsure one between",
         {"2024/11/03\tローソン 町田店\t480 円", "2024/11/04\t謎の店\t1 円",
          "2024/11/05\t東京電力\t2 円"}},
        {"a row the kind could not split",
         {"2024/11/03 ローソン 480円", "2024/11/04\t東京電力\t2 円"}},
        {"nothing sure", {"2024/11/03\tUNKNOWN\t480 円"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString statement = card(c.usages);
        const Converted plain = convert(statement, nullptr);
        const Converted filled = convert(statement, &matcher);
        // Where the two differ, it is in the two empty cells of a row, and only there.
        const QStringList plainLines = plain.area.split(QStringLiteral("\r\n"));
        const QStringList filledLines = filled.area.split(QStringLiteral("\r\n"));
        ASSERT_EQ(plainLines.size(), filledLines.size());
        int changed = 0;
        for (qsizetype k = 0; k < plainLines.size(); ++k) {
            if (plainLines[k] == filledLines[k])
                continue;
            ++changed;
            QStringList cells = filledLines[k].split(u'\t');
            ASSERT_EQ(cells.size(), 5) << filledLines[k].toStdString();
            EXPECT_FALSE(cells[2].isEmpty());
            cells[2].clear();
            cells[3].clear();
            EXPECT_EQ(cells.join(u'\t'), plainLines[k]);
        }
        EXPECT_EQ(changed, filled.filled);
        // The clipboard has the area's rows, filled alike.
        for (const QString& row :
             filled.clipboard.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
            EXPECT_TRUE(filledLines.contains(row)) << row.toStdString();
        EXPECT_EQ(filled.clipboard.count(QStringLiteral("\r\n")),
                  plain.clipboard.count(QStringLiteral("\r\n")));
        if (filled.filled == 0) {
            EXPECT_EQ(filled.area, plain.area);
            EXPECT_EQ(filled.clipboard, plain.clipboard);
        }
    }
    const Converted first = convert(card(cases[0].usages), &matcher);
    EXPECT_EQ(first.clipboard, u8("2024/11/02\tUNKNOWN SHOP\t\t\t300\r\n"
                                  "2024/11/03\tﾛ-ｿﾝ 町田店 12\t食費\tコンビニ\t480\r\n"
                                  "2024/11/04\t東京電力\t水道光熱費\t電気\t5,000\r\n"
                                  "2024/11/05\tローソン 町田店 99\t食費\tコンビニ\t120\r\n"));
    EXPECT_EQ(first.filled, 3);
    EXPECT_EQ(first.notFilled, 1);
}

// The filled lines share their text with the clipboard's rows: changing a line afterwards, in
// place or longer, changes that line only.
TEST(FillStage, FilledLinesChangeByThemselvesAfterwards) {
    categories::CategoryMatcher matcher;
    const std::vector<categories::LearnedChoice> learned = {
        {u8("東京電力"), u8("水道光熱費"), u8("電気"), 6, u8("2025-06-30")}};
    matcher.setLearned(learned);
    const std::shared_ptr<const KindRegistry> kinds = KindRegistry::builtIn();
    ConversionRequest request;
    request.kinds = kinds;
    request.kind = kinds->find(u"card");
    request.categories = &matcher;
    Conversion conversion(std::move(request));
    LineModel lines(card({"2024/11/04\t東京電力\t5,000 円", "2024/11/05\t東京電力\t6,000 円"}));
    conversion.run(lines);
    const QString clipboard = conversion.rowsText();
    ASSERT_EQ(lines.line(1), u8("2024/11/04\t東京電力\t水道光熱費\t電気\t5,000"));
    lines.setLine(1, u8("short"));
    lines.setLine(2, u8("2024/11/05\t東京電力\t水道光熱費\t電気\t6,000\tand a longer line"));
    EXPECT_EQ(lines.text(),
              u8("ご利用明細\r\nshort\r\n"
                 "2024/11/05\t東京電力\t水道光熱費\t電気\t6,000\tand a longer line\r\n"
                 "以上\r\n"));
    EXPECT_EQ(conversion.rowsText(), clipboard);
    EXPECT_EQ(clipboard, u8("2024/11/04\t東京電力\t水道光熱費\t電気\t5,000\r\n"
                            "2024/11/05\t東京電力\t水道光熱費\t電気\t6,000\r\n"));
}

} // namespace
} // namespace tallemo
