#include "history/HistoryStore.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

#include <algorithm>
#include <cstring>

namespace tallemo::history {

namespace {

// A statement takes a batch of fingerprints as one blob, cut into its 32-byte pieces by SQL:
// binding each one as a parameter of its own costs Qt a name lookup per parameter, which made a
// long statement's lookups and records take seconds.
constexpr std::size_t kBatch = 8192;
// Rows 0 .. n - 1 (n given twice, as plain "?" parameters: Qt binds those by position without
// looking up their names), and the n-th fingerprint of the blob given after.
const QString kCountingRows =
    QStringLiteral("i(n) AS (SELECT 0 WHERE ? > 0 UNION ALL SELECT n + 1 FROM i WHERE n + 1 < ?)");
const QString kFingerprintAt = QStringLiteral("substr(?, n * 32 + 1, 32)");

store::StoreSchema historySchema() {
    return {QStringLiteral("コピー履歴"),
            kSchemaVersion,
            {
                {QStringLiteral("CREATE TABLE copied_rows ("
                                " fingerprint BLOB PRIMARY KEY NOT NULL,"
                                " kind TEXT NOT NULL,"
                                " first_copied INTEGER NOT NULL,"
                                " last_copied INTEGER NOT NULL,"
                                " most_in_one INTEGER NOT NULL"
                                ") WITHOUT ROWID")},
            }};
}

// One row of (fingerprint, most_in_one, last_copied).
void deliverFound(const QSqlQuery& query,
                  const std::function<void(const Fingerprint&, const EarlierCopies&)>& found) {
    const QByteArray blob = query.value(0).toByteArray();
    Fingerprint fingerprint{};
    if (blob.size() != static_cast<qsizetype>(fingerprint.size()))
        return;
    std::memcpy(fingerprint.data(), blob.constData(), fingerprint.size());
    found(fingerprint, EarlierCopies{query.value(1).toInt(), query.value(2).toLongLong()});
}

QByteArray packed(std::span<const Fingerprint> fingerprints) {
    // Copied in one piece: appending each one costs QByteArray's checks per fingerprint.
    static_assert(sizeof(Fingerprint) == 32);
    QByteArray blob(static_cast<qsizetype>(fingerprints.size()) *
                        static_cast<qsizetype>(sizeof(Fingerprint)),
                    Qt::Uninitialized);
    std::memcpy(blob.data(), fingerprints.data(), fingerprints.size_bytes());
    return blob;
}

} // namespace

HistoryStore::HistoryStore(QString path, Clock clock, OpenOptions options)
    : m_store(std::move(path), std::move(clock), options, historySchema()) {}

HistoryStore::~HistoryStore() = default;

void HistoryStore::lookUp(
    std::span<const Fingerprint> fingerprints,
    const std::function<void(const Fingerprint&, const EarlierCopies&)>& found) {
    if (!m_store.isOpen() || fingerprints.empty())
        return;
    std::vector<Fingerprint> sorted(fingerprints.begin(), fingerprints.end());
    std::sort(sorted.begin(), sorted.end());
    QSqlQuery query(m_store.database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("WITH RECURSIVE %1 SELECT r.fingerprint, r.most_in_one, "
                                 "r.last_copied FROM i CROSS JOIN copied_rows AS r "
                                 "ON r.fingerprint = %2")
                      .arg(kCountingRows, kFingerprintAt));
    for (std::size_t start = 0; start < sorted.size(); start += kBatch) {
        const std::span<const Fingerprint> batch = std::span<const Fingerprint>(sorted).subspan(
            start, std::min(kBatch, sorted.size() - start));
        query.bindValue(0, static_cast<qlonglong>(batch.size()));
        query.bindValue(1, static_cast<qlonglong>(batch.size()));
        query.bindValue(2, packed(batch));
        if (!query.exec()) {
            m_store.readFailed(query.lastError());
            return;
        }
        while (query.next())
            deliverFound(query, found);
    }
}

void HistoryStore::lookUpAll(
    const QString& kindId,
    const std::function<void(const Fingerprint&, const EarlierCopies&)>& found) {
    if (!m_store.isOpen())
        return;
    QSqlQuery query(m_store.database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral(
        "SELECT fingerprint, most_in_one, last_copied FROM copied_rows WHERE kind = ?"));
    query.bindValue(0, kindId);
    if (!query.exec()) {
        m_store.readFailed(query.lastError());
        return;
    }
    while (query.next())
        deliverFound(query, found);
}

std::optional<qint64> HistoryStore::rowCount(qint64 limit) {
    if (!m_store.isOpen())
        return std::nullopt;
    QSqlQuery query(m_store.database());
    query.setForwardOnly(true);
    // A plain count(*) visits every page of the table: milliseconds a window command should not
    // spend on a long history.
    query.prepare(QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM copied_rows LIMIT ?)"));
    query.bindValue(0, limit);
    if (!query.exec() || !query.next()) {
        m_store.readFailed(query.lastError());
        return std::nullopt;
    }
    return query.value(0).toLongLong();
}

bool HistoryStore::record(const QString& kindId,
                          std::span<const std::pair<Fingerprint, int>> rows) {
    if (rows.empty())
        return true;
    const QString cannotWrite = m_store.cannotWrite();
    const qint64 time = now().toSecsSinceEpoch();
    // By count, then in key order: one statement binds the fingerprints of one count, and the
    // b-tree is walked from one end to the other instead of all over.
    std::vector<std::pair<int, Fingerprint>> byCount;
    byCount.reserve(rows.size());
    for (const auto& [fingerprint, times] : rows)
        byCount.emplace_back(times, fingerprint);
    std::sort(byCount.begin(), byCount.end());
    const auto write = [&] {
        QSqlQuery query(m_store.database());
        // Recording the same conversion twice changes nothing but the last time: the count is
        // merged with the larger value, never added.
        query.prepare(QStringLiteral("WITH RECURSIVE %1 INSERT INTO copied_rows (fingerprint, "
                                     "kind, first_copied, last_copied, most_in_one) "
                                     "SELECT %2, ?, ?, ?, ? FROM i WHERE true "
                                     "ON CONFLICT (fingerprint) DO UPDATE SET "
                                     "last_copied = max(last_copied, excluded.last_copied), "
                                     "most_in_one = max(most_in_one, excluded.most_in_one)")
                          .arg(kCountingRows, kFingerprintAt));
        std::vector<Fingerprint> batch;
        for (std::size_t start = 0; start < byCount.size();) {
            const int times = byCount[start].first;
            batch.clear();
            for (; start < byCount.size() && byCount[start].first == times && batch.size() < kBatch;
                 ++start)
                batch.push_back(byCount[start].second);
            query.bindValue(0, static_cast<qlonglong>(batch.size()));
            query.bindValue(1, static_cast<qlonglong>(batch.size()));
            query.bindValue(2, packed(batch));
            query.bindValue(3, kindId);
            query.bindValue(4, time);
            query.bindValue(5, time);
            query.bindValue(6, times);
            if (!query.exec())
                return false;
        }
        return true;
    };
    return m_store.write(write, cannotWrite);
}

void HistoryStore::readAhead() {
    if (!m_store.isOpen())
        return;
    // Counting walks every page of the table; the cache (64 MiB) holds millions of rows. Nothing
    // is lost when it fails: the look-ups read what they need then.
    QSqlQuery query(m_store.database());
    query.exec(QStringLiteral("SELECT count(*) FROM copied_rows"));
}

std::optional<std::vector<KindSummary>> HistoryStore::summary() {
    if (!m_store.isOpen())
        return std::nullopt;
    QSqlQuery query(m_store.database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT kind, count(*), max(last_copied) FROM copied_rows "
                                   "GROUP BY kind ORDER BY kind"))) {
        m_store.sayReadFailed(query.lastError());
        return std::nullopt;
    }
    std::vector<KindSummary> kinds;
    while (query.next())
        kinds.push_back(KindSummary{query.value(0).toString(), query.value(1).toLongLong(),
                                    query.value(2).toLongLong()});
    return kinds;
}

bool HistoryStore::clear() {
    if (!m_store.isOpen())
        return false;
    QSqlQuery query(m_store.database());
    // Overwrites the deleted rows' pages instead of leaving them in the file's free space.
    query.exec(QStringLiteral("PRAGMA secure_delete=ON"));
    const bool cleared = m_store.runInTransaction(
        [&] { return query.exec(QStringLiteral("DELETE FROM copied_rows")); },
        QStringLiteral("コピー履歴を消去できませんでした（%1）"));
    if (cleared) {
        // The journal still holds copies of the old pages until they are checkpointed.
        QSqlQuery(m_store.database()).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    }
    return cleared;
}

QString historyFileFor(const QString& iniFileName, const QString& programFolder,
                       const QString& userDataFolder) {
    return store::storeFileFor(QStringLiteral("history.sqlite"), iniFileName, programFolder,
                               userDataFolder);
}

QString historyFileFor(const QString& iniFileName, const QString& programFolder) {
    return historyFileFor(iniFileName, programFolder,
                          QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
}

QString monthDayText(qint64 secondsSinceEpoch) {
    return QDateTime::fromSecsSinceEpoch(secondsSinceEpoch).toString(QStringLiteral("MM/dd"));
}

} // namespace tallemo::history
