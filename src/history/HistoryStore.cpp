#include "history/HistoryStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace tallemo::history {

namespace {

// Another window or companion run may hold the write lock for the length of its transaction.
constexpr int kBusyTimeoutMs = 5000;
// How long a second process waits while the first one moves a damaged file aside.
constexpr int kMoveAsideLockWaitMs = 10000;
// A statement takes a batch of fingerprints as one blob, cut into its 32-byte pieces by SQL:
// binding each one as a parameter of its own costs Qt a name lookup per parameter, which made a
// long statement's lookups and records take seconds.
constexpr std::size_t kBatch = 8192;
// Rows 0 .. n - 1 (n given twice, as plain "?" parameters: Qt binds those by position without
// looking up their names), and the n-th fingerprint of the blob given after.
const QString kCountingRows =
    QStringLiteral("i(n) AS (SELECT 0 WHERE ? > 0 UNION ALL SELECT n + 1 FROM i WHERE n + 1 < ?)");
const QString kFingerprintAt = QStringLiteral("substr(?, n * 32 + 1, 32)");

// SQLite's primary result codes that matter here (Qt reports the code as nativeErrorCode).
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteNotADatabase = 26;

int sqliteCode(const QSqlError& error) {
    return error.nativeErrorCode().toInt() & 0xff;
}

bool isDamage(const QSqlError& error) {
    const int code = sqliteCode(error);
    return code == kSqliteCorrupt || code == kSqliteNotADatabase;
}

QString reasonOf(const QSqlError& error) {
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return text.isEmpty() ? QStringLiteral("不明なエラー") : text;
}

QString uniqueConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("tallemo-history-%1").arg(counter++);
}

// The schema, one list of statements per version step: step k takes version k to k + 1.
const std::vector<QStringList>& migrations() {
    static const std::vector<QStringList> steps = {
        {QStringLiteral("CREATE TABLE copied_rows ("
                        " fingerprint BLOB PRIMARY KEY NOT NULL,"
                        " kind TEXT NOT NULL,"
                        " first_copied INTEGER NOT NULL,"
                        " last_copied INTEGER NOT NULL,"
                        " most_in_one INTEGER NOT NULL"
                        ") WITHOUT ROWID")},
    };
    return steps;
}

// Which file a path names now: another process may have moved a damaged history aside and
// started a new one under the same name.
std::optional<std::pair<quint64, quint64>> fileIdentity(const QString& path) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return std::pair<quint64, quint64>(status.st_dev, status.st_ino);
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
    : m_path(std::move(path)), m_clock(std::move(clock)), m_options(options),
      m_connectionName(uniqueConnectionName()) {
    if (!QFileInfo::exists(m_path)) {
        if (!m_options.createMissing || !createFile())
            return;
    }
    switch (prepare()) {
    case Outcome::Ready:
        m_open = true;
        break;
    case Outcome::Damaged:
        if (m_options.repairDamaged) {
            m_open = startAfterDamage();
        } else {
            closeConnection();
            addNotice(QStringLiteral("コピー履歴 %1 が壊れています").arg(m_path));
        }
        break;
    case Outcome::Failed:
        closeConnection();
        break;
    }
}

HistoryStore::~HistoryStore() {
    closeConnection();
}

bool HistoryStore::stillOpensItsPath() const {
    return m_openedFile && fileIdentity(m_path) == m_openedFile;
}

void HistoryStore::closeConnection() {
    if (!m_database.isValid())
        return;
    m_database.close();
    m_database = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
    m_open = false;
}

void HistoryStore::addNotice(const QString& notice) {
    if (!m_notices.contains(notice))
        m_notices << notice;
}

HistoryStore::Outcome HistoryStore::failure(const QSqlError& error, const QString& notice) {
    if (isDamage(error))
        return Outcome::Damaged;
    addNotice(notice.arg(reasonOf(error)));
    return Outcome::Failed;
}

// The file is made by hand before SQLite opens it, so that it is the user's alone from the
// start: SQLite gives its -wal and -shm files the database file's mode.
bool HistoryStore::createFile() {
    const QString folder = QFileInfo(m_path).absolutePath();
    QFile file(m_path);
    if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        // Another process may have made it in the meantime; that one will do.
        if (QFileInfo::exists(m_path))
            return true;
        addNotice(QStringLiteral("コピー履歴を書き込めませんでした（%1: %2）")
                      .arg(m_path, file.errorString()));
        return false;
    }
    return true;
}

HistoryStore::Outcome HistoryStore::prepare() {
    m_openedFile = fileIdentity(m_path);
    m_database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    m_database.setDatabaseName(m_path);
    m_database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    const QString cannotRead = QStringLiteral("コピー履歴を読めませんでした（%1）");
    if (!m_database.open())
        return failure(m_database.lastError(), cannotRead);
    QSqlQuery query(m_database);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return failure(query.lastError(), cannotRead);
    const int version = query.value(0).toInt();
    // An unfinished statement would hold a read transaction open.
    query.finish();
    // A long statement's rows touch pages all over the file: reading them through a mapping and
    // keeping them cached spares a system call per page, and the statement journal of the
    // multi-row inserts stays in memory instead of a temporary file written page by page.
    // NORMAL is safe with WAL: a power cut may lose the last conversion's record, never the file.
    for (const char* pragma : {"PRAGMA mmap_size=268435456", "PRAGMA cache_size=-65536",
                               "PRAGMA temp_store=MEMORY", "PRAGMA synchronous=NORMAL"})
        query.exec(QString::fromLatin1(pragma));
    if (version > kSchemaVersion) {
        addNotice(QStringLiteral("コピー履歴は新しい版の Tallemo のものなので使いません（%1）")
                      .arg(m_path));
        return Outcome::Failed;
    }
    if (version < kSchemaVersion && !migrate())
        return isDamage(m_database.lastError()) ? Outcome::Damaged : Outcome::Failed;
    return Outcome::Ready;
}

// Brings an older (or new, empty) history to this version, in one write transaction, so that two
// processes starting the same file at once make its tables once.
bool HistoryStore::migrate() {
    QSqlQuery query(m_database);
    const QString cannotWrite = QStringLiteral("コピー履歴を書き込めませんでした（%1）");
    // WAL lets readers go on while another process writes; it is kept in the file, and cannot be
    // switched inside a transaction.
    if (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL"))) {
        failure(query.lastError(), cannotWrite);
        return false;
    }
    return runInTransaction(
        [&] {
            // Another process may have done it while this one waited for the lock.
            if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
                return false;
            int current = query.value(0).toInt();
            query.finish();
            if (current > kSchemaVersion)
                return false;
            for (; current < kSchemaVersion; ++current) {
                for (const QString& statement : migrations()[static_cast<std::size_t>(current)]) {
                    if (!query.exec(statement))
                        return false;
                }
            }
            return query.exec(QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion));
        },
        cannotWrite);
}

bool HistoryStore::runInTransaction(const std::function<bool()>& work,
                                    const QString& noticeOnFailure) {
    QSqlQuery control(m_database);
    // IMMEDIATE takes the write lock at once (waiting up to the busy time-out), so that a read
    // inside the transaction cannot be overtaken by another writer.
    if (!control.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        failure(control.lastError(), noticeOnFailure);
        return false;
    }
    bool done = work();
    QSqlError error = m_database.lastError();
    if (done) {
        done = control.exec(QStringLiteral("COMMIT"));
        error = control.lastError();
    }
    if (!done) {
        QSqlQuery(m_database).exec(QStringLiteral("ROLLBACK"));
        if (!isDamage(error))
            addNotice(noticeOnFailure.arg(reasonOf(error)));
    }
    return done;
}

// Under a lock beside the file, so that of two processes that find the same damage only the
// first moves the file, and the second does not move the new one the first has started. The files
// are renamed while this connection still has them open: closing it first would let SQLite
// checkpoint or delete the -wal it cannot make sense of.
bool HistoryStore::moveAside() {
    QLockFile lock(m_path + QStringLiteral(".lock"));
    if (!lock.tryLock(kMoveAsideLockWaitMs)) {
        addNotice(QStringLiteral("コピー履歴 %1 が壊れていますが、別の名前に移せませんでした")
                      .arg(m_path));
        return false;
    }
    if (fileIdentity(m_path) != m_openedFile)
        return true;
    const QString stamp = now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = m_path + QStringLiteral(".broken-") + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = m_path + QStringLiteral(".broken-%1-%2").arg(stamp).arg(n);
    if (!QFile::rename(m_path, aside)) {
        addNotice(QStringLiteral("コピー履歴 %1 が壊れていますが、別の名前に移せませんでした")
                      .arg(m_path));
        return false;
    }
    // SQLite's own names for them, so that the moved file opens with what it had not
    // checkpointed yet.
    for (const QString& suffix : {QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        if (QFileInfo::exists(m_path + suffix))
            QFile::rename(m_path + suffix, aside + suffix);
    }
    addNotice(QStringLiteral("コピー履歴が壊れていたので %1 に移し、新しく始めました")
                  .arg(QFileInfo(aside).fileName()));
    return true;
}

bool HistoryStore::startAfterDamage() {
    const bool moved = moveAside();
    closeConnection();
    if (!moved || !createFile())
        return false;
    if (prepare() == Outcome::Ready)
        return true;
    closeConnection();
    return false;
}

// A read that found the file damaged starts a new history; any other failure is said.
void HistoryStore::readFailed(const QSqlError& error) {
    if (isDamage(error))
        startAfterDamage();
    else
        failure(error, QStringLiteral("コピー履歴を読めませんでした（%1）"));
}

void HistoryStore::lookUp(
    std::span<const Fingerprint> fingerprints,
    const std::function<void(const Fingerprint&, const EarlierCopies&)>& found) {
    if (!m_open || fingerprints.empty())
        return;
    std::vector<Fingerprint> sorted(fingerprints.begin(), fingerprints.end());
    std::sort(sorted.begin(), sorted.end());
    QSqlQuery query(m_database);
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
            readFailed(query.lastError());
            return;
        }
        while (query.next())
            deliverFound(query, found);
    }
}

void HistoryStore::lookUpAll(
    const QString& kindId,
    const std::function<void(const Fingerprint&, const EarlierCopies&)>& found) {
    if (!m_open)
        return;
    QSqlQuery query(m_database);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral(
        "SELECT fingerprint, most_in_one, last_copied FROM copied_rows WHERE kind = ?"));
    query.bindValue(0, kindId);
    if (!query.exec()) {
        readFailed(query.lastError());
        return;
    }
    while (query.next())
        deliverFound(query, found);
}

std::optional<qint64> HistoryStore::rowCount(qint64 limit) {
    if (!m_open)
        return std::nullopt;
    QSqlQuery query(m_database);
    query.setForwardOnly(true);
    // A plain count(*) visits every page of the table: milliseconds a window command should not
    // spend on a long history.
    query.prepare(QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM copied_rows LIMIT ?)"));
    query.bindValue(0, limit);
    if (!query.exec() || !query.next()) {
        readFailed(query.lastError());
        return std::nullopt;
    }
    return query.value(0).toLongLong();
}

bool HistoryStore::record(const QString& kindId,
                          std::span<const std::pair<Fingerprint, int>> rows) {
    if (rows.empty())
        return true;
    const QString cannotWrite = QStringLiteral("コピー履歴を書き込めませんでした（%1）");
    const qint64 time = now().toSecsSinceEpoch();
    // By count, then in key order: one statement binds the fingerprints of one count, and the
    // b-tree is walked from one end to the other instead of all over.
    std::vector<std::pair<int, Fingerprint>> byCount;
    byCount.reserve(rows.size());
    for (const auto& [fingerprint, times] : rows)
        byCount.emplace_back(times, fingerprint);
    std::sort(byCount.begin(), byCount.end());
    const auto write = [&] {
        QSqlQuery query(m_database);
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
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!m_open) {
            // Why it could not be opened has been said already.
            if (m_notices.isEmpty())
                addNotice(cannotWrite.arg(m_path));
            return false;
        }
        if (runInTransaction(write, cannotWrite))
            return true;
        // A damage found on the way: the rows go into the new history instead.
        if (!isDamage(m_database.lastError()) || !startAfterDamage())
            return false;
    }
    return false;
}

std::optional<std::vector<KindSummary>> HistoryStore::summary() {
    if (!m_open)
        return std::nullopt;
    QSqlQuery query(m_database);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT kind, count(*), max(last_copied) FROM copied_rows "
                                   "GROUP BY kind ORDER BY kind"))) {
        if (isDamage(query.lastError()))
            addNotice(QStringLiteral("コピー履歴 %1 が壊れています").arg(m_path));
        else
            failure(query.lastError(), QStringLiteral("コピー履歴を読めませんでした（%1）"));
        return std::nullopt;
    }
    std::vector<KindSummary> kinds;
    while (query.next())
        kinds.push_back(KindSummary{query.value(0).toString(), query.value(1).toLongLong(),
                                    query.value(2).toLongLong()});
    return kinds;
}

bool HistoryStore::clear() {
    if (!m_open)
        return false;
    QSqlQuery query(m_database);
    // Overwrites the deleted rows' pages instead of leaving them in the file's free space.
    query.exec(QStringLiteral("PRAGMA secure_delete=ON"));
    const bool cleared =
        runInTransaction([&] { return query.exec(QStringLiteral("DELETE FROM copied_rows")); },
                         QStringLiteral("コピー履歴を消去できませんでした（%1）"));
    if (cleared) {
        // The journal still holds copies of the old pages until they are checkpointed.
        QSqlQuery(m_database).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    }
    return cleared;
}

QString historyFileFor(const QString& iniFileName, const QString& programFolder,
                       const QString& userDataFolder) {
    const QString settingsFolder = QFileInfo(iniFileName + QStringLiteral(".ini")).absolutePath();
    const auto sameFolder = [](const QString& a, const QString& b) {
        const QString canonicalA = QFileInfo(a).canonicalFilePath();
        const QString canonicalB = QFileInfo(b).canonicalFilePath();
        if (!canonicalA.isEmpty() && !canonicalB.isEmpty())
            return canonicalA == canonicalB;
        return QDir::cleanPath(QFileInfo(a).absoluteFilePath()) ==
               QDir::cleanPath(QFileInfo(b).absoluteFilePath());
    };
    if (sameFolder(settingsFolder, programFolder))
        return QDir(programFolder).filePath(QStringLiteral("history.sqlite"));
    return userDataFolder + QStringLiteral("/Tallemo/history.sqlite");
}

QString historyFileFor(const QString& iniFileName, const QString& programFolder) {
    return historyFileFor(iniFileName, programFolder,
                          QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
}

QString monthDayText(qint64 secondsSinceEpoch) {
    return QDateTime::fromSecsSinceEpoch(secondsSinceEpoch).toString(QStringLiteral("MM/dd"));
}

} // namespace tallemo::history
