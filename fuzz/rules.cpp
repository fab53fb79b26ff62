// A rules file and a statement from one input: the file is the part before the first line that
// reads "----", the statement the rest. Beyond not crashing while the file is read (a broken file
// is a problem, never a crash): a kind that loads gives as many rows as its recogniser counted
// cleanly read entries and as its walk over the text found entries with rows, its rows are those
// entries' cells joined by TABs, and every row has as many cells as the file's row template,
// none holding a TAB or a line break.

#include "converters/StatementKinds.h"
#include "rules/RulesKind.h"
#include "text/LineModel.h"
#include "text/OutputList.h"

#include <QString>

#include <toml++/toml.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace tallemo;

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "rules kind: %s\n", what);
        std::abort();
    }
}

// The number of cells of the row template of a file that the reader took, counted by the TOML
// reader here rather than asked of the kind. Characters from U+0080 to U+FFFF go to plane 15
// first, as the rules reader moves them: toml++ trips over some of them outside strings.
qsizetype rowTemplateCells(const QByteArray& file) {
    std::u32string moved;
    for (const char32_t c : QString::fromUtf8(file).toUcs4())
        moved += c >= 0x80 && c <= 0xFFFF ? c + 0xF0000 : c;
    const std::string shielded =
        QString::fromUcs4(moved.data(), static_cast<qsizetype>(moved.size())).toStdString();
    try {
        const toml::table table = toml::parse(shielded);
        const toml::array* row = table["row"].as_array();
        return row == nullptr ? -1 : static_cast<qsizetype>(row->size());
    } catch (const toml::parse_error&) {
        return -1;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype split = input.indexOf("\n----\n");
    const QByteArray file = split < 0 ? input : input.left(split + 1);
    const QString statement = split < 0 ? QString() : QString::fromUtf8(input.mid(split + 6));

    rules::RulesKindOrProblem read = rules::readRulesKind(QStringLiteral("fuzz.toml"), file, {});
    if (std::holds_alternative<rules::RulesProblem>(read))
        return 0;
    const auto& kind = std::get<StatementKind>(read);

    const LineModel original = LineModel::fromPastedText(statement);
    const Recognition recognition = kind.recognise(original);
    const rules::RulesScan scan = rules::scanWithRules(kind, original);
    LineModel Lines = original;
    std::vector<SkippedEntry> skipped;
    ConvertContext context;
    context.skipped = &skipped;
    const std::optional<OutputList> rows = kind.convert(Lines, context);

    const qsizetype cells = rowTemplateCells(file);
    check(cells > 0, "a file that loads has a row template");
    QString expected;
    int withRows = 0;
    for (const rules::RulesScan::Entry& entry : scan.entries) {
        if (entry.skipped)
            continue;
        ++withRows;
        check(entry.cells.size() == cells, "every row has as many cells as the row template");
        for (const QString& cell : entry.cells)
            check(std::none_of(cell.begin(), cell.end(),
                               [](QChar c) {
                                   return c == u'\t' || c == u'\r' || c == u'\n' ||
                                          c == QChar(0x2028) || c == QChar(0x2029);
                               }),
                  "a cell holds no TAB or line break");
        expected += entry.cells.join(u'\t') + QStringLiteral("\r\n");
    }
    check(recognition.entries == static_cast<int>(scan.entries.size()),
          "the recogniser counts the walk's entries");
    check(recognition.wellFormed == withRows, "the recogniser's clean entries are the rows");
    check(static_cast<int>(skipped.size()) == recognition.entries - withRows,
          "every entry without a row is counted");
    check(rows.has_value() == (withRows > 0), "rows exactly when an entry gives one");
    if (rows) {
        check(rows->count() == withRows, "one row per cleanly read entry");
        check(rows->text() == expected, "the rows are the entries' cells");
        check(Lines.text() == expected, "the text becomes the rows");
    } else {
        check(Lines.text() == original.text(), "a text without rows stays as it was");
    }
    return 0;
}
