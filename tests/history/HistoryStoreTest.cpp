#include "history/HistoryStore.h"
#include "converters/StatementKinds.h"
#include "history/ConversionHistory.h"
#include "history/RowFingerprint.h"
#include "support/QtText.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <vector>

namespace tallemo::history {
namespace {

const QDateTime kDecemberFirst(QDate(2024, 12, 1), QTime(12, 0, 5));

const StatementKind& kindOf(QStringView id) {
    return *findBuiltInKind(id);
}

// The rows as the converters give them: each followed by CR LF.
QByteArray rowsOf(const std::vector<const char*>& rows) {
    QByteArray text;
    for (const char* row : rows)
        text += QByteArray(row) + "\r\n";
    return text;
}

struct Pass {
    int copiedBefore = 0;
    QByteArray newRows;
};

// How a conversion's rows reach the history: all at once (the window), or a row at a time as
// the companion streams them, with or without knowing how many are to come.
enum class Delivery { Whole, RowAtATime, RowAtATimeExpected };

// How a conversion's rows meet the history: a history of a few times the statement's rows is read
// whole, a larger one (here padded with another kind's rows) looked up row by row.
struct LookUpWay {
    const char* name;
    int otherKindsRows;
    Delivery delivery;
};
const std::vector<LookUpWay> kLookUpWays = {
    {"whole, history read whole", 0, Delivery::Whole},
    {"whole, looked up row by row", 50, Delivery::Whole},
    {"a row at a time, looked up row by row", 50, Delivery::RowAtATime},
};

// One conversion through the history: what it found copied before; recorded when asked.
Pass convertOnce(HistoryStore& store, const StatementKind& kind, const QByteArray& rows,
                 bool record = true, bool remark = false, Delivery delivery = Delivery::Whole) {
    ConversionHistory history(store, kind, remark,
                              delivery == Delivery::RowAtATimeExpected ? rows.count('\n') : 0);
    Pass pass;
    const auto each = [&pass](QByteArrayView row, bool copiedBefore) {
        if (!copiedBefore)
            pass.newRows += row;
    };
    if (delivery == Delivery::Whole) {
        history.take(rows, each);
    } else {
        for (const QByteArray& row : rows.split('\n')) {
            if (!row.isEmpty())
                history.take(row + '\n', each);
        }
    }
    pass.copiedBefore = history.copiedBefore();
    if (record) {
        EXPECT_TRUE(history.record()) << store.notices().join(u'\n').toStdString();
    }
    return pass;
}

class HistoryFile : public ::testing::Test {
protected:
    QString path() const { return folder.filePath(QStringLiteral("history.sqlite")); }
    Clock clock() const {
        return [this] { return now; };
    }

    QTemporaryDir folder;
    QDateTime now = kDecemberFirst;
};

TEST(RowFingerprintTest, IdentifyingCellsLeaveOutOnlyATrailingRemarksCell) {
    struct Case {
        const char* row;
        const char* cells;
    };
    const std::vector<Case> cases = {
        {"2024/12/01\tCAFE\t\t\t1,500\tSuica", "2024/12/01\tCAFE\t\t\t1,500"},
        {"2024/12/01\tCAFE\t\t\t1,500", "2024/12/01\tCAFE\t\t\t1,500"},
        // A shop called Suica is no remark.
        {"2024/12/01\tSuica\t\t\t1,500", "2024/12/01\tSuica\t\t\t1,500"},
        {"2024/12/01\tCAFE\t\t\t1,500\tXSuica", "2024/12/01\tCAFE\t\t\t1,500\tXSuica"},
    };
    const RowFingerprinter withRemark(*findBuiltInKind(u"view"), /*remarkOn=*/true);
    for (const Case& c : cases)
        EXPECT_EQ(withRemark.identifyingCells(c.row), QByteArrayView(c.cells)) << c.row;
}

TEST(RowFingerprintTest, SameRowWithAndWithoutRemarkIsOneRowAndKindsKeepTheirOwn) {
    RowFingerprinter viewWithRemark(*findBuiltInKind(u"view"), true);
    RowFingerprinter view(*findBuiltInKind(u"view"), false);
    RowFingerprinter card(*findBuiltInKind(u"card"), false);
    const QByteArray row = "2024/12/01\tCAFE\t\t\t1,500";
    EXPECT_EQ(viewWithRemark(row + "\tSuica").identity, view(row).identity);
    EXPECT_NE(card(row).identity, view(row).identity);
    EXPECT_NE(view(row).identity, view("2024/12/01\tCAFE\t\t\t1,501").identity);
}

// A row's identity is what it says, not how: the date as the date filter reads it, the amount as
// a number, the description trimmed, under the id of the kind whose rows it repeats; the user's
// cells are no part of it. What earlier versions recorded still comes along, unchanged.
TEST(RowFingerprintTest, RowsOfAKindAndOfTheKindsThatRepeatItShareOneIdentity) {
    StatementKind mail = *findBuiltInKind(u"card");
    mail.id = QStringLiteral("card-mail");
    mail.repeats = QStringLiteral("card");
    RowFingerprinter card(*findBuiltInKind(u"card"), false);
    RowFingerprinter fromMail(mail, false);
    const Fingerprint statement = card("2024/11/03\tSAMPLE STORE\t\t\t1,500").identity;
    struct Case {
        const char* row;
        bool same;
    };
    const std::vector<Case> cases = {
        {"2024/11/03\tSAMPLE STORE\t\t\t1500", true},
        {"2024-11-03\tSAMPLE STORE\t\t\t1,500", true},
        {"2024年11月3日\t SAMPLE STORE\u3000\t\t\t1,500 円", true},
        {"2024/11/03\tSAMPLE STORE\t食費\t外食\t1,500", true},
        {"2024/11/04\tSAMPLE STORE\t\t\t1,500", false},
        {"2024/11/03\tSAMPLE STORES\t\t\t1,500", false},
        {"2024/11/03\tSAMPLE STORE\t\t\t1,501", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fromMail(QByteArray(c.row)).identity == statement, c.same) << c.row;

    // The fingerprint earlier versions recorded: SHA-256 of the kind's own id, a TAB and the row.
    const QByteArray row = "2024/11/03\tSAMPLE STORE\t\t\t1,500";
    const QByteArray before = QCryptographicHash::hash("card\t" + row, QCryptographicHash::Sha256);
    const std::optional<Fingerprint> earlier = card(row).earlier;
    ASSERT_TRUE(earlier);
    EXPECT_EQ(QByteArrayView(earlier->data(), 32), QByteArrayView(before));
    // A line the kind could not split keeps the earlier fingerprint as its identity.
    EXPECT_EQ(
        QByteArrayView(card("ODD LINE").identity.data(), 32),
        QByteArrayView(QCryptographicHash::hash("card\tODD LINE", QCryptographicHash::Sha256)));
}

TEST_F(HistoryFile, TheNthCopyOfARowCountsOnlyWhenAnEarlierConversionHeldItNTimes) {
    struct Case {
        const char* name;
        std::vector<const char*> earlier; // conversions recorded before, one after the other
        std::vector<const char*> now;
        int copiedBefore;
        QByteArray newRows;
    };
    const std::vector<Case> cases = {
        {"nothing before", {}, {"A", "B"}, 0, rowsOf({"A", "B"})},
        {"two coffees, one before", {"A"}, {"A", "A"}, 1, rowsOf({"A"})},
        {"two coffees before, three now", {"A\r\nA\r\nB"}, {"A", "B", "A", "A"}, 3, rowsOf({"A"})},
        // Recording the same conversion twice changes nothing: counts are merged, not added.
        {"same conversion twice", {"A\r\nA", "A\r\nA"}, {"A", "A", "A"}, 2, rowsOf({"A"})},
        {"largest of the earlier conversions", {"A\r\nA\r\nA", "A"}, {"A", "A", "A"}, 3, {}},
    };
    // Read whole or looked up row by row, the history must count alike.
    std::vector<LookUpWay> ways = kLookUpWays;
    ways.push_back({"a row at a time, history read whole", 0, Delivery::RowAtATimeExpected});
    const StatementKind& card = kindOf(u"card");
    for (const LookUpWay& way : ways) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(way.name) + ": " + c.name);
            QFile::remove(path());
            HistoryStore store(path(), clock());
            QByteArray others;
            for (int i = 0; i < way.otherKindsRows; ++i)
                others += "A" + QByteArray::number(i) + "\r\n";
            convertOnce(store, kindOf(u"coop"), others + "A\r\nA\r\nA\r\nB\r\n");
            for (const char* earlier : c.earlier)
                convertOnce(store, card, QByteArray(earlier) + "\r\n", true, false, way.delivery);
            const Pass pass =
                convertOnce(store, card, rowsOf(c.now), /*record=*/false, false, way.delivery);
            EXPECT_EQ(pass.copiedBefore, c.copiedBefore);
            EXPECT_EQ(pass.newRows, c.newRows);
        }
    }
}

// A row recorded by an earlier version under its old fingerprint is copied all the same, and its
// count there still decides for the n-th copy where the row's identity holds fewer copies.
TEST_F(HistoryFile, RowsRecordedUnderTheEarlierFingerprintStillCount) {
    const char* const shop = "2024/11/03\tSAMPLE STORE\t\t\t1,500";
    struct Case {
        const char* name;
        int earlierCopies;  // in one conversion of an earlier version
        int identityCopies; // in one conversion since
        int now;
        int copiedBefore;
    };
    const std::vector<Case> cases = {
        {"earlier version only", 1, 0, 1, 1},
        {"earlier version only, two now", 1, 0, 2, 1},
        {"two by an earlier version, one since", 2, 1, 2, 2},
        {"two by an earlier version, one since, three now", 2, 1, 3, 2},
        {"one by an earlier version, two since", 1, 2, 2, 2},
        {"nothing before", 0, 0, 2, 0},
    };
    const StatementKind& card = kindOf(u"card");
    const auto copies = [shop](int count) {
        return rowsOf(std::vector<const char*>(static_cast<std::size_t>(count), shop));
    };
    for (const LookUpWay& way : kLookUpWays) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(way.name) + ": " + c.name);
            QFile::remove(path());
            HistoryStore store(path(), clock());
            QByteArray others;
            for (int i = 0; i < way.otherKindsRows; ++i)
                others += "A" + QByteArray::number(i) + "\r\n";
            convertOnce(store, kindOf(u"coop"), others);
            if (c.earlierCopies > 0) {
                RowFingerprinter fingerprinter(card, false);
                const std::pair<Fingerprint, int> asBefore{fingerprinter.earlier(shop),
                                                           c.earlierCopies};
                ASSERT_TRUE(store.record(card.id, {&asBefore, 1}));
            }
            if (c.identityCopies > 0)
                convertOnce(store, card, copies(c.identityCopies));
            const Pass pass = convertOnce(store, card, copies(c.now), false, false, way.delivery);
            EXPECT_EQ(pass.copiedBefore, c.copiedBefore);
        }
    }
}

TEST_F(HistoryFile, RowsOfOneKindAreNewToAnother) {
    HistoryStore store(path(), clock());
    convertOnce(store, kindOf(u"card"), rowsOf({"2024/12/01\tA\t\t\t1"}));
    EXPECT_EQ(convertOnce(store, kindOf(u"view"), rowsOf({"2024/12/01\tA\t\t\t1"})).copiedBefore,
              0);
}

TEST_F(HistoryFile, LatestEarlierCopyAndSummaryPerKind) {
    HistoryStore store(path(), clock());
    convertOnce(store, kindOf(u"card"), rowsOf({"A", "B"}));
    now = kDecemberFirst.addDays(3);
    convertOnce(store, kindOf(u"card"), rowsOf({"B", "C"}));
    convertOnce(store, kindOf(u"coop"), rowsOf({"A"}));

    now = kDecemberFirst.addDays(10);
    ConversionHistory history(store, kindOf(u"card"), false);
    history.take(rowsOf({"A", "B", "D"}), [](QByteArrayView, bool) {});
    EXPECT_EQ(history.copiedBefore(), 2);
    ASSERT_TRUE(history.latestEarlierCopy());
    EXPECT_EQ(monthDayText(*history.latestEarlierCopy()), QStringLiteral("12/04"));

    const std::optional<std::vector<KindSummary>> summary = store.summary();
    ASSERT_TRUE(summary);
    ASSERT_EQ(summary->size(), 2U);
    EXPECT_EQ((*summary)[0].kind, QStringLiteral("card"));
    EXPECT_EQ((*summary)[0].rows, 3);
    EXPECT_EQ((*summary)[0].lastCopied, kDecemberFirst.addDays(3).toSecsSinceEpoch());
    EXPECT_EQ((*summary)[1].kind, QStringLiteral("coop"));
    EXPECT_EQ((*summary)[1].rows, 1);
}

TEST_F(HistoryFile, NewFileIsTheUsersAloneInWalModeWithItsVersionAndKeepsNoRowText) {
    {
        HistoryStore store(path(), clock());
        ASSERT_TRUE(store.isOpen());
        convertOnce(store, kindOf(u"card"), rowsOf({"2024/12/01\tSECRET SHOP\t\t\t9,999"}));
    }
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600U);
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "inspect");
        database.setDatabaseName(path());
        ASSERT_TRUE(database.open());
        QSqlQuery query(database);
        ASSERT_TRUE(query.exec(QStringLiteral("PRAGMA user_version")) && query.next());
        EXPECT_EQ(query.value(0).toInt(), kSchemaVersion);
        ASSERT_TRUE(query.exec(QStringLiteral("PRAGMA journal_mode")) && query.next());
        EXPECT_EQ(query.value(0).toString(), QStringLiteral("wal"));
        ASSERT_TRUE(query.exec(QStringLiteral("SELECT length(fingerprint) FROM copied_rows")) &&
                    query.next());
        EXPECT_EQ(query.value(0).toInt(), 32);
        query.finish();
        database.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("inspect"));
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(file.readAll().contains("SECRET SHOP"));
}

// The log is copied into the file when the window is idle and when a store closes, not at the
// command's commit; the file alone (as a backup copy without its -wal takes it) must then hold
// every recorded row, also while another connection keeps the file open and SQLite's own
// checkpoint at the last close does not run.
TEST_F(HistoryFile, RecordedRowsReachTheFileItselfWhenIdleAndWhenTheStoreCloses) {
    const QByteArray rows = rowsOf({"2024/11/01\tSHOP A\t\t\t100", "2024/11/02\tSHOP B\t\t\t200"});
    const auto rowsInFileAlone = [this, &rows](const QString& copyName) {
        const QString copy = folder.filePath(copyName);
        EXPECT_TRUE(QFile::copy(path(), copy));
        HistoryStore fileAlone(copy, clock(), {.createMissing = false});
        return convertOnce(fileAlone, kindOf(u"card"), rows, /*record=*/false).copiedBefore;
    };
    HistoryStore keptOpen(path(), clock());
    {
        HistoryStore window(path(), clock());
        convertOnce(window, kindOf(u"card"), rows);
        QEventLoop idle;
        QTimer::singleShot(1500, &idle, &QEventLoop::quit);
        idle.exec();
        EXPECT_EQ(rowsInFileAlone(QStringLiteral("idle.sqlite")), 2);

        convertOnce(window, kindOf(u"card"), rowsOf({"2024/11/03\tSHOP C\t\t\t300"}));
    }
    const QByteArray all = rows + rowsOf({"2024/11/03\tSHOP C\t\t\t300"});
    const QString copy = folder.filePath(QStringLiteral("closed.sqlite"));
    ASSERT_TRUE(QFile::copy(path(), copy));
    HistoryStore fileAlone(copy, clock(), {.createMissing = false});
    EXPECT_EQ(convertOnce(fileAlone, kindOf(u"card"), all, /*record=*/false).copiedBefore, 3);
    EXPECT_TRUE(keptOpen.isOpen());
}

TEST_F(HistoryFile, ClearForgetsEveryRow) {
    HistoryStore store(path(), clock());
    convertOnce(store, kindOf(u"card"), rowsOf({"A", "B"}));
    ASSERT_TRUE(store.clear());
    EXPECT_EQ(convertOnce(store, kindOf(u"card"), rowsOf({"A", "B"}), false).copiedBefore, 0);
    EXPECT_EQ(store.summary()->size(), 0U);
}

TEST_F(HistoryFile, ExistingOnlyStoreMakesNoFile) {
    const HistoryStore store(path(), clock(), {.createMissing = false, .repairDamaged = false});
    EXPECT_FALSE(store.isOpen());
    EXPECT_TRUE(store.notices().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(path()));
    EXPECT_TRUE(QDir(folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

TEST_F(HistoryFile, HistoryOfANewerProgramIsLeftUntouchedAndUnused) {
    {
        HistoryStore store(path(), clock());
        convertOnce(store, kindOf(u"card"), rowsOf({"A"}));
    }
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "newer");
        database.setDatabaseName(path());
        ASSERT_TRUE(database.open());
        ASSERT_TRUE(QSqlQuery(database).exec(
            QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion + 1)));
        database.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("newer"));
    QFile before(path());
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray bytes = before.readAll();
    before.close();

    HistoryStore store(path(), clock());
    EXPECT_FALSE(store.isOpen());
    ASSERT_EQ(store.notices().size(), 1);
    EXPECT_TRUE(store.notices()[0].contains(QStringLiteral("新しい版")))
        << store.notices()[0].toStdString();
    const Pass pass = convertOnce(store, kindOf(u"card"), rowsOf({"A"}), false);
    EXPECT_EQ(pass.copiedBefore, 0);
    ConversionHistory history(store, kindOf(u"card"), false);
    history.take(rowsOf({"B"}), [](QByteArrayView, bool) {});
    EXPECT_FALSE(history.record());

    QFile after(path());
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), bytes);
    EXPECT_EQ(QDir(folder.path()).entryList({QStringLiteral("*.broken-*")}).size(), 0);
}

// A file that is no history, or a history cut short: the store works on with a new one and says
// once where the old one went. Its -wal and -shm go with it.
TEST_F(HistoryFile, DamagedFileIsMovedAsideOnceWithItsJournalAndANewOneStarted) {
    struct Case {
        const char* name;
        std::function<void(const QString& path)> damage;
    };
    const std::vector<Case> cases = {
        {"garbage",
         [](const QString& file) {
             QFile garbage(file);
             ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
             garbage.write(QByteArray(5000, 'x'));
             QFile wal(file + QStringLiteral("-wal"));
             ASSERT_TRUE(wal.open(QIODevice::WriteOnly));
             wal.write("journal");
         }},
        {"truncated",
         [this](const QString& file) {
             {
                 HistoryStore store(file, clock());
                 QByteArray rows;
                 for (int i = 0; i < 3000; ++i)
                     rows += "2024/12/01\tSHOP " + QByteArray::number(i) + "\t\t\t100\r\n";
                 convertOnce(store, kindOf(u"card"), rows);
             }
             QFile cut(file);
             ASSERT_GT(cut.size(), 40000);
             ASSERT_TRUE(cut.resize(cut.size() / 3));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir own;
        const QString file = own.filePath(QStringLiteral("history.sqlite"));
        c.damage(file);

        HistoryStore store(file, clock());
        QByteArray rows;
        for (int i = 0; i < 3000; i += 7)
            rows += "2024/12/01\tSHOP " + QByteArray::number(i) + "\t\t\t100\r\n";
        const Pass pass = convertOnce(store, kindOf(u"card"), rows);
        EXPECT_EQ(pass.copiedBefore, 0);
        ASSERT_EQ(store.notices().size(), 1) << store.notices().join(u'\n').toStdString();
        EXPECT_EQ(store.notices()[0],
                  QStringLiteral("コピー履歴が壊れていたので history.sqlite.broken-20241201-120005 "
                                 "に移し、新しく始めました"));
        EXPECT_TRUE(QFileInfo::exists(file + QStringLiteral(".broken-20241201-120005")));
        if (QString(c.name) == QStringLiteral("garbage")) {
            EXPECT_TRUE(QFileInfo::exists(file + QStringLiteral(".broken-20241201-120005-wal")));
        }
        // The new history holds the conversion's rows.
        EXPECT_EQ(convertOnce(store, kindOf(u"card"), rows, false).copiedBefore, 429);

        HistoryStore again(file, clock());
        EXPECT_TRUE(again.isOpen());
        EXPECT_TRUE(again.notices().isEmpty());
    }
}

TEST(HistoryLocationTest, BesideTheProgramOnlyWhenTheSettingsFileIsThere) {
    const QTemporaryDir program;
    const QString data = QStringLiteral("/home/someone/.local/share");
    struct Case {
        QString iniFileName;
        QString expected;
    };
    const std::vector<Case> cases = {
        {program.filePath(QStringLiteral("Tallemo")),
         program.filePath(QStringLiteral("history.sqlite"))},
        {program.path() + QStringLiteral("/./Tallemo"),
         program.filePath(QStringLiteral("history.sqlite"))},
        {QStringLiteral("/home/someone/.config/Tallemo/Tallemo"),
         data + QStringLiteral("/Tallemo/history.sqlite")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(historyFileFor(c.iniFileName, program.path(), data), c.expected)
            << c.iniFileName.toStdString();
}

} // namespace
} // namespace tallemo::history
