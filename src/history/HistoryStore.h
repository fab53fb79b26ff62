#pragma once

#include "history/RowFingerprint.h"
#include "store/SqliteStore.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace tallemo::history {

// The time of a copy; the window and the companion take the system's, tests their own.
using Clock = store::Clock;
using OpenOptions = store::OpenOptions;

// The version of the history's tables this program writes (PRAGMA user_version).
inline constexpr int kSchemaVersion = 1;

// What the history holds of one fingerprint.
struct EarlierCopies {
    int mostInOne = 0;     // the largest number of times the row stood in one conversion
    qint64 lastCopied = 0; // seconds since the epoch
};

// One line of `tallemo-convert history`.
struct KindSummary {
    QString kind;
    qint64 rows = 0;       // distinct fingerprints
    qint64 lastCopied = 0; // seconds since the epoch
};

// The history file: an SQLite database of the rows that went to the clipboard, kept as
// fingerprints. Every failure ends in a closed store and a notice, never an exception: a
// conversion works on without its history.
class HistoryStore {
public:
    HistoryStore(QString path, Clock clock, OpenOptions options = {});
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;
    HistoryStore(HistoryStore&&) = delete;
    HistoryStore& operator=(HistoryStore&&) = delete;

    bool isOpen() const { return m_store.isOpen(); }
    const QString& path() const { return m_store.path(); }
    QDateTime now() const { return m_store.now(); }

    // Calls found for each of the fingerprints the history holds (in no particular order).
    void lookUp(std::span<const Fingerprint> fingerprints,
                const std::function<void(const Fingerprint&, const EarlierCopies&)>& found);
    // Calls found for every fingerprint of the kind, reading the history from end to end.
    void lookUpAll(const QString& kindId,
                   const std::function<void(const Fingerprint&, const EarlierCopies&)>& found);
    // How many fingerprints the history holds, of all kinds, counting no further than limit;
    // nothing when it cannot be read.
    std::optional<qint64> rowCount(qint64 limit);
    // Records one conversion's rows, each fingerprint with the number of times it stood in the
    // conversion, in one transaction. False when they could not be written (see notices()).
    bool record(const QString& kindId, std::span<const std::pair<Fingerprint, int>> rows);
    // Per kind, by id; nothing when the history could not be read.
    std::optional<std::vector<KindSummary>> summary();
    // Forgets every row. False when the history could not be written.
    bool clear();

    // What the user must hear of, as sentences: a damaged file moved aside, a history of a newer
    // program, a history that could not be read or written. Each is said once per store.
    const QStringList& notices() const { return m_store.notices(); }
    // For a store kept open from one conversion to the next: each conversion says its own.
    void forgetNotices() { m_store.forgetNotices(); }
    // Whether the path still names the file the store opened: another process may have moved a
    // damaged file aside, or the user deleted it.
    bool stillOpensItsPath() const { return m_store.stillOpensItsPath(); }
    // Reads every page of the history into the connection's cache, for a caller with time to
    // spare: a statement's new rows are looked up and recorded all over the b-tree (their keys are
    // hashes), and pages read from the file then cost a command more than the rest of its work.
    void readAhead();

private:
    store::SqliteStore m_store;
};

// Where the history is kept, decided from the settings path (the settings file without ".ini",
// see settingsFileNameFor): beside the program when the settings file is kept there (a build tree
// or a portable copy), otherwise in the user's data folder ($XDG_DATA_HOME, normally
// ~/.local/share) as Tallemo/history.sqlite.
QString historyFileFor(const QString& iniFileName, const QString& programFolder,
                       const QString& userDataFolder);
// The same with the user's data folder of the system.
QString historyFileFor(const QString& iniFileName, const QString& programFolder);

// A copy's time as the messages show it: month/day in local time, "12/01".
QString monthDayText(qint64 secondsSinceEpoch);

} // namespace tallemo::history
