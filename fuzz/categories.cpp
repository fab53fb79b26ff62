// A categories rules file and pasted spreadsheet rows from one input: the file is the part
// before the first line that reads "----", the rows the rest. Beyond not crashing (a broken file
// is a problem, never a crash): learning the rows and filling them again keeps every line that
// is not filled as it was, and a filled line differs from its original only in its cells 3 and
// 4, which held nothing and now hold no TAB or line break.

#include "categories/CategoryMatcher.h"
#include "categories/CategoryRules.h"
#include "categories/SheetRows.h"

#include <QString>

#include <cstdio>
#include <cstdlib>

namespace {

using namespace tallemo::categories;

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "categories: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype cut = input.indexOf("\n----\n");
    const QByteArray file = cut < 0 ? input : input.first(cut);
    const QString rows = cut < 0 ? QString() : QString::fromUtf8(input.sliced(cut + 6));

    CategoryMatcher matcher;
    std::variant<CategoryRules, tallemo::rules::RulesProblem> rules =
        readCategoryRules(QStringLiteral("categories.toml"), file);
    if (auto* read = std::get_if<CategoryRules>(&rules))
        matcher.setRules(std::move(*read));

    const SheetReading reading = readSheet(rows);
    std::vector<LearnedChoice> learned;
    for (const SheetRow& row : reading.rows) {
        check(!row.cell3.isEmpty() || !row.cell4.isEmpty(), "a row without cells was learned");
        learned.push_back({row.description, row.cell3, row.cell4, 1, row.day});
    }
    matcher.setLearned(learned);

    FillCounts counts;
    const QString filled = matcher.fillText(u"card", rows, &counts);
    const QList<QStringView> before = QStringView(rows).split(u'\n');
    const QList<QStringView> after = QStringView(filled).split(u'\n');
    check(before.size() == after.size(), "filling changed the number of lines");
    int changedLines = 0;
    for (qsizetype k = 0; k < before.size(); ++k) {
        if (before[k] == after[k])
            continue;
        ++changedLines;
        const QList<QStringView> old = before[k].split(u'\t');
        const QList<QStringView> now = after[k].split(u'\t');
        check(old.size() == now.size(), "filling changed the number of cells");
        for (qsizetype c = 0; c < old.size(); ++c) {
            if (c == 2 || c == 3) {
                check(old[c].isEmpty(), "filling wrote over a cell");
                check(!now[c].contains(u'\r'), "a filled cell holds a line break");
            } else {
                check(old[c] == now[c], "filling changed another cell");
            }
        }
    }
    check(changedLines == counts.filled, "the count of filled rows is wrong");
    return 0;
}
