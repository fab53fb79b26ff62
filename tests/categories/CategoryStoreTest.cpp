// The learned categories in real SQLite files: learning, corrections, taking a learning back,
// damage, a newer program's file and several processes learning at once.
#include "categories/CategoryStore.h"

#include "support/QtText.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace tallemo::categories {
namespace {

using testing_support::u8;

const QDateTime kJuly = QDateTime(QDate(2025, 7, 1), QTime(12, 0), Qt::UTC);

class CategoriesFile : public ::testing::Test {
protected:
    QString path() const { return folder.filePath(QStringLiteral("categories.sqlite")); }
    store::Clock clock() const {
        return [] { return kJuly; };
    }
    LearningCounts learn(CategoryStore& store, const char* sheet) {
        const std::optional<LearningCounts> counts = store.learn(readSheet(u8(sheet)));
        EXPECT_TRUE(counts) << store.notices().join(u'\n').toStdString();
        return counts.value_or(LearningCounts{});
    }
    QStringList listed(CategoryStore& store) {
        QStringList lines;
        const std::vector<LearnedChoice> choices = store.choices().value();
        for (const LearnedChoice& choice : choices)
            lines << QStringLiteral("%1|%2|%3|%4|%5")
                         .arg(choice.description, choice.cell3, choice.cell4)
                         .arg(choice.times)
                         .arg(choice.lastDay);
        return lines;
    }

    QTemporaryDir folder;
};

const char* const kSheet = "日付\t内容\t大項目\t小項目\t金額\n"
                           "2025/06/01\tローソン 町田店\t食費\tコンビニ\t540\n"
                           "2025/06/02\tﾛｰｿﾝ 123\t食費\tコンビニ\t300\n"
                           "2025/06/03\t東京電力\t水道光熱費\t電気\t5,000\n"
                           "2025/06/04\tドトール\t\t\t300\n"
                           "\t合計\t\t\t6,140\n";

// A table of learnings in order, each with the message it gives.
TEST_F(CategoriesFile, LearningCountsNewRowsShopsAndCorrectionsOnce) {
    CategoryStore store(path(), clock());
    ASSERT_TRUE(store.isOpen());
    const struct {
        const char* sheet;
        const char* message;
    } steps[] = {
        {kSheet, "分類: 3 行から覚えました（新しい説明 3 件、変わった分類 0 件）。分類のない 1 行と"
                 "表の行でない 2 行は飛ばしました"},
        // The same sheet again.
        {kSheet, "分類: 新しく覚えたことはありません。分類のない 1 行と表の行でない 2 行は"
                 "飛ばしました"},
        // One row corrected, one new row of a known shop.
        {"2025/06/03\t東京電力\t住居\t電気\t5,000\n2025/06/09\tローソン\t食費\tコンビニ\t100\n",
         "分類: 2 行から覚えました（新しい説明 0 件、変わった分類 1 件）"},
        {"2025/06/04\tドトール\t\t\t300\n", "分類: 分類の入った表の行がありませんでした。分類のない"
                                            " 1 行は飛ばしました"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.message);
        EXPECT_EQ(learningMessage(learn(store, step.sheet)), u8(step.message));
    }
    EXPECT_EQ(listed(store), QStringList({u8("ローソン|食費|コンビニ|1|2025-06-09"),
                                          u8("ローソン 町田店|食費|コンビニ|1|2025-06-01"),
                                          u8("東京電力|住居|電気|1|2025-06-03"),
                                          u8("ﾛｰｿﾝ 123|食費|コンビニ|1|2025-06-02")}));
    // Another store on the same file sees the same.
    CategoryStore again(path(), clock());
    EXPECT_EQ(listed(again).size(), 4);
}

TEST_F(CategoriesFile, TakingALearningBackRestoresWhatItChangedAndForgetsWhatItAdded) {
    CategoryStore store(path(), clock());
    learn(store, kSheet);
    learn(store, "2025/06/03\t東京電力\t住居\t電気\t5,000\n2025/06/09\tカフェ\t食費\t外食\t400\n");
    const std::vector<Learning> learnings = store.learnings().value();
    ASSERT_EQ(learnings.size(), 2U);
    EXPECT_EQ(learnings[0].rowsItStillTeaches, 2);
    EXPECT_EQ(learnings[1].rowsItStillTeaches, 2);
    ASSERT_TRUE(store.forgetLearning(learnings[0].id));
    EXPECT_EQ(listed(store), QStringList({u8("ローソン 町田店|食費|コンビニ|1|2025-06-01"),
                                          u8("東京電力|水道光熱費|電気|1|2025-06-03"),
                                          u8("ﾛｰｿﾝ 123|食費|コンビニ|1|2025-06-02")}));
    EXPECT_EQ(store.learnings().value().size(), 1U);

    EXPECT_EQ(store.forgetDescription(u8("東京電力")), 1);
    ASSERT_TRUE(store.changeCells({u8("ローソン 町田店"), u8("食費"), u8("コンビニ"), 1, {}},
                                  u8("食費"), u8("おやつ")));
    EXPECT_EQ(listed(store), QStringList({u8("ローソン 町田店|食費|おやつ|1|2025-06-01"),
                                          u8("ﾛｰｿﾝ 123|食費|コンビニ|1|2025-06-02")}));
    ASSERT_TRUE(store.forgetAll());
    EXPECT_TRUE(listed(store).isEmpty());
    EXPECT_TRUE(store.learnings().value().empty());
}

// Every row of a longer sheet lands once, rows of one shop and day told apart by their amounts,
// and pasting the sheet again finds them all. A long first sheet has its description index built
// anew: the index is there afterwards as a new file has it.
TEST_F(CategoriesFile, ALongSheetIsLearnedWholeAndOnce) {
    CategoryStore store(path(), clock());
    for (const int rows : {1, 64, 65, 150, 1300}) {
        SCOPED_TRACE(rows);
        ASSERT_TRUE(store.forgetAll());
        QString sheet;
        for (int k = 0; k < rows; ++k)
            sheet += u8("2025/06/%1\tショップ %2\t分類%3\t細目\t%4\n")
                         .arg(1 + k % 28)
                         .arg(k % 7)
                         .arg(k % 3)
                         .arg(100 + k);
        const std::optional<LearningCounts> first = store.learn(readSheet(sheet));
        ASSERT_TRUE(first);
        EXPECT_EQ(first->newRows, rows);
        int times = 0;
        const std::vector<LearnedChoice> choices = store.choices().value();
        for (const LearnedChoice& choice : choices)
            times += choice.times;
        EXPECT_EQ(times, rows);
        EXPECT_EQ(store.learnings().value().front().rowsItStillTeaches, rows);
        EXPECT_FALSE(store.learn(readSheet(sheet)).value().learnedSomething());
    }
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "look");
        database.setDatabaseName(path());
        ASSERT_TRUE(database.open());
        QSqlQuery query(database);
        ASSERT_TRUE(query.exec(QStringLiteral(
            "SELECT sql FROM sqlite_master WHERE name = 'learned_rows_by_description'")));
        ASSERT_TRUE(query.next());
        EXPECT_EQ(query.value(0).toString(),
                  QStringLiteral("CREATE INDEX learned_rows_by_description ON learned_rows "
                                 "(description)"));
        query.finish();
        database.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("look"));
    EXPECT_EQ(store.forgetDescription(u8("ショップ 3")), 186);
}

// A file written before amounts were kept opens with its rows as they were; its rows get their
// amounts when the user pastes them again, without a learning of their own.
TEST_F(CategoriesFile, AFileWithoutAmountsKeepsItsRowsAndGetsThemWhenTheSheetComesAgain) {
    QStringList before;
    {
        CategoryStore store(path(), clock());
        learn(store, kSheet);
        before = listed(store);
    }
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "older");
        database.setDatabaseName(path());
        ASSERT_TRUE(database.open());
        QSqlQuery query(database);
        ASSERT_TRUE(query.exec(QStringLiteral("ALTER TABLE learned_rows DROP COLUMN amount")));
        ASSERT_TRUE(query.exec(QStringLiteral("PRAGMA user_version=1")));
        query.finish();
        database.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("older"));

    CategoryStore store(path(), clock());
    ASSERT_TRUE(store.isOpen()) << store.notices().join(u'\n').toStdString();
    EXPECT_EQ(listed(store), before);
    EXPECT_TRUE(store.amounts().value().empty());
    EXPECT_FALSE(learn(store, kSheet).learnedSomething());
    EXPECT_EQ(store.learnings().value().size(), 1U);
    const std::vector<ChoiceAmounts> amounts = store.amounts().value();
    ASSERT_EQ(amounts.size(), 2U);
    EXPECT_EQ(amounts[0].cell3, u8("水道光熱費"));
    EXPECT_EQ(amounts[0].rows, 1);
    EXPECT_DOUBLE_EQ(amounts[0].logSum, std::log(5000.0));
    EXPECT_EQ(amounts[1].cell4, u8("コンビニ"));
    EXPECT_EQ(amounts[1].rows, 2);
    EXPECT_DOUBLE_EQ(amounts[1].logSum, std::log(540.0) + std::log(300.0));
    EXPECT_DOUBLE_EQ(amounts[1].logSquares,
                     std::log(540.0) * std::log(540.0) + std::log(300.0) * std::log(300.0));
}

TEST_F(CategoriesFile, GarbageIsMovedAsideAndANewerProgramsFileLeftAlone) {
    {
        QFile garbage(path());
        ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray(5000, 'x'));
    }
    {
        CategoryStore store(path(), clock());
        ASSERT_TRUE(store.isOpen());
        ASSERT_EQ(store.notices().size(), 1);
        EXPECT_EQ(store.notices()[0],
                  u8("覚えた分類が壊れていたので categories.sqlite.broken-20250701-120000 に移し、"
                     "新しく始めました"));
        learn(store, kSheet);
        EXPECT_EQ(QFileInfo(path()).permissions(),
                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                      QFileDevice::WriteUser);
    }
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "newer");
        database.setDatabaseName(path());
        ASSERT_TRUE(database.open());
        ASSERT_TRUE(QSqlQuery(database).exec(
            QStringLiteral("PRAGMA user_version=%1").arg(kCategoriesSchemaVersion + 1)));
        database.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("newer"));
    CategoryStore newer(path(), clock());
    EXPECT_FALSE(newer.isOpen());
    EXPECT_FALSE(newer.learn(readSheet(u8(kSheet))));
    ASSERT_FALSE(newer.notices().isEmpty());
    EXPECT_TRUE(newer.notices()[0].contains(u8("新しい版"))) << newer.notices()[0].toStdString();
    EXPECT_EQ(QDir(folder.path()).entryList({QStringLiteral("*.broken-*")}).size(), 1);
}

// Four processes learn at once, each correcting its rows again and again: every row arrives,
// with the last correction of the process that owns it.
TEST_F(CategoriesFile, ConcurrentLearnersLoseNothing) {
    constexpr int kWriters = 4;
    constexpr int kTimes = 10;
    std::vector<std::unique_ptr<QProcess>> writers;
    for (int w = 0; w < kWriters; ++w) {
        auto writer = std::make_unique<QProcess>();
        writer->start(QStringLiteral(TALLEMO_CATEGORIES_WRITER),
                      {path(), QStringLiteral("shop%1").arg(w), QStringLiteral("50"),
                       QString::number(kTimes)});
        ASSERT_TRUE(writer->waitForStarted(10000));
        writers.push_back(std::move(writer));
    }
    for (const auto& writer : writers) {
        ASSERT_TRUE(writer->waitForFinished(120000));
        EXPECT_EQ(writer->exitCode(), 0) << writer->readAllStandardOutput().toStdString();
    }
    CategoryStore store(path(), clock());
    const std::vector<LearnedChoice> choices = store.choices().value();
    ASSERT_EQ(choices.size(), static_cast<std::size_t>(kWriters * 50));
    for (const LearnedChoice& choice : choices)
        EXPECT_TRUE(choice.cell3.endsWith(QStringLiteral("-%1").arg(kTimes)))
            << choice.cell3.toStdString();
    EXPECT_EQ(store.learnings().value().size(), static_cast<std::size_t>(kWriters * kTimes));
}

// A window keeps the matcher between commands: whatever another store writes into the file (its
// commits still in the write-ahead log while it stays open) and whatever the rules file says
// now is what the next command fills with.
TEST_F(CategoriesFile, TheKeptMatcherFollowsTheFilesAsTheyChange) {
    const QString rules = folder.filePath(QStringLiteral("categories.toml"));
    const auto cellsFor = [&](MatcherCache& cache, const char* description) {
        const std::optional<CategoryChoice> choice =
            cache.matcher(path(), rules, nullptr).guess(u"card", u8(description));
        return choice ? choice->cell3 + u'/' + choice->cell4 : QString();
    };
    const auto writeRules = [&](const char* text) {
        QFile file(rules);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    };
    MatcherCache cache;
    EXPECT_TRUE(cache.matcher(path(), rules, nullptr).isEmpty());

    CategoryStore writer(path(), clock());
    learn(writer, kSheet);
    EXPECT_EQ(cellsFor(cache, "東京電力"), u8("水道光熱費/電気"));
    learn(writer, "2025/06/03\t東京電力\t住居\t電気\t5,000\n");
    EXPECT_EQ(cellsFor(cache, "東京電力"), u8("住居/電気"));

    writeRules("[[rule]]\nmatch = '東京電力'\ncells = ['固定費', '電気']\n");
    EXPECT_EQ(cellsFor(cache, "東京電力"), u8("固定費/電気"));
    // A broken rules file is reported on every command, and what was learned still fills.
    writeRules("[[rule]\n");
    for (int command = 0; command < 2; ++command) {
        QStringList problems;
        const CategoryMatcher& matcher = cache.matcher(path(), rules, &problems);
        EXPECT_EQ(problems.size(), 1);
        ASSERT_TRUE(matcher.guess(u"card", u8("東京電力")));
        EXPECT_EQ(matcher.guess(u"card", u8("東京電力"))->cell3, u8("住居"));
    }
    ASSERT_TRUE(writer.forgetAll());
    QFile::remove(rules);
    EXPECT_TRUE(cache.matcher(path(), rules, nullptr).isEmpty());
}

TEST(CategoriesLocationTest, BesideTheHistory) {
    const QTemporaryDir program;
    EXPECT_EQ(categoriesFileFor(program.filePath(QStringLiteral("Tallemo")), program.path(),
                                QStringLiteral("/data")),
              program.filePath(QStringLiteral("categories.sqlite")));
    EXPECT_EQ(categoriesFileFor(QStringLiteral("/home/u/.config/Tallemo/Tallemo"), program.path(),
                                QStringLiteral("/data")),
              QStringLiteral("/data/Tallemo/categories.sqlite"));
}

} // namespace
} // namespace tallemo::categories
