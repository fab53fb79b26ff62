#include "history/RowFingerprint.h"

#include "converters/StatementKinds.h"
#include "rules/CellFilters.h"

#include <QStringView>

#include <algorithm>

namespace tallemo::history {

RowFingerprinter::RowFingerprinter(const StatementKind& kind, bool remarkOn)
    : m_prefix(kind.id.toUtf8() + '\t'),
      // The mark keeps an identity from ever equalling an earlier fingerprint of the same cells.
      m_identityPrefix("identity 2\t" + kind.historyId().toUtf8() + '\t') {
    if (const std::optional<QString> cell = kind.remarkCell(remarkOn))
        m_remarkSuffix = '\t' + cell->toUtf8();
    if (kind.layout) {
        m_date = kind.layout->date;
        m_description = kind.layout->description;
        m_amount = kind.layout->amount;
        m_cells = kind.layout->cells;
    }
}

QByteArrayView RowFingerprinter::identifyingCells(QByteArrayView row) const {
    if (!m_remarkSuffix.isEmpty() && row.endsWith(m_remarkSuffix))
        return row.first(row.size() - m_remarkSuffix.size());
    return row;
}

Fingerprint RowFingerprinter::hash(QByteArrayView prefix, QByteArrayView cells) {
    m_hash.reset();
    m_hash.addData(prefix);
    m_hash.addData(cells);
    Fingerprint fingerprint{};
    const QByteArrayView result = m_hash.resultView();
    std::memcpy(fingerprint.data(), result.data(), fingerprint.size());
    return fingerprint;
}

namespace {

// A blank as the trimming of a description takes it: ASCII blanks, U+3000 and U+00A0.
bool isBlankByte(QByteArrayView text, qsizetype at, bool fromEnd, qsizetype& width) {
    const auto byte = [&](qsizetype k) { return static_cast<unsigned char>(text[k]); };
    if (fromEnd) {
        if (byte(at) == ' ' || byte(at) == '\t') {
            width = 1;
            return true;
        }
        if (at >= 1 && byte(at - 1) == 0xC2 && byte(at) == 0xA0) {
            width = 2;
            return true;
        }
        if (at >= 2 && byte(at - 2) == 0xE3 && byte(at - 1) == 0x80 && byte(at) == 0x80) {
            width = 3;
            return true;
        }
        return false;
    }
    if (byte(at) == ' ' || byte(at) == '\t') {
        width = 1;
        return true;
    }
    if (at + 1 < text.size() && byte(at) == 0xC2 && byte(at + 1) == 0xA0) {
        width = 2;
        return true;
    }
    if (at + 2 < text.size() && byte(at) == 0xE3 && byte(at + 1) == 0x80 && byte(at + 2) == 0x80) {
        width = 3;
        return true;
    }
    return false;
}

QByteArrayView trimmed(QByteArrayView text) {
    qsizetype width = 0;
    while (!text.isEmpty() && isBlankByte(text, 0, false, width))
        text = text.sliced(width);
    while (!text.isEmpty() && isBlankByte(text, text.size() - 1, true, width))
        text.chop(width);
    return text;
}

} // namespace

RowPrints RowFingerprinter::operator()(QByteArrayView row) {
    bool hasEarlier = false;
    const Fingerprint print = identity(row, hasEarlier);
    if (!hasEarlier)
        return {print, std::nullopt};
    return {print, earlier(row)};
}

Fingerprint RowFingerprinter::earlier(QByteArrayView row) {
    return hash(m_prefix, identifyingCells(row));
}

Fingerprint RowFingerprinter::identity(QByteArrayView row, bool& hasEarlier) {
    hasEarlier = false;
    const QByteArrayView cells = identifyingCells(row);
    if (m_cells == 0 || m_date < 0 || m_amount < 0 || m_description < 0 || m_date >= m_cells ||
        m_amount >= m_cells || m_description >= m_cells)
        return earlier(row);

    // The row's cells, when it has the kind's count of them.
    std::array<QByteArrayView, 16> parts;
    const auto wanted = static_cast<std::size_t>(m_cells);
    if (wanted > parts.size())
        return earlier(row);
    std::size_t count = 0;
    qsizetype start = 0;
    while (true) {
        const qsizetype tab = cells.indexOf('\t', start);
        if (count == wanted)
            return earlier(row);
        parts.at(count++) = cells.sliced(start, (tab < 0 ? cells.size() : tab) - start);
        if (tab < 0)
            break;
        start = tab + 1;
    }
    if (count != wanted)
        return earlier(row);

    const std::optional<QString> date =
        rules::readDate(QString::fromUtf8(parts.at(static_cast<std::size_t>(m_date))));
    const std::optional<QString> amount =
        rules::readYen(QString::fromUtf8(parts.at(static_cast<std::size_t>(m_amount))));
    if (!date || !amount)
        return earlier(row);
    m_identity.resize(0);
    m_identity += date->toLatin1();
    m_identity += '\t';
    m_identity += trimmed(parts.at(static_cast<std::size_t>(m_description)));
    m_identity += '\t';
    m_identity += amount->toLatin1();
    hasEarlier = true;
    return hash(m_identityPrefix, m_identity);
}

} // namespace tallemo::history
