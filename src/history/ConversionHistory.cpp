#include "history/ConversionHistory.h"

#include "converters/StatementKinds.h"

namespace tallemo::history {

namespace {

std::optional<QString> remarkCellOf(const StatementKind& kind, bool remark) {
    if (!remark || !kind.remark)
        return std::nullopt;
    return kind.remark->cell;
}

} // namespace

ConversionHistory::ConversionHistory(HistoryStore& store, const StatementKind& kind, bool remark)
    : m_store(store), m_kindId(kind.id), m_fingerprint(kind.id, remarkCellOf(kind, remark)) {}

void ConversionHistory::take(
    QByteArrayView rows, const std::function<void(QByteArrayView row, bool copiedBefore)>& each) {
    m_batch.clear();
    m_unknown.clear();
    qsizetype start = 0;
    while (start < rows.size()) {
        qsizetype end = rows.indexOf('\n', start);
        end = end < 0 ? rows.size() : end + 1;
        const QByteArrayView row = rows.sliced(start, end - start);
        QByteArrayView cells = row;
        if (cells.endsWith('\n'))
            cells.chop(1);
        if (cells.endsWith('\r'))
            cells.chop(1);
        const Fingerprint fingerprint = m_fingerprint(cells);
        if (m_seen.try_emplace(fingerprint).second)
            m_unknown.push_back(fingerprint);
        m_batch.emplace_back(row, fingerprint);
        start = end;
    }

    m_store.lookUp(m_unknown, [this](const Fingerprint& fingerprint, const EarlierCopies& earlier) {
        m_seen[fingerprint].earlier = earlier;
    });

    for (const auto& [row, fingerprint] : m_batch) {
        Seen& seen = m_seen[fingerprint];
        ++seen.inThisConversion;
        ++m_rows;
        const bool copiedBefore = seen.inThisConversion <= seen.earlier.mostInOne;
        if (copiedBefore) {
            ++m_copiedBefore;
            m_latestEarlierCopy = std::max(m_latestEarlierCopy.value_or(seen.earlier.lastCopied),
                                           seen.earlier.lastCopied);
        }
        each(row, copiedBefore);
    }
}

bool ConversionHistory::record() {
    std::vector<std::pair<Fingerprint, int>> rows;
    rows.reserve(m_seen.size());
    for (const auto& [fingerprint, seen] : m_seen)
        rows.emplace_back(fingerprint, seen.inThisConversion);
    return m_store.record(m_kindId, rows);
}

} // namespace tallemo::history
