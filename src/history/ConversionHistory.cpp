#include "history/ConversionHistory.h"

#include "converters/StatementKinds.h"

#include <algorithm>

namespace tallemo::history {

ConversionHistory::ConversionHistory(HistoryStore& store, const StatementKind& kind, bool remark,
                                     qsizetype expectedRows)
    : m_store(store), m_kindId(kind.id), m_historyId(kind.historyId()),
      m_expectedRows(expectedRows), m_fingerprint(kind, remark) {}

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
    const auto found = [this](const Fingerprint& fingerprint, const EarlierCopies& earlier) {
        m_seen[fingerprint].earlier = earlier;
    };
    // Rows of a kind that repeats another are kept under that kind's id; earlier versions kept
    // them under the kind's own.
    m_store.lookUpAll(m_historyId, found);
    if (m_kindId != m_historyId)
        m_store.lookUpAll(m_kindId, found);
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
        const auto [entry, added] = m_seen.try_emplace(taken.prints.identity);
        taken.seen = &entry->second;
        if (added && m_lookUp == LookUp::RowByRow)
            m_unknown.push_back(taken.prints.identity);
        if (taken.prints.earlier) {
            const auto [earlierEntry, earlierAdded] = m_seen.try_emplace(*taken.prints.earlier);
            taken.earlier = &earlierEntry->second;
            if (earlierAdded && m_lookUp == LookUp::RowByRow)
                m_unknown.push_back(*taken.prints.earlier);
        }
    }
    m_store.lookUp(m_unknown, [this](const Fingerprint& fingerprint, const EarlierCopies& earlier) {
        m_seen[fingerprint].earlier = earlier;
    });

    for (const TakenRow& taken : m_batch) {
        Seen& seen = *taken.seen;
        ++seen.inThisConversion;
        ++m_rows;
        // The row as an earlier version recorded it counts as much as under its identity.
        EarlierCopies earlier = seen.earlier;
        if (taken.earlier != nullptr && taken.earlier != taken.seen) {
            const EarlierCopies& asBefore = taken.earlier->earlier;
            earlier.lastCopied = earlier.mostInOne >= asBefore.mostInOne
                                     ? earlier.lastCopied
                                     : std::max(earlier.lastCopied, asBefore.lastCopied);
            earlier.mostInOne = std::max(earlier.mostInOne, asBefore.mostInOne);
        }
        const bool copiedBefore = seen.inThisConversion <= earlier.mostInOne;
        if (copiedBefore) {
            ++m_copiedBefore;
            m_latestEarlierCopy =
                std::max(m_latestEarlierCopy.value_or(earlier.lastCopied), earlier.lastCopied);
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
    return m_store.record(m_historyId, rows);
}

} // namespace tallemo::history
