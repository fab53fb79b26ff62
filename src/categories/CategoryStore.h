#pragma once

#include "categories/CategoryMatcher.h"
#include "categories/SheetRows.h"
#include "store/SqliteStore.h"

#include <QString>

#include <optional>
#include <vector>

namespace tallemo::categories {

// The version of the tables this program writes (PRAGMA user_version).
inline constexpr int kCategoriesSchemaVersion = 2;

// What one learning from pasted rows did, for its message.
struct LearningCounts {
    int rowsWithCells = 0;   // rows read that had cells 3 or 4
    int newRows = 0;         // rows not known before
    int newDescriptions = 0; // shops (description keys) not known before
    int changed = 0;         // known rows whose cells the user changed
    int withoutCells = 0;
    int notRows = 0;

    bool learnedSomething() const { return newRows > 0 || changed > 0; }
};

// "分類: 86 行から覚えました（新しい説明 12 件、変わった分類 3 件）。分類のない 5 行と表の行でない
// 2 行は飛ばしました"
QString learningMessage(const LearningCounts& counts);

// One learning, for taking it back.
struct Learning {
    qint64 id = 0;
    qint64 learnedAt = 0; // seconds since the epoch
    int rowsWithCells = 0;
    int newDescriptions = 0;
    int changed = 0;
    int rowsItStillTeaches = 0;
};

// categories.sqlite: every row the user showed with its cells, by its row key, and the learnings
// that brought them. Descriptions and cells are kept as text: they are what filling writes back.
class CategoryStore {
public:
    CategoryStore(QString path, store::Clock clock, store::OpenOptions options = {});

    bool isOpen() const { return m_store.isOpen(); }
    const QString& path() const { return m_store.path(); }
    const QStringList& notices() const { return m_store.notices(); }

    // Learns the rows in one transaction: a new row is added, a known row with other cells takes
    // them (the user corrected it), a known row with the same cells changes nothing. Nothing when
    // the file could not be written.
    std::optional<LearningCounts> learn(const SheetReading& reading);
    // Per description and choice: how often, last seen. Nothing when the file cannot be read.
    std::optional<std::vector<LearnedChoice>> choices();
    // Per choice: the amounts of its rows, as the matcher weighs them. Rows learned before the
    // file kept amounts count only once the user pastes them again.
    std::optional<std::vector<ChoiceAmounts>> amounts();
    // Newest first.
    std::optional<std::vector<Learning>> learnings();

    // Takes a learning back: its new rows are forgotten, the rows it changed get their earlier
    // cells again.
    bool forgetLearning(qint64 id);
    // Forgets every row of the description (as written); how many, or nothing on failure.
    std::optional<int> forgetDescription(const QString& description);
    bool forgetAll();
    // Forgets the rows of one description with one choice.
    bool forgetChoice(const LearnedChoice& choice);
    // The user edits a learned choice: every row of the description with the old cells takes
    // the new ones.
    bool changeCells(const LearnedChoice& old, const QString& cell3, const QString& cell4);

private:
    store::SqliteStore m_store;
};

// categories.sqlite beside history.sqlite (see historyFileFor).
QString categoriesFileFor(const QString& iniFileName, const QString& programFolder,
                          const QString& userDataFolder);
QString categoriesFileFor(const QString& iniFileName, const QString& programFolder);

} // namespace tallemo::categories

namespace tallemo::categories {

// Tallemo.ini's switch of 分類を入れる, on unless the user turned it off.
inline const QString kFillSection = QStringLiteral("Categories");
inline const QString kFillKey = QStringLiteral("Fill");

// categories.toml in the folder of the settings file (the one that holds the user's kinds/).
QString categoryRulesFileFor(const QString& iniFileName);

// The matcher for a conversion: the rules file and what categories.sqlite holds. A missing file
// is nothing learned and stays missing; the rules file's problem and the store's notices go to
// problems, and a broken rules file leaves what was learned working.
CategoryMatcher loadMatcher(const QString& categoriesFile, const QString& rulesFile,
                            QStringList* problems);

// The matcher of the last conversion, kept for the next one while categories.sqlite (with its
// write-ahead log) and the rules file stay as they were: a window command reads neither again
// unless another window, the companion or the user changed one of them.
class MatcherCache {
public:
    // The matcher for these files, as loadMatcher makes it; its problems are those of the load
    // that made it, given again every time.
    const CategoryMatcher& matcher(const QString& categoriesFile, const QString& rulesFile,
                                   QStringList* problems);
    // The next call reads the files again.
    void forget() { m_matcher.reset(); }

    struct FileStamp {
        bool exists = false;
        qint64 size = 0;
        qint64 modified = 0; // nanoseconds
        bool operator==(const FileStamp&) const = default;
    };

private:
    static std::vector<FileStamp> stampsOf(const QString& categoriesFile, const QString& rulesFile);

    QString m_categoriesFile;
    QString m_rulesFile;
    std::vector<FileStamp> m_stamps;
    std::optional<CategoryMatcher> m_matcher;
    QStringList m_problems;
};

} // namespace tallemo::categories
