#include "categories/CategoryStore.h"

#include "categories/DescriptionFold.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <unordered_map>

namespace tallemo::categories {

namespace {

// Finds a description's rows for forgetting and editing it.
const QString kDescriptionIndex =
    QStringLiteral("CREATE INDEX learned_rows_by_description ON learned_rows (description)");

store::StoreSchema categoriesSchema() {
    return {QStringLiteral("覚えた分類"),
            kCategoriesSchemaVersion,
            {{
                 QStringLiteral("CREATE TABLE learnings ("
                                " id INTEGER PRIMARY KEY,"
                                " learned_at INTEGER NOT NULL,"
                                " rows_with_cells INTEGER NOT NULL,"
                                " new_descriptions INTEGER NOT NULL,"
                                " changed INTEGER NOT NULL)"),
                 // previous_*: the cells a correction replaced, so that taking the correction
                 // back restores them.
                 QStringLiteral("CREATE TABLE learned_rows ("
                                " row_key BLOB PRIMARY KEY NOT NULL,"
                                " day TEXT NOT NULL,"
                                " description TEXT NOT NULL,"
                                " cell3 TEXT NOT NULL,"
                                " cell4 TEXT NOT NULL,"
                                " learning INTEGER NOT NULL,"
                                " previous_cell3 TEXT,"
                                " previous_cell4 TEXT,"
                                " previous_learning INTEGER"
                                ") WITHOUT ROWID"),
                 kDescriptionIndex,
                 QStringLiteral("CREATE INDEX learned_rows_by_learning ON learned_rows (learning)"),
             },
             // The amount, in yen: what a shop never seen costs tells its kind when its name
             // does not. Rows learned before stay without one until they are pasted again.
             {
                 QStringLiteral("ALTER TABLE learned_rows ADD COLUMN amount INTEGER"),
             }}};
}

// The key's bytes without a copy: bound to a statement, they are read while the row is alive.
QByteArray keyBytes(const RowKey& key) {
    return QByteArray::fromRawData(key.data(), static_cast<qsizetype>(key.size()));
}

// Rows inserted by one statement: a statement's cursors stay open from row to row, and a paste of
// a hundred thousand rows is not a hundred thousand statements to start and bind.
constexpr std::size_t kRowsPerInsert = 64;
// Below this many new rows, inserting into the description index costs less than rebuilding it.
constexpr std::size_t kRebuildIndexFrom = 1000;

QString insertStatement(std::size_t rows, qint64 learning) {
    // The learning is this program's own number, the same for every row.
    const QString values = QStringLiteral("(?, ?, ?, ?, ?, %1, ?)").arg(learning);
    QString statement = QStringLiteral("INSERT INTO learned_rows (row_key, day, description, "
                                       "cell3, cell4, learning, amount) VALUES ");
    for (std::size_t k = 0; k < rows; ++k) {
        if (k > 0)
            statement += QStringLiteral(", ");
        statement += values;
    }
    return statement;
}

// Inserts the rows, in the order given, in statements of kRowsPerInsert rows and one for the rest.
bool insertRows(QSqlQuery& query, const std::vector<const SheetRow*>& rows, qint64 learning) {
    constexpr int kColumns = 6;
    std::size_t prepared = 0;
    for (std::size_t first = 0; first < rows.size(); first += kRowsPerInsert) {
        const std::size_t count = std::min(kRowsPerInsert, rows.size() - first);
        if (count != prepared) {
            if (!query.prepare(insertStatement(count, learning)))
                return false;
            prepared = count;
        }
        for (std::size_t k = 0; k < count; ++k) {
            const SheetRow& row = *rows[first + k];
            const int at = static_cast<int>(k) * kColumns;
            query.bindValue(at, keyBytes(row.key));
            query.bindValue(at + 1, row.day);
            query.bindValue(at + 2, row.description);
            query.bindValue(at + 3, row.cell3);
            query.bindValue(at + 4, row.cell4);
            query.bindValue(at + 5, row.amount);
        }
        if (!query.exec())
            return false;
    }
    return true;
}

} // namespace

QString learningMessage(const LearningCounts& counts) {
    QString message = QStringLiteral("分類: ");
    if (counts.rowsWithCells == 0)
        message += QStringLiteral("分類の入った表の行がありませんでした");
    else if (!counts.learnedSomething())
        message += QStringLiteral("新しく覚えたことはありません");
    else
        message += QStringLiteral("%1 行から覚えました（新しい説明 %2 件、変わった分類 %3 件）")
                       .arg(counts.rowsWithCells)
                       .arg(counts.newDescriptions)
                       .arg(counts.changed);
    if (counts.withoutCells > 0 && counts.notRows > 0)
        message += QStringLiteral("。分類のない %1 行と表の行でない %2 行は飛ばしました")
                       .arg(counts.withoutCells)
                       .arg(counts.notRows);
    else if (counts.withoutCells > 0)
        message += QStringLiteral("。分類のない %1 行は飛ばしました").arg(counts.withoutCells);
    else if (counts.notRows > 0)
        message += QStringLiteral("。表の行でない %1 行は飛ばしました").arg(counts.notRows);
    return message;
}

CategoryStore::CategoryStore(QString path, store::Clock clock, store::OpenOptions options)
    : m_store(std::move(path), std::move(clock), options, categoriesSchema()) {}

std::optional<LearningCounts> CategoryStore::learn(const SheetReading& reading) {
    LearningCounts counts;
    counts.rowsWithCells = static_cast<int>(reading.rows.size());
    counts.withoutCells = reading.withoutCells;
    counts.notRows = reading.notRows;
    if (reading.rows.empty())
        return counts;
    const qint64 time = m_store.now().toSecsSinceEpoch();
    const auto work = [&] {
        counts.newRows = counts.newDescriptions = counts.changed = 0;
        QSqlQuery query(m_store.database());
        query.setForwardOnly(true);
        // What is known, read inside the write transaction so that no other process changes it
        // between the reading and the writing.
        if (!query.exec(QStringLiteral(
                "SELECT row_key, cell3, cell4, learning, amount IS NULL FROM learned_rows")))
            return false;
        struct Known {
            QString cell3;
            QString cell4;
            qint64 learning = 0;
            bool withoutAmount = false;
        };
        std::unordered_map<RowKey, Known, RowKeyHash> known;
        while (query.next()) {
            const QByteArray bytes = query.value(0).toByteArray();
            RowKey key{};
            if (bytes.size() != static_cast<qsizetype>(key.size()))
                continue; // no key this program wrote: no row a paste can bring back
            std::memcpy(key.data(), bytes.constData(), key.size());
            known.emplace(key, Known{query.value(1).toString(), query.value(2).toString(),
                                     query.value(3).toLongLong(), query.value(4).toBool()});
        }
        if (!query.exec(QStringLiteral("SELECT DISTINCT description FROM learned_rows")))
            return false;
        QSet<QString> knownShops;
        while (query.next())
            knownShops.insert(descriptionKey(query.value(0).toString()));
        query.finish();

        // Each row once, in key order (the order of the b-tree, walked from one end to the other
        // instead of all over), the last of its appearances in the text winning: it is what the
        // user means. A sort instead of a map: no node to allocate for each of many rows.
        std::vector<const SheetRow*> latest;
        latest.reserve(reading.rows.size());
        for (const SheetRow& row : reading.rows)
            latest.push_back(&row);
        std::stable_sort(latest.begin(), latest.end(), [](const SheetRow* a, const SheetRow* b) {
            return std::memcmp(a->key.data(), b->key.data(), a->key.size()) < 0;
        });
        std::vector<const SheetRow*> added;
        std::vector<std::pair<const SheetRow*, const Known*>> changed;
        std::vector<const SheetRow*> amountsMissing;
        QSet<QString> newShops;
        // Spelling without digits → key: folded once per shop, whatever its store numbers.
        QHash<QString, QString> shopOf;
        QString spelling;
        for (std::size_t k = 0; k < latest.size(); ++k) {
            const SheetRow& row = *latest[k];
            if (k + 1 < latest.size() && latest[k + 1]->key == row.key)
                continue;
            const auto found = known.find(row.key);
            if (found == known.end()) {
                added.push_back(&row);
                spellingWithoutDigits(row.description, spelling);
                auto shop = shopOf.constFind(spelling);
                if (shop == shopOf.cend())
                    shop = shopOf.insert(spelling, descriptionKey(row.description));
                if (!knownShops.contains(*shop))
                    newShops.insert(*shop);
            } else {
                if (found->second.cell3 != row.cell3 || found->second.cell4 != row.cell4)
                    changed.emplace_back(&row, &found->second);
                if (found->second.withoutAmount)
                    amountsMissing.push_back(&row);
            }
        }
        counts.newRows = static_cast<int>(added.size());
        counts.changed = static_cast<int>(changed.size());
        counts.newDescriptions = static_cast<int>(newShops.size());
        // A row learned before the file kept amounts gets its amount when it comes again: no
        // learning of its own, as nothing the user sees changes.
        query.prepare(QStringLiteral("UPDATE learned_rows SET amount = ? WHERE row_key = ?"));
        for (const SheetRow* row : amountsMissing) {
            query.bindValue(0, row->amount);
            query.bindValue(1, keyBytes(row->key));
            if (!query.exec())
                return false;
        }
        if (added.empty() && changed.empty())
            return true;
        query.prepare(QStringLiteral("INSERT INTO learnings (learned_at, rows_with_cells, "
                                     "new_descriptions, changed) VALUES (?, ?, ?, ?)"));
        query.bindValue(0, time);
        query.bindValue(1, counts.rowsWithCells);
        query.bindValue(2, counts.newDescriptions);
        query.bindValue(3, counts.changed);
        if (!query.exec())
            return false;
        const qint64 learning = query.lastInsertId().toLongLong();
        // The descriptions come in no order, and a b-tree filled at random costs several times
        // what building it from the sorted rows does: a learning that at least doubles the rows
        // builds the index anew, in the same transaction.
        const bool rebuildIndex = added.size() >= kRebuildIndexFrom && added.size() >= known.size();
        if (rebuildIndex &&
            !query.exec(QStringLiteral("DROP INDEX IF EXISTS learned_rows_by_description")))
            return false;
        if (!insertRows(query, added, learning))
            return false;
        if (rebuildIndex && !query.exec(kDescriptionIndex))
            return false;
        query.prepare(QStringLiteral("UPDATE learned_rows SET cell3 = ?, cell4 = ?, learning = ?, "
                                     "previous_cell3 = ?, previous_cell4 = ?, "
                                     "previous_learning = ? WHERE row_key = ?"));
        for (const auto& [row, before] : changed) {
            query.bindValue(0, row->cell3);
            query.bindValue(1, row->cell4);
            query.bindValue(2, learning);
            query.bindValue(3, before->cell3);
            query.bindValue(4, before->cell4);
            query.bindValue(5, before->learning);
            query.bindValue(6, keyBytes(row->key));
            if (!query.exec())
                return false;
        }
        return true;
    };
    if (!m_store.write(work, m_store.cannotWrite()))
        return std::nullopt;
    return counts;
}

std::optional<std::vector<LearnedChoice>> CategoryStore::choices() {
    if (!m_store.isOpen())
        return std::nullopt;
    QSqlQuery query(m_store.database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT description, cell3, cell4, count(*), max(day) "
                                   "FROM learned_rows GROUP BY description, cell3, cell4 "
                                   "ORDER BY description, cell3, cell4"))) {
        m_store.readFailed(query.lastError());
        return std::nullopt;
    }
    std::vector<LearnedChoice> choices;
    while (query.next())
        choices.push_back({query.value(0).toString(), query.value(1).toString(),
                           query.value(2).toString(), query.value(3).toInt(),
                           query.value(4).toString()});
    return choices;
}

std::optional<std::vector<ChoiceAmounts>> CategoryStore::amounts() {
    if (!m_store.isOpen())
        return std::nullopt;
    QSqlQuery query(m_store.database());
    query.setForwardOnly(true);
    // Each amount of a choice once, with how often: the logarithms are taken here, once each.
    if (!query.exec(QStringLiteral("SELECT cell3, cell4, amount, count(*) FROM learned_rows "
                                   "WHERE amount IS NOT NULL AND amount != 0 "
                                   "GROUP BY cell3, cell4, amount ORDER BY cell3, cell4"))) {
        m_store.readFailed(query.lastError());
        return std::nullopt;
    }
    std::vector<ChoiceAmounts> amounts;
    while (query.next()) {
        QString cell3 = query.value(0).toString();
        QString cell4 = query.value(1).toString();
        if (amounts.empty() || amounts.back().cell3 != cell3 || amounts.back().cell4 != cell4)
            amounts.push_back({std::move(cell3), std::move(cell4)});
        ChoiceAmounts& choice = amounts.back();
        const double logAmount = std::log(std::abs(query.value(2).toDouble()));
        const auto rows = query.value(3).toDouble();
        choice.rows += rows;
        choice.logSum += rows * logAmount;
        choice.logSquares += rows * logAmount * logAmount;
    }
    return amounts;
}

std::optional<std::vector<Learning>> CategoryStore::learnings() {
    if (!m_store.isOpen())
        return std::nullopt;
    QSqlQuery query(m_store.database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral(
            "SELECT l.id, l.learned_at, l.rows_with_cells, l.new_descriptions, l.changed, "
            "(SELECT count(*) FROM learned_rows AS r WHERE r.learning = l.id) "
            "FROM learnings AS l ORDER BY l.id DESC"))) {
        m_store.readFailed(query.lastError());
        return std::nullopt;
    }
    std::vector<Learning> learnings;
    while (query.next())
        learnings.push_back({query.value(0).toLongLong(), query.value(1).toLongLong(),
                             query.value(2).toInt(), query.value(3).toInt(), query.value(4).toInt(),
                             query.value(5).toInt()});
    return learnings;
}

bool CategoryStore::forgetLearning(qint64 id) {
    const auto work = [&] {
        QSqlQuery query(m_store.database());
        const auto run = [&](const QString& statement) {
            query.prepare(statement);
            query.bindValue(0, id);
            return query.exec();
        };
        // A correction taken back: the row gets the cells it had, if their learning is still
        // there; a row first taught by the learning is forgotten.
        return run(QStringLiteral(
                   "UPDATE learned_rows SET cell3 = previous_cell3, cell4 = previous_cell4, "
                   "learning = previous_learning, previous_cell3 = NULL, "
                   "previous_cell4 = NULL, previous_learning = NULL WHERE learning = ? AND "
                   "previous_learning IN (SELECT id FROM learnings)")) &&
               run(QStringLiteral("DELETE FROM learned_rows WHERE learning = ?")) &&
               run(QStringLiteral("UPDATE learned_rows SET previous_cell3 = NULL, "
                                  "previous_cell4 = NULL, previous_learning = NULL "
                                  "WHERE previous_learning = ?")) &&
               run(QStringLiteral("DELETE FROM learnings WHERE id = ?"));
    };
    return m_store.isOpen() &&
           m_store.runInTransaction(work, QStringLiteral("覚えた分類を消せませんでした（%1）"));
}

std::optional<int> CategoryStore::forgetDescription(const QString& description) {
    int forgotten = 0;
    const auto work = [&] {
        QSqlQuery query(m_store.database());
        query.prepare(QStringLiteral("DELETE FROM learned_rows WHERE description = ?"));
        query.bindValue(0, description);
        if (!query.exec())
            return false;
        forgotten = query.numRowsAffected();
        return true;
    };
    if (!m_store.isOpen() ||
        !m_store.runInTransaction(work, QStringLiteral("覚えた分類を消せませんでした（%1）")))
        return std::nullopt;
    return forgotten;
}

bool CategoryStore::forgetAll() {
    if (!m_store.isOpen())
        return false;
    QSqlQuery query(m_store.database());
    // Overwrites the deleted rows' pages instead of leaving them in the file's free space.
    query.exec(QStringLiteral("PRAGMA secure_delete=ON"));
    const bool forgotten = m_store.runInTransaction(
        [&] {
            return query.exec(QStringLiteral("DELETE FROM learned_rows")) &&
                   query.exec(QStringLiteral("DELETE FROM learnings"));
        },
        QStringLiteral("覚えた分類を消せませんでした（%1）"));
    if (forgotten)
        QSqlQuery(m_store.database()).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    return forgotten;
}

bool CategoryStore::forgetChoice(const LearnedChoice& choice) {
    const auto work = [&] {
        QSqlQuery query(m_store.database());
        query.prepare(QStringLiteral("DELETE FROM learned_rows WHERE description = ? AND "
                                     "cell3 = ? AND cell4 = ?"));
        query.bindValue(0, choice.description);
        query.bindValue(1, choice.cell3);
        query.bindValue(2, choice.cell4);
        return query.exec();
    };
    return m_store.isOpen() &&
           m_store.runInTransaction(work, QStringLiteral("覚えた分類を消せませんでした（%1）"));
}

bool CategoryStore::changeCells(const LearnedChoice& old, const QString& cell3,
                                const QString& cell4) {
    const auto work = [&] {
        QSqlQuery query(m_store.database());
        query.prepare(QStringLiteral("UPDATE learned_rows SET cell3 = ?, cell4 = ? "
                                     "WHERE description = ? AND cell3 = ? AND cell4 = ?"));
        query.bindValue(0, cell3);
        query.bindValue(1, cell4);
        query.bindValue(2, old.description);
        query.bindValue(3, old.cell3);
        query.bindValue(4, old.cell4);
        return query.exec();
    };
    return m_store.isOpen() && m_store.runInTransaction(work, m_store.cannotWrite());
}

QString categoriesFileFor(const QString& iniFileName, const QString& programFolder,
                          const QString& userDataFolder) {
    return store::storeFileFor(QStringLiteral("categories.sqlite"), iniFileName, programFolder,
                               userDataFolder);
}

QString categoriesFileFor(const QString& iniFileName, const QString& programFolder) {
    return categoriesFileFor(iniFileName, programFolder,
                             QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
}

} // namespace tallemo::categories

namespace tallemo::categories {

QString categoryRulesFileFor(const QString& iniFileName) {
    return QFileInfo(iniFileName + QStringLiteral(".ini")).absolutePath() +
           QStringLiteral("/categories.toml");
}

CategoryMatcher loadMatcher(const QString& categoriesFile, const QString& rulesFile,
                            QStringList* problems) {
    CategoryMatcher matcher;
    if (!rulesFile.isEmpty()) {
        std::variant<CategoryRules, rules::RulesProblem> read = readCategoryRulesFile(rulesFile);
        if (auto* problem = std::get_if<rules::RulesProblem>(&read)) {
            if (problems != nullptr)
                *problems << problem->toString();
        } else {
            matcher.setRules(std::get<CategoryRules>(std::move(read)));
        }
    }
    if (!categoriesFile.isEmpty() && QFileInfo::exists(categoriesFile)) {
        CategoryStore store(categoriesFile, nullptr,
                            {.createMissing = false, .repairDamaged = false});
        if (std::optional<std::vector<LearnedChoice>> choices = store.choices())
            matcher.setLearned(*choices);
        if (std::optional<std::vector<ChoiceAmounts>> amounts = store.amounts())
            matcher.setAmounts(*amounts);
        if (problems != nullptr)
            *problems << store.notices();
    }
    return matcher;
}

namespace {

MatcherCache::FileStamp stampOf(const QString& file) {
    if (file.isEmpty())
        return {};
    std::error_code error;
    const std::filesystem::path path(file.toStdU16String());
    const auto size = std::filesystem::file_size(path, error);
    if (error)
        return {};
    const auto modified = std::filesystem::last_write_time(path, error);
    if (error)
        return {};
    return {
        true, static_cast<qint64>(size),
        std::chrono::duration_cast<std::chrono::nanoseconds>(modified.time_since_epoch()).count()};
}

} // namespace

std::vector<MatcherCache::FileStamp> MatcherCache::stampsOf(const QString& categoriesFile,
                                                            const QString& rulesFile) {
    // A commit of another process may sit in the log until a checkpoint writes it into the file.
    return {stampOf(categoriesFile),
            stampOf(categoriesFile.isEmpty() ? QString() : categoriesFile + QStringLiteral("-wal")),
            stampOf(rulesFile)};
}

const CategoryMatcher& MatcherCache::matcher(const QString& categoriesFile,
                                             const QString& rulesFile, QStringList* problems) {
    std::vector<FileStamp> stamps = stampsOf(categoriesFile, rulesFile);
    if (!m_matcher || categoriesFile != m_categoriesFile || rulesFile != m_rulesFile ||
        stamps != m_stamps) {
        m_problems.clear();
        m_matcher.emplace(loadMatcher(categoriesFile, rulesFile, &m_problems));
        m_categoriesFile = categoriesFile;
        m_rulesFile = rulesFile;
        m_stamps = std::move(stamps);
    }
    if (problems != nullptr)
        *problems << m_problems;
    return *m_matcher;
}

} // namespace tallemo::categories
