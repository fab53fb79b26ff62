// The history of copied rows as the window shows it: the message strip, 設定 › コピー済みの行を除く
// and 設定 › コピー履歴を消去….
#include "WindowHarness.h"

#include "settings/IniSettings.h"

#include <QAction>
#include <QCommandLinkButton>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <gtest/gtest.h>

namespace tallemo::testing {
namespace {

// A card statement of the given usages (day of November, shop, yen) and the rows it becomes.
struct Usage {
    int day;
    const char* shop;
    int yen;
};

QString historyCardStatement(const std::vector<Usage>& usages) {
    QString text = QStringLiteral("HEADER\r\n");
    for (const Usage& usage : usages)
        text += QStringLiteral("2024/11/%1\t%2\t%3 円\r\n支払方法\tAAA\r\nBBB\r\nCCC\r\n")
                    .arg(usage.day, 2, 10, QChar(u'0'))
                    .arg(QString::fromUtf8(usage.shop))
                    .arg(usage.yen);
    return text + QStringLiteral("FOOTER");
}

QString historyCardRows(const std::vector<Usage>& usages) {
    QString rows;
    for (const Usage& usage : usages)
        rows += QStringLiteral("2024/11/%1\t%2\t\t\t%3\r\n")
                    .arg(usage.day, 2, 10, QChar(u'0'))
                    .arg(QString::fromUtf8(usage.shop))
                    .arg(usage.yen);
    return rows;
}

const Usage kStore{3, "STORE", 500};
const Usage kCafe{5, "CAFE", 480};
const Usage kBakery{9, "BAKERY", 320};

const QString kCoopStatement = QStringLiteral("STATEMENT\r\n"
                                              "2024/12/05\tMILK\t1,280 円\r\n"
                                              "2024/12/12\tBREAD\t640 円\r\n"
                                              "TOTAL\t1,920 円");

class HistoryCommands : public ::testing::Test {
protected:
    void convertCard(const std::vector<Usage>& usages) {
        harness.setText(historyCardStatement(usages));
        harness.window->Button1->click();
    }
    void setNewOnly(bool on) {
        harness.window->NewRowsOnly->setChecked(!on);
        harness.window->NewRowsOnly->trigger();
        ASSERT_EQ(harness.window->NewRowsOnly->isChecked(), on);
    }

    MemoryClipboard clipboard{QStringLiteral("yesterday")};
    WindowHarness harness{&clipboard};
};

TEST_F(HistoryCommands, MessageCountsRowsCopiedBeforeAndTheClipboardStillGetsEveryRow) {
    convertCard({kStore, kCafe});
    EXPECT_EQ(harness.window->message(),
              QStringLiteral("楽天カード: 2 行をクリップボードにコピーしました"));
    EXPECT_TRUE(QFileInfo::exists(harness.historyFile()));

    harness.now = harness.now.addDays(4);
    convertCard({kStore, kCafe, kBakery});
    EXPECT_EQ(harness.window->message(),
              QStringLiteral("楽天カード: 3 行をクリップボードにコピーしました（うち 2 行は 12/01 "
                             "にコピー済み）"));
    EXPECT_EQ(clipboard.content(), historyCardRows({kStore, kCafe, kBakery}));

    // The date is the latest earlier copy among the rows.
    harness.now = harness.now.addDays(1);
    convertCard({kStore, kBakery});
    EXPECT_EQ(harness.window->message(),
              QStringLiteral("楽天カード: 2 行をクリップボードにコピーしました（うち 2 行は 12/05 "
                             "にコピー済み）"));
}

TEST_F(HistoryCommands, NewOnlyPutsOnlyNewRowsOnTheClipboardAndKeepsItWhenNothingIsNew) {
    setNewOnly(true);
    EXPECT_TRUE(ReadIniBoolean(harness.window->iniFileName(), QStringLiteral("History"),
                               QStringLiteral("NewOnly"), false));
    convertCard({kStore, kCafe});
    EXPECT_EQ(clipboard.content(), historyCardRows({kStore, kCafe}));

    convertCard({kStore, kCafe, kBakery});
    EXPECT_EQ(harness.window->message(),
              QStringLiteral("楽天カード: 1 行をクリップボードにコピーしました（コピー済みの 2 "
                             "行を除きました）"));
    EXPECT_EQ(clipboard.content(), historyCardRows({kBakery}));
    // The text area shows every row, as ever.
    for (const Usage& usage : {kStore, kCafe, kBakery})
        EXPECT_TRUE(harness.text().contains(historyCardRows({usage}))) << usage.shop;

    const int sets = clipboard.setCount();
    convertCard({kStore, kCafe, kBakery});
    EXPECT_EQ(
        harness.window->message(),
        QStringLiteral("楽天カード: 3 行はすべてコピー済みです。クリップボードはそのままです"));
    EXPECT_EQ(clipboard.setCount(), sets);
    EXPECT_EQ(clipboard.content(), historyCardRows({kBakery}));

    // Switched off again: every row goes out, with the count.
    setNewOnly(false);
    convertCard({kStore, kCafe, kBakery});
    EXPECT_EQ(clipboard.content(), historyCardRows({kStore, kCafe, kBakery}));
}

// The n-th copy of a row counts as copied only when an earlier conversion held it n times.
TEST_F(HistoryCommands, IdenticalRowsInOneStatementAreEachCounted) {
    setNewOnly(true);
    convertCard({kCafe});
    convertCard({kCafe, kCafe});
    EXPECT_EQ(clipboard.content(), historyCardRows({kCafe}));
    EXPECT_EQ(harness.window->message(),
              QStringLiteral("楽天カード: 1 行をクリップボードにコピーしました（コピー済みの 1 "
                             "行を除きました）"));
}

TEST_F(HistoryCommands, RowWithAndWithoutTheRemarksCellIsTheSameRow) {
    harness.setText(kCoopStatement);
    harness.window->T1->trigger();
    WriteIniBoolean(harness.window->iniFileName(), QStringLiteral("seikyo"),
                    QStringLiteral("hoken"), true);
    harness.setText(kCoopStatement);
    harness.window->T1->trigger();
    EXPECT_EQ(harness.window->message(),
              QStringLiteral("生協: 2 行をクリップボードにコピーしました（うち 2 行は 12/01 "
                             "にコピー済み）"));
    EXPECT_TRUE(clipboard.content()->contains(QStringLiteral("\t保険\r\n")));
}

TEST_F(HistoryCommands, DividendRowsAreNotRecordedAndTheirMessageIsAsBefore) {
    setNewOnly(true);
    QFile fixture(qEnvironmentVariable("TALLEMO_FIXTURES") +
                  QStringLiteral("/domestic/names-and-short-lines.txt"));
    ASSERT_TRUE(fixture.open(QIODevice::ReadOnly));
    const QString statement = QString::fromUtf8(fixture.readAll());
    for (int run = 0; run < 2; ++run) {
        harness.setText(statement);
        harness.window->Button6->click();
        EXPECT_TRUE(harness.window->message().startsWith(
            QStringLiteral("国内配当: 4 行をクリップボードにコピーしました")))
            << harness.window->message().toStdString();
        EXPECT_FALSE(harness.window->message().contains(QStringLiteral("コピー済み")));
        EXPECT_EQ(clipboard.content()->count(QStringLiteral("\r\n")), 4);
    }
    EXPECT_FALSE(QFileInfo::exists(harness.historyFile()));
}

TEST_F(HistoryCommands, ClearHistoryAsksFirstAndThenForgetsEveryRow) {
    convertCard({kStore, kCafe});

    harness.dialogs.answerButton(1); // いいえ
    harness.window->ClearHistory->trigger();
    ASSERT_EQ(harness.dialogs.shown.size(), 1U);
    EXPECT_EQ(harness.dialogs.shown[0].kind, DialogKind::Confirmation);
    EXPECT_EQ(harness.dialogs.shown[0].defaultButton, 1) << "Enter must keep the history";
    EXPECT_EQ(harness.window->message(), QStringLiteral("コピー履歴はそのままです"));
    convertCard({kStore, kCafe});
    EXPECT_TRUE(harness.window->message().contains(QStringLiteral("うち 2 行は")));

    harness.dialogs.answerButton(0); // はい
    harness.window->ClearHistory->trigger();
    EXPECT_EQ(harness.window->message(), QStringLiteral("コピー履歴を消去しました"));
    convertCard({kStore, kCafe});
    EXPECT_EQ(harness.window->message(),
              QStringLiteral("楽天カード: 2 行をクリップボードにコピーしました"));
}

// Each window keeps its history open between commands; it must still see what another window
// recorded meanwhile, and not write into a file that was deleted under it.
TEST_F(HistoryCommands, WindowsSeeEachOthersRowsAndStartAgainWhenTheFileIsDeleted) {
    WindowHarness second{&clipboard, harness.folderPath()};
    const auto convertInSecond = [&second](const std::vector<Usage>& usages) {
        second.setText(historyCardStatement(usages));
        second.window->Button1->click();
        return second.window->message();
    };
    convertCard({kStore});
    EXPECT_EQ(convertInSecond({kStore, kCafe}),
              QStringLiteral("楽天カード: 2 行をクリップボードにコピーしました（うち 1 行は 12/01 "
                             "にコピー済み）"));
    convertCard({kStore, kCafe, kBakery});
    EXPECT_EQ(harness.window->message(),
              QStringLiteral("楽天カード: 3 行をクリップボードにコピーしました（うち 2 行は 12/01 "
                             "にコピー済み）"));

    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::remove(harness.historyFile() + suffix);
    convertCard({kStore});
    EXPECT_EQ(harness.window->message(),
              QStringLiteral("楽天カード: 1 行をクリップボードにコピーしました"));
    EXPECT_TRUE(QFileInfo::exists(harness.historyFile()));
    EXPECT_EQ(convertInSecond({kStore, kCafe}),
              QStringLiteral("楽天カード: 2 行をクリップボードにコピーしました（うち 1 行は 12/01 "
                             "にコピー済み）"));
}

TEST_F(HistoryCommands, DamagedHistoryIsSaidOnceAndTheConversionGoesOn) {
    QFile garbage(harness.historyFile());
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, 'x'));
    garbage.close();

    convertCard({kStore, kCafe});
    EXPECT_EQ(harness.window->message(),
              QStringLiteral("楽天カード: 2 行をクリップボードにコピーしました。コピー履歴が壊れて"
                             "いたので history.sqlite.broken-20241201-120000 "
                             "に移し、新しく始めました"));
    EXPECT_EQ(clipboard.content(), historyCardRows({kStore, kCafe}));

    convertCard({kStore, kCafe});
    EXPECT_EQ(harness.window->message(),
              QStringLiteral("楽天カード: 2 行をクリップボードにコピーしました（うち 2 行は 12/01 "
                             "にコピー済み）"));
}

// Lets the window's idle work run, as it does while the user has not pressed anything yet.
void idleForASecond() {
    QEventLoop loop;
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    loop.exec();
}

// The window opens an existing history and reads it while idle after starting; the first command
// must still say what opening it found, and a window that has never converted makes no file.
TEST_F(HistoryCommands, HistoryReadWhileIdleKeepsItsNoticeForTheFirstCommand) {
    QFile garbage(harness.historyFile());
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, 'x'));
    garbage.close();
    idleForASecond();
    EXPECT_TRUE(
        QFileInfo::exists(harness.historyFile() + QStringLiteral(".broken-20241201-120000")));

    convertCard({kStore});
    EXPECT_EQ(harness.window->message(),
              QStringLiteral("楽天カード: 1 行をクリップボードにコピーしました。コピー履歴が壊れて"
                             "いたので history.sqlite.broken-20241201-120000 "
                             "に移し、新しく始めました"));
}

TEST_F(HistoryCommands, IdleWindowMakesNoHistoryAndReadsAnEarlierOne) {
    idleForASecond();
    EXPECT_FALSE(QFileInfo::exists(harness.historyFile()));

    convertCard({kStore, kCafe});
    WindowHarness later{&clipboard, harness.folderPath()};
    idleForASecond();
    later.setText(historyCardStatement({kStore, kCafe, kBakery}));
    later.window->Button1->click();
    EXPECT_EQ(later.window->message(),
              QStringLiteral("楽天カード: 3 行をクリップボードにコピーしました（うち 2 行は 12/01 "
                             "にコピー済み）"));
}

} // namespace
} // namespace tallemo::testing
