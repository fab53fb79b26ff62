#include "history/ConversionHistory.h"

#include "converters/StatementKinds.h"

#include <algorithm>

namespace tallemo::history {

namespace {

std::optional<QString> remarkCellOf(const StatementKind& kind, bool remark) {
    if (!remark || !kind.remark)
        return std::nullopt;
    return kind.remark->cell;
}

} // namespace

ConversionHistory::ConversionHistory(HistoryStore& store, const StatementKind& kind, bool remark,
                                     qsizetype expectedRows)
    : m_store(store), m_kindId(kind.id), m_expectedRows(expectedRows),
      m_fingerprint(kind.id, remarkCellOf(kind, remark)) {}

// A look-up per row walks the b-tree from its root; reading the history from end to end costs
// far less per row. So a history no larger than the statement is read whole (its rows of other
// kinds are skipped inside SQLite), and a new or empty one is not read at all.
void ConversionHistory::decideLookUp(qsizetype rowsNow) {
    const qint64 rows = std::max(m_expectedRows, rowsNow);
    const std::optional<qint64> held = m_store.rowCount(rows + 1);
    if (!held || *held == 0) {
        m_lookUp = LookUp::Nothing;
        return;
    }
    if (*held > rows) {
        m_lookUp = LookUp::RowByRow;
        return;
    }
    m_lookUp = LookUp::ReadWhole;
    m_seen.reserve(static_cast<std::size_t>(*held));
    m_store.lookUpAll(m_kindId,
                      [this](const Fingerprint& fingerprint, const EarlierCopies& earlier) {
                          m_seen[fingerprint].earlier = earlier;
                      });
}

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
        m_batch.push_back({row, m_fingerprint(cells)});
        start = end;
    }
    if (m_lookUp == LookUp::Undecided)
        decideLookUp(static_cast<qsizetype>(m_batch.size()));
    for (TakenRow& taken : m_batch) {
        const auto [entry, added] = m_seen.try_emplace(taken.fingerprint);
        taken.seen = &entry->second;
        if (added && m_lookUp == LookUp::RowByRow)
            m_unknown.push_back(taken.fingerprint);
    }
    m_store.lookUp(m_unknown, [this](const Fingerprint& fingerprint, const EarlierCopies& earlier) {
        m_seen[fingerprint].earlier = earlier;
    });

    for (const TakenRow& taken : m_batch) {
        Seen& seen = *taken.seen;
        ++seen.inThisConversion;
        ++m_rows;
        const bool copiedBefore = seen.inThisConversion <= seen.earlier.mostInOne;
        if (copiedBefore) {
            ++m_copiedBefore;
            m_latestEarlierCopy = std::max(m_latestEarlierCopy.value_or(seen.earlier.lastCopied),
                                           seen.earlier.lastCopied);
        }
        each(taken.row, copiedBefore);
    }
}

bool ConversionHistory::record() {
    std::vector<std::pair<Fingerprint, int>> rows;
    rows.reserve(m_seen.size());
    for (const auto& [fingerprint, seen] : m_seen) {
        // A history read whole holds rows this conversion does not have.
        if (seen.inThisConversion > 0)
            rows.emplace_back(fingerprint, seen.inThisConversion);
    }
    return m_store.record(m_kindId, rows);
}

} // namespace tallemo::history
