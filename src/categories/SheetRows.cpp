#include "categories/SheetRows.h"

#include "rules/CellFilters.h"

#include <QCryptographicHash>
#include <QHash>

#include <algorithm>
#include <unordered_map>

namespace tallemo::categories {

namespace {

QString unquoted(QStringView cell) {
    if (cell.size() < 2 || !cell.startsWith(u'"') || !cell.endsWith(u'"'))
        return cell.toString();
    QString text = cell.sliced(1, cell.size() - 2).toString();
    text.replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return text;
}

// The cell's text: the cell itself, or when it is in double quotes its text out of them, made in
// buffer.
QStringView unquotedInto(QStringView cell, QString& buffer) {
    if (cell.size() < 2 || !cell.startsWith(u'"') || !cell.endsWith(u'"'))
        return cell;
    buffer = unquoted(cell);
    return buffer;
}

struct ViewHash {
    std::size_t operator()(QStringView text) const noexcept { return qHash(text); }
};

bool holdsControlCharacter(QStringView text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() < 0x20 || c.unicode() == 0x7F || c == QChar(0x2028) ||
               c == QChar(0x2029);
    });
}

} // namespace

QStringList sheetCells(QStringView line) {
    if (line.endsWith(u'\r'))
        line.chop(1);
    QStringList cells;
    for (const QStringView cell : line.split(u'\t'))
        cells << unquoted(cell);
    return cells;
}

SheetReading readSheet(QStringView text) {
    SheetReading reading;
    const QList<QStringView> lines = text.split(u'\n');
    reading.rows.reserve(static_cast<std::size_t>(lines.size()));
    // How often each (date, description, amount) has come so far in this text.
    QHash<QString, int> occurrences;
    occurrences.reserve(lines.size());
    // A sheet has a few categories for thousands of rows: their rows share one copy of each.
    std::unordered_map<QStringView, QString, ViewHash> cellTexts;
    const auto shared = [&cellTexts](QStringView cell) {
        auto found = cellTexts.find(cell);
        if (found == cellTexts.end()) {
            QString copy = cell.toString();
            found = cellTexts.emplace(QStringView(copy), copy).first;
        }
        return found->second;
    };
    QCryptographicHash hash(QCryptographicHash::Sha256);
    // Reused from line to line: a pasted sheet may have a hundred thousand rows.
    std::array<QStringView, 5> cells;
    std::array<QString, 5> unquotedCells;
    for (QStringView line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        // The first five cells; further ones are ignored.
        qsizetype start = 0;
        std::size_t found = 0;
        while (found < cells.size()) {
            const qsizetype tab = line.indexOf(u'\t', start);
            const QStringView cell = line.sliced(start, (tab < 0 ? line.size() : tab) - start);
            cells.at(found) = unquotedInto(cell, unquotedCells.at(found));
            ++found;
            if (tab < 0)
                break;
            start = tab + 1;
        }
        if (found < cells.size()) {
            ++reading.notRows;
            continue;
        }
        std::optional<QString> date = rules::readDate(cells[0].trimmed());
        const QStringView description = cells[1].trimmed();
        const std::optional<QString> amount = rules::readYen(cells[4].trimmed());
        if (!date || description.isEmpty() || !amount) {
            ++reading.notRows;
            continue;
        }
        const QStringView cell3 = cells[2].trimmed();
        const QStringView cell4 = cells[3].trimmed();
        // A control character (a lone CR, a line break from a quoted cell) in a cell filled in
        // later would split or shift the row it lands in: such a line is no row to learn from.
        if (holdsControlCharacter(description) || holdsControlCharacter(cell3) ||
            holdsControlCharacter(cell4)) {
            ++reading.notRows;
            continue;
        }
        if (cell3.isEmpty() && cell4.isEmpty()) {
            ++reading.withoutCells;
            continue;
        }
        QString identity;
        identity.reserve(date->size() + description.size() + amount->size() + 8);
        identity += *date;
        identity += u'\t';
        identity += description;
        identity += u'\t';
        identity += *amount;
        const int occurrence = occurrences[identity]++;
        identity += u'\t';
        identity += QString::number(occurrence);
        hash.reset();
        hash.addData(identity.toUtf8());
        SheetRow& row = reading.rows.emplace_back();
        std::memcpy(row.key.data(), hash.resultView().data(), row.key.size());
        row.day = std::move(*date);
        row.day.replace(u'/', u'-');
        row.description = description.toString();
        row.cell3 = shared(cell3);
        row.cell4 = shared(cell4);
        row.amount = amount->toLongLong();
    }
    // A text that ends with a line break has no line after it.
    if (text.endsWith(u'\n') || text.isEmpty())
        --reading.notRows;
    return reading;
}

} // namespace tallemo::categories
