#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <cstddef>
#include <cstring>
#include <vector>

namespace tallemo::categories {

// SHA-256 of a spreadsheet row's date, description, amount and occurrence: the row the user
// pastes again and again is one row.
using RowKey = std::array<char, 32>;

struct RowKeyHash {
    // The bytes are a cryptographic hash already.
    std::size_t operator()(const RowKey& key) const noexcept {
        std::size_t value = 0;
        std::memcpy(&value, key.data(), sizeof value);
        return value;
    }
};

// One row of a spreadsheet with the user's two cells.
struct SheetRow {
    RowKey key{};
    QString day; // yyyy-MM-dd
    QString description;
    QString cell3;
    QString cell4;
    qint64 amount = 0; // yen
};

// What a pasted sheet holds.
struct SheetReading {
    std::vector<SheetRow> rows; // rows with at least one of cells 3 and 4
    int withoutCells = 0;       // rows whose cells 3 and 4 are both empty
    int notRows = 0;            // headers, totals, blank lines, anything else
};

// The cells of one line as a spreadsheet copies it: TAB-separated, a trailing CR dropped, a cell
// in double quotes taken out of them ("" inside is one quote). A lone quote stays as it is.
QStringList sheetCells(QStringView line);

// Reads rows of date, description, cell 3, cell 4, amount (further cells ignored). The date in
// any form the rules' date filter reads, the amount a whole number of yen. Two rows alike in
// date, description and amount are told apart by which of them it is.
SheetReading readSheet(QStringView text);

} // namespace tallemo::categories
