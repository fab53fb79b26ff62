#include "history/ConversionHistory.h"

#include "converters/StatementKinds.h"

#include <algorithm>

namespace tallemo::history {

ConversionHistory::ConversionHistory(HistoryStore& store, const StatementKind& kind, bool remark,
                                     qsizetype expectedRows)
    : m_store(store), m_kindId(kind.id), m_historyId(kind.historyId()),
      m_expectedRows(expectedRows), m_fingerprint(kind, remark) {}

namespace {

// A look-up per row walks the b-tree from its root; reading the history from end to end costs
// far less per row: about 1.2 against 0.37 µs, found and handed over, in the window's 1 MiB
// statements. So a history up to this many times the statement's rows is read whole (its rows of
// other kinds are skipped inside SQLite), and a new or empty one is not read at all.
constexpr qint64 kReadWholeUpTo = 3;

} // namespace

void ConversionHistory::decideLookUp(qsizetype rowsNow) {
    const qint64 rows = kReadWholeUpTo * std::max(m_expectedRows, rowsNow);
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
        TakenRow taken;
        taken.row = row;
        taken.cells = cells;
        taken.identity = m_fingerprint.identity(cells, taken.hasEarlier);
        m_batch.push_back(taken);
        start = end;
    }
    if (m_lookUp == LookUp::Undecided)
        decideLookUp(static_cast<qsizetype>(m_batch.size()));
    const auto lookUpUnknown = [this] {
        m_store.lookUp(m_unknown,
                       [this](const Fingerprint& fingerprint, const EarlierCopies& earlier) {
                           m_seen[fingerprint].earlier = earlier;
                       });
        m_unknown.clear();
    };

    m_unknown.clear();
    for (TakenRow& taken : m_batch) {
        const auto [entry, added] = m_seen.try_emplace(taken.identity);
        taken.seen = &entry->second;
        if (added && m_lookUp == LookUp::RowByRow)
            m_unknown.push_back(taken.identity);
    }
    lookUpUnknown();

    // The fingerprint an earlier version recorded a row under is hashed and looked up only where
    // the identity leaves the row new: a row found often enough under its identity is copied
    // whatever the earlier one holds (and its identity, recorded later, has the later copy).
    for (TakenRow& taken : m_batch) {
        taken.copy = ++taken.seen->inThisConversion;
        if (!taken.hasEarlier || taken.copy <= taken.seen->earlier.mostInOne)
            continue;
        const Fingerprint earlier = m_fingerprint.earlier(taken.cells);
        const auto [entry, added] = m_seen.try_emplace(earlier);
        taken.earlier = &entry->second;
        if (added && m_lookUp == LookUp::RowByRow)
            m_unknown.push_back(earlier);
    }
    lookUpUnknown();

    for (const TakenRow& taken : m_batch) {
        ++m_rows;
        // The row as an earlier version recorded it counts as much as under its identity.
        EarlierCopies earlier = taken.seen->earlier;
        if (taken.earlier != nullptr && taken.earlier != taken.seen) {
            const EarlierCopies& asBefore = taken.earlier->earlier;
            earlier.lastCopied = earlier.mostInOne >= asBefore.mostInOne
                                     ? earlier.lastCopied
                                     : std::max(earlier.lastCopied, asBefore.lastCopied);
            earlier.mostInOne = std::max(earlier.mostInOne, asBefore.mostInOne);
        }
        const bool copiedBefore = taken.copy <= earlier.mostInOne;
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
