#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QCryptographicHash>
#include <QString>

#include <array>
#include <cstddef>
#include <cstring>
#include <optional>

namespace tallemo {
struct StatementKind;
}

namespace tallemo::history {

// SHA-256 of a row's kind and identifying cells: what the history keeps instead of the row.
using Fingerprint = std::array<char, 32>;

struct FingerprintHash {
    // The bytes are a cryptographic hash already: any eight of them are as good as a hash of all.
    std::size_t operator()(const Fingerprint& fingerprint) const noexcept {
        std::size_t value = 0;
        std::memcpy(&value, fingerprint.data(), sizeof value);
        return value;
    }
};

// A row's fingerprints: the one it is recorded under, and the one an earlier version of the
// program recorded it under, where that differs.
struct RowPrints {
    Fingerprint identity{};
    std::optional<Fingerprint> earlier;
};

// Fingerprints the rows of one kind.
//
// A row's identity is its date as the date filter reads it, its description as written (trimmed)
// and its amount as a number, under the id of the kind whose rows it repeats (a card company's
// mail and its CSV repeat the statement's rows): so "1,500" and "1500", "2024/11/03" and
// "2024-11-03" are one row, a usage copied from a mail is already copied when the statement
// brings it, and the user's cells (the category) and the remarks cell are never part of it.
//
// Rows that are not such cells (a line the kind could not split, a kind without a row layout)
// are identified as before: by the kind's own id and every cell but the remarks cell. Rows
// recorded that way by earlier versions still count: their fingerprint comes along as `earlier`.
class RowFingerprinter {
public:
    // remarkOn: whether the conversion added the kind's remarks cell to the rows.
    RowFingerprinter(const StatementKind& kind, bool remarkOn);

    // row: one row in UTF-8, without its line break.
    RowPrints operator()(QByteArrayView row);

    // The row's identity alone; hasEarlier tells whether earlier versions recorded the row under
    // another fingerprint (earlier(row)). Each is a hash of its own: a row found under its
    // identity often needs no second one.
    Fingerprint identity(QByteArrayView row, bool& hasEarlier);
    Fingerprint earlier(QByteArrayView row);

    // The part of the row the earlier fingerprint is taken of: all but the remarks cell.
    QByteArrayView identifyingCells(QByteArrayView row) const;

private:
    Fingerprint hash(QByteArrayView prefix, QByteArrayView cells);

    QByteArray m_prefix;         // the kind's own id and a TAB
    QByteArray m_identityPrefix; // a version mark, the history id and a TAB
    QByteArray m_remarkSuffix;   // a TAB and the remarks cell, or empty
    int m_date = -1;
    int m_description = -1;
    int m_amount = -1;
    int m_cells = 0;
    QByteArray m_identity; // reused for each row
    QCryptographicHash m_hash{QCryptographicHash::Sha256};
};

} // namespace tallemo::history
