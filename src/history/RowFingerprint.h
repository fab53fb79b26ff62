#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QCryptographicHash>
#include <QString>

#include <array>
#include <cstddef>
#include <cstring>
#include <optional>

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

// Fingerprints the rows of one kind. The identifying cells are all of a row's cells but the
// remarks cell (Suica, 保険), which a setting adds: a row copied with and without it is the same
// row.
class RowFingerprinter {
public:
    // remarkCell: the remarks cell's text when the conversion added it to the rows.
    RowFingerprinter(const QString& kindId, const std::optional<QString>& remarkCell);

    // row: one row in UTF-8, without its line break.
    Fingerprint operator()(QByteArrayView row);

    // The part of the row the fingerprint is taken of.
    QByteArrayView identifyingCells(QByteArrayView row) const;

private:
    QByteArray m_prefix;       // the kind's id and a TAB
    QByteArray m_remarkSuffix; // a TAB and the remarks cell, or empty
    QCryptographicHash m_hash{QCryptographicHash::Sha256};
};

} // namespace tallemo::history
