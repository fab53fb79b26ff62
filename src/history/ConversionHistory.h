#pragma once

#include "history/HistoryStore.h"
#include "history/RowFingerprint.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tallemo {
struct StatementKind;
}

namespace tallemo::history {

// One conversion's rows on their way through the history: which of them went to the clipboard
// before, and, once they have gone again, the record of all of them.
//
// Identical rows are real (two coffees at the same shop on the same day): the n-th copy of a row
// in this conversion counts as copied before only when an earlier conversion held that row at
// least n times.
class ConversionHistory {
public:
    // remark: whether the conversion added the kind's remarks cell. expectedRows: about how many
    // rows are to come (the statement's lines will do), when they come a part at a time; it
    // decides between reading the history whole and looking each row up.
    ConversionHistory(HistoryStore& store, const StatementKind& kind, bool remark,
                      qsizetype expectedRows = 0);

    // Takes the next rows, in UTF-8, each ending in CR LF, and calls each(row, copiedBefore) for
    // every one of them in order (row with its CR LF). The rows' earlier copies are looked up a
    // batch at a time.
    void take(QByteArrayView rows,
              const std::function<void(QByteArrayView row, bool copiedBefore)>& each);

    int rows() const { return m_rows; }
    int copiedBefore() const { return m_copiedBefore; }
    // The latest earlier copy among the rows copied before, in seconds since the epoch.
    std::optional<qint64> latestEarlierCopy() const { return m_latestEarlierCopy; }

    // Records every row taken, in one transaction. False when the history could not be written.
    bool record();

private:
    struct Seen {
        int inThisConversion = 0;
        EarlierCopies earlier;
    };
    // How the earlier copies of the rows are found, decided at the first rows.
    enum class LookUp { Undecided, Nothing, ReadWhole, RowByRow };

    void decideLookUp(qsizetype rowsNow);

    HistoryStore& m_store;
    QString m_kindId;
    QString m_historyId;
    qsizetype m_expectedRows;
    LookUp m_lookUp = LookUp::Undecided;
    RowFingerprinter m_fingerprint;
    std::unordered_map<Fingerprint, Seen, FingerprintHash> m_seen;
    struct TakenRow {
        QByteArrayView row;
        QByteArrayView cells; // the row without its line break
        Fingerprint identity{};
        bool hasEarlier = false; // whether earlier versions recorded it under another fingerprint
        int copy = 0;            // it is the copy-th of its identity in this conversion
        Seen* seen = nullptr;    // its identity's entry in m_seen (whose nodes stay put)
        Seen* earlier = nullptr; // that of its earlier fingerprint, where that was needed
    };
    // Reused from batch to batch.
    std::vector<TakenRow> m_batch;
    std::vector<Fingerprint> m_unknown;
    int m_rows = 0;
    int m_copiedBefore = 0;
    std::optional<qint64> m_latestEarlierCopy;
};

} // namespace tallemo::history
