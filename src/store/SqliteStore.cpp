#include "store/SqliteStore.h"

#include <QAbstractEventDispatcher>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <sys/stat.h>

#include <atomic>

namespace tallemo::store {

namespace {

// Another window or companion run may hold the write lock for the length of its transaction.
constexpr int kBusyTimeoutMs = 5000;
// How long a second process waits while the first one moves a damaged file aside.
constexpr int kMoveAsideLockWaitMs = 10000;
// How long the thread must stay without a write before the log is copied into the file: a
// checkpoint of a long history takes longer than the write itself, and is nobody's wait then.
constexpr int kIdleCheckpointMs = 1000;

// SQLite's primary result codes that matter here (Qt reports the code as nativeErrorCode).
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteNotADatabase = 26;

int sqliteCode(const QSqlError& error) {
    return error.nativeErrorCode().toInt() & 0xff;
}

QString reasonOf(const QSqlError& error) {
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return text.isEmpty() ? QStringLiteral("不明なエラー") : text;
}

QString uniqueConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("tallemo-store-%1").arg(counter++);
}

// Which file a path names now: another process may have moved a damaged file aside and started
// a new one under the same name.
std::optional<std::pair<quint64, quint64>> fileIdentity(const QString& path) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return std::pair<quint64, quint64>(status.st_dev, status.st_ino);
}

} // namespace

bool SqliteStore::isDamage(const QSqlError& error) {
    const int code = sqliteCode(error);
    return code == kSqliteCorrupt || code == kSqliteNotADatabase;
}

SqliteStore::SqliteStore(QString path, Clock clock, OpenOptions options, StoreSchema schema)
    : m_path(std::move(path)), m_clock(std::move(clock)), m_options(options),
      m_schema(std::move(schema)), m_connectionName(uniqueConnectionName()) {
    m_idleCheckpoint.setSingleShot(true);
    m_idleCheckpoint.setInterval(kIdleCheckpointMs);
    QObject::connect(&m_idleCheckpoint, &QTimer::timeout, [this] { checkpoint(); });
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
            addNotice(QStringLiteral("%1 %2 が壊れています").arg(m_schema.noun, m_path));
        }
        break;
    case Outcome::Failed:
        closeConnection();
        break;
    }
}

SqliteStore::~SqliteStore() {
    // The last connection to close copies the log by itself; this one may not be the last (the
    // window keeps its history open while the companion writes), so it copies what it wrote.
    checkpoint();
    closeConnection();
}

void SqliteStore::checkpoint() {
    m_idleCheckpoint.stop();
    if (!m_open || !m_uncheckpointed)
        return;
    m_uncheckpointed = false;
    // PASSIVE copies what no reader still needs and never waits; what is left goes with the next
    // checkpoint. A failure here loses nothing: the log stays and SQLite reads through it.
    QSqlQuery(m_database).exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));
}

QString SqliteStore::cannotRead() const {
    return m_schema.noun + QStringLiteral("を読めませんでした（%1）");
}

QString SqliteStore::cannotWrite() const {
    return m_schema.noun + QStringLiteral("を書き込めませんでした（%1）");
}

bool SqliteStore::stillOpensItsPath() const {
    return m_openedFile && fileIdentity(m_path) == m_openedFile;
}

void SqliteStore::closeConnection() {
    if (!m_database.isValid())
        return;
    m_database.close();
    m_database = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
    m_open = false;
}

void SqliteStore::addNotice(const QString& notice) {
    if (!m_notices.contains(notice))
        m_notices << notice;
}

SqliteStore::Outcome SqliteStore::failure(const QSqlError& error, const QString& notice) {
    if (isDamage(error))
        return Outcome::Damaged;
    addNotice(notice.arg(reasonOf(error)));
    return Outcome::Failed;
}

// The file is made by hand before SQLite opens it, so that it is the user's alone from the
// start: SQLite gives its -wal and -shm files the database file's mode.
bool SqliteStore::createFile() {
    const QString folder = QFileInfo(m_path).absolutePath();
    QFile file(m_path);
    if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        // Another process may have made it in the meantime; that one will do.
        if (QFileInfo::exists(m_path))
            return true;
        addNotice(
            m_schema.noun +
            QStringLiteral("を書き込めませんでした（%1: %2）").arg(m_path, file.errorString()));
        return false;
    }
    return true;
}

SqliteStore::Outcome SqliteStore::prepare() {
    m_openedFile = fileIdentity(m_path);
    m_database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    m_database.setDatabaseName(m_path);
    m_database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!m_database.open())
        return failure(m_database.lastError(), cannotRead());
    QSqlQuery query(m_database);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return failure(query.lastError(), cannotRead());
    const int version = query.value(0).toInt();
    // An unfinished statement would hold a read transaction open.
    query.finish();
    // No memory-mapping: an I/O error on a mapped file (a full disk, a network folder gone) is a
    // signal that kills the process, where a read() returns an error the store can say.
    // A large page cache spares re-reading a long file's pages, and the statement journal of the
    // multi-row inserts stays in memory instead of a temporary file written page by page.
    // NORMAL is safe with WAL: a power cut may lose the last write, never the file.
    // No checkpoint at a commit: SQLite's automatic one copies the log into the file on the
    // commit that passes a thousand pages, and with a long history that copy is most of the
    // command's time. The store copies it when idle and when it closes (see checkpoint()).
    for (const char* pragma :
         {"PRAGMA mmap_size=0", "PRAGMA cache_size=-65536", "PRAGMA temp_store=MEMORY",
          "PRAGMA synchronous=NORMAL", "PRAGMA wal_autocheckpoint=0"})
        query.exec(QString::fromLatin1(pragma));
    // Some of them answer with a row; a statement left unfinished keeps a read transaction open,
    // and a write begun on its old snapshot fails at once when another process wrote meanwhile.
    query.finish();
    if (version > m_schema.version) {
        addNotice(m_schema.noun +
                  QStringLiteral("は新しい版の Tallemo のものなので使いません（%1）").arg(m_path));
        return Outcome::Failed;
    }
    if (version < m_schema.version && !migrate())
        return isDamage(m_database.lastError()) ? Outcome::Damaged : Outcome::Failed;
    return Outcome::Ready;
}

// Brings an older (or new, empty) file to this version, in one write transaction, so that two
// processes starting the same file at once make its tables once.
bool SqliteStore::migrate() {
    QSqlQuery query(m_database);
    // WAL lets readers go on while another process writes; it is kept in the file, and cannot be
    // switched inside a transaction.
    if (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL"))) {
        failure(query.lastError(), cannotWrite());
        return false;
    }
    query.finish();
    return runInTransaction(
        [&] {
            // Another process may have done it while this one waited for the lock.
            if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
                return false;
            int current = query.value(0).toInt();
            query.finish();
            if (current > m_schema.version)
                return false;
            for (; current < m_schema.version; ++current) {
                for (const QString& statement :
                     m_schema.migrations[static_cast<std::size_t>(current)]) {
                    if (!query.exec(statement))
                        return false;
                }
            }
            return query.exec(QStringLiteral("PRAGMA user_version=%1").arg(m_schema.version));
        },
        cannotWrite());
}

bool SqliteStore::runInTransaction(const std::function<bool()>& work,
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
    if (done) {
        m_uncheckpointed = true;
        // Only a thread with an event loop has idle moments; the companion's checkpoint is its
        // close.
        if (QAbstractEventDispatcher::instance() != nullptr)
            m_idleCheckpoint.start();
    }
    if (!done) {
        QSqlQuery(m_database).exec(QStringLiteral("ROLLBACK"));
        if (!isDamage(error))
            addNotice(noticeOnFailure.arg(reasonOf(error)));
    }
    return done;
}

bool SqliteStore::write(const std::function<bool()>& work, const QString& noticeOnFailure) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!m_open) {
            // Why it could not be opened has been said already.
            if (m_notices.isEmpty())
                addNotice(noticeOnFailure.arg(m_path));
            return false;
        }
        if (runInTransaction(work, noticeOnFailure))
            return true;
        // A damage found on the way: the work goes into the new file instead.
        if (!isDamage(m_database.lastError()) || !startAfterDamage())
            return false;
    }
    return false;
}

// Under a lock beside the file, so that of two processes that find the same damage only the
// first moves the file, and the second does not move the new one the first has started. The files
// are renamed while this connection still has them open: closing it first would let SQLite
// checkpoint or delete the -wal it cannot make sense of.
bool SqliteStore::moveAside() {
    const QString cannotMove = QStringLiteral("%1 %2 が壊れていますが、別の名前に移せませんでした")
                                   .arg(m_schema.noun, m_path);
    QLockFile lock(m_path + QStringLiteral(".lock"));
    if (!lock.tryLock(kMoveAsideLockWaitMs)) {
        addNotice(cannotMove);
        return false;
    }
    if (fileIdentity(m_path) != m_openedFile)
        return true;
    const QString stamp = now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = m_path + QStringLiteral(".broken-") + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = m_path + QStringLiteral(".broken-%1-%2").arg(stamp).arg(n);
    if (!QFile::rename(m_path, aside)) {
        addNotice(cannotMove);
        return false;
    }
    // SQLite's own names for them, so that the moved file opens with what it had not
    // checkpointed yet.
    for (const QString& suffix : {QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        if (QFileInfo::exists(m_path + suffix))
            QFile::rename(m_path + suffix, aside + suffix);
    }
    addNotice(m_schema.noun + QStringLiteral("が壊れていたので %1 に移し、新しく始めました")
                                  .arg(QFileInfo(aside).fileName()));
    return true;
}

bool SqliteStore::startAfterDamage() {
    const bool moved = moveAside();
    closeConnection();
    if (!moved || !createFile())
        return false;
    if (prepare() == Outcome::Ready) {
        m_open = true;
        return true;
    }
    closeConnection();
    return false;
}

void SqliteStore::readFailed(const QSqlError& error) {
    if (isDamage(error))
        startAfterDamage();
    else
        failure(error, cannotRead());
}

void SqliteStore::sayReadFailed(const QSqlError& error) {
    if (isDamage(error))
        addNotice(QStringLiteral("%1 %2 が壊れています").arg(m_schema.noun, m_path));
    else
        failure(error, cannotRead());
}

QString storeFileFor(const QString& fileName, const QString& iniFileName,
                     const QString& programFolder, const QString& userDataFolder) {
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
        return QDir(programFolder).filePath(fileName);
    return userDataFolder + QStringLiteral("/Tallemo/") + fileName;
}

} // namespace tallemo::store
