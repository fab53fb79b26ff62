#pragma once

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

class QSqlError;

namespace tallemo::store {

// The time of a write; the window and the companion take the system's, tests their own.
using Clock = std::function<QDateTime()>;

struct OpenOptions {
    // Start a new file when there is none (a write); otherwise a missing file stays missing and
    // the store is closed.
    bool createMissing = true;
    // Move a damaged file aside and start a new one; otherwise the store is just closed.
    bool repairDamaged = true;
};

// What one kind of file holds: how its notices name it and its tables, version by version.
struct StoreSchema {
    QString noun;    // "コピー履歴": the notices' name for the file, without % signs
    int version = 0; // PRAGMA user_version of the tables this program writes
    // One list of statements per version step: step k takes version k to k + 1.
    std::vector<QStringList> migrations;
};

// One of the user's SQLite files: created as the user's alone (mode 0600), brought to this
// program's version in one transaction, written in BEGIN IMMEDIATE transactions that wait for
// another window or the companion, moved aside when damaged, left alone when a newer program
// wrote it. Every failure ends in a closed store and a notice, never an exception.
class SqliteStore {
public:
    SqliteStore(QString path, Clock clock, OpenOptions options, StoreSchema schema);
    ~SqliteStore();
    SqliteStore(const SqliteStore&) = delete;
    SqliteStore& operator=(const SqliteStore&) = delete;
    SqliteStore(SqliteStore&&) = delete;
    SqliteStore& operator=(SqliteStore&&) = delete;

    bool isOpen() const { return m_open; }
    const QString& path() const { return m_path; }
    QDateTime now() const { return m_clock ? m_clock() : QDateTime::currentDateTime(); }
    QSqlDatabase& database() { return m_database; }

    // "<noun>を読めませんでした（%1）" and its like, for the users of the store.
    QString cannotRead() const;
    QString cannotWrite() const;

    // Runs work in one write transaction; false (and a notice unless the file is damaged) when
    // it or the commit failed, and then nothing of it was written.
    bool runInTransaction(const std::function<bool()>& work, const QString& noticeOnFailure);
    // The same, and a damage found on the way moves the file aside and runs the work again in
    // the new file.
    bool write(const std::function<bool()>& work, const QString& noticeOnFailure);
    // A read that found the file damaged starts a new file; any other failure is said.
    void readFailed(const QSqlError& error);
    // A read that must not repair: says the file is damaged or could not be read.
    void sayReadFailed(const QSqlError& error);

    static bool isDamage(const QSqlError& error);

    // What the user must hear of, as sentences: a damaged file moved aside, a file of a newer
    // program, a file that could not be read or written. Each is said once per store.
    const QStringList& notices() const { return m_notices; }
    void addNotice(const QString& notice);
    // For a store kept open from one command to the next: each command says its own.
    void forgetNotices() { m_notices.clear(); }
    // Whether the path still names the file the store opened: another process may have moved a
    // damaged file aside, or the user deleted it.
    bool stillOpensItsPath() const;

    // Copies what the write-ahead log holds into the file, without waiting for readers. The
    // store does it by itself when its thread is idle and when it closes; a caller may ask
    // sooner.
    void checkpoint();

private:
    enum class Outcome { Ready, Damaged, Failed };

    bool createFile();
    Outcome prepare();
    bool migrate();
    void closeConnection();
    // A damaged file found while working: moves it aside and starts a new one. Whether the new
    // one is open.
    bool startAfterDamage();
    bool moveAside();
    Outcome failure(const QSqlError& error, const QString& notice);

    QString m_path;
    Clock m_clock;
    OpenOptions m_options;
    StoreSchema m_schema;
    QString m_connectionName;
    QSqlDatabase m_database;
    // The file the connection was opened on (device and inode).
    std::optional<std::pair<quint64, quint64>> m_openedFile;
    bool m_open = false;
    QStringList m_notices;
    // Writes not yet copied from the log into the file, and the idle moment that will do it.
    bool m_uncheckpointed = false;
    QTimer m_idleCheckpoint;
};

// Where the user's SQLite files are kept, decided from the settings path (the settings file
// without ".ini", see settingsFileNameFor): beside the program when the settings file is kept
// there (a build tree or a portable copy), otherwise in the user's data folder ($XDG_DATA_HOME,
// normally ~/.local/share) under Tallemo/.
QString storeFileFor(const QString& fileName, const QString& iniFileName,
                     const QString& programFolder, const QString& userDataFolder);

} // namespace tallemo::store
