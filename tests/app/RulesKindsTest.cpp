// The kinds of rules files in the window: their menu entries, their conversions, the files'
// problems, and reading the folder again while the window runs.
#include "WindowHarness.h"
#include "support/TestFiles.h"

#include "converters/StatementKinds.h"

#include <QCommandLinkButton>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>

#include <gtest/gtest.h>

namespace tallemo::testing {
namespace {

QByteArray totalsKind(const char* id, const char* caption) {
    return QByteArray("id = '") + id + "'\ncaption = '" + caption +
           "'\nentry = ['(?P<date>\\S+) total (?P<amount>.+)']\n"
           "row = ['{date|date}', '{amount|yen}']\n";
}

// Lets the window's events run until done() or five seconds have passed.
bool waitFor(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

QStringList entryTexts(const TForm1& form) {
    QStringList texts;
    for (const QAction* entry : form.rulesKindEntries())
        texts << entry->text();
    return texts;
}

// The window as the user starts it with kinds already in its folders.
struct RulesWindow {
    RulesWindow() {
        writeFile(folder.filePath(QStringLiteral("kinds/totals.toml")),
                  totalsKind("totals", "合計 & 残高"));
        writeFile(folder.filePath(QStringLiteral("shipped-kinds/bank.toml")),
                  totalsKind("bank", "ローン明細"));
        writeFile(folder.filePath(QStringLiteral("kinds/broken.toml")),
                  "id = 'broken'\ncaption = 'B'\nentry = ['(']\nrow = ['x']\n");
        harness = std::make_unique<WindowHarness>(&clipboard, folder.path());
    }
    TForm1& form() const { return *harness->window; }

    QTemporaryDir folder;
    MemoryClipboard clipboard{QStringLiteral("before")};
    std::unique_ptr<WindowHarness> harness;
};

TEST(RulesKinds, AreListedBelowTheBuiltInFormatsByCaptionWithTheirAmpersandShown) {
    const RulesWindow window;
    const QList<QAction*> entries = window.form().N8->actions();
    // View, 生協, a separator, the rules kinds, a separator, the two entries for the files, and
    // learning a kind.
    ASSERT_EQ(entries.size(), 10);
    EXPECT_TRUE(entries[2]->isSeparator());
    // Japanese order: kana before kanji.
    EXPECT_EQ(entries[3]->text(), QStringLiteral("ローン明細"));
    EXPECT_EQ(entries[4]->text(), QStringLiteral("合計 && 残高"));
    EXPECT_TRUE(entries[5]->isSeparator());
    EXPECT_EQ(entries[6], window.form().ReloadKinds);
    EXPECT_EQ(entries[7], window.form().KindProblems);
    EXPECT_EQ(entries[9], window.form().LearnKind);
}

TEST(RulesKinds, AnEntryConvertsTheTextAsOneUndoStepAndSaysWhatItLeftOut) {
    const RulesWindow window;
    const QString statement = QStringLiteral(
        "明細\r\n2024/11/03 total 1,500\r\n11/04 total 20\r\n2024/11/05 total 3,000\r\n");
    window.harness->setText(statement);

    window.form().rulesKindEntries().back()->trigger();

    const QString rows = QStringLiteral("2024/11/03\t1500\r\n2024/11/05\t3000\r\n");
    EXPECT_EQ(window.clipboard.content(), rows);
    EXPECT_EQ(window.harness->text(), rows);
    EXPECT_EQ(window.form().message(),
              QStringLiteral("合計 & 残高: 2 行をクリップボードにコピーしました。"
                             "1 件は日付を読めませんでした"
                             "（書式ファイルに問題があります）")); // broken.toml
    window.form().Memo1->undo();
    EXPECT_EQ(window.harness->text(), statement);
}

TEST(RulesKinds, AKindThatFindsNothingLeavesTextAndClipboardAndNamesTheKindTheTextLooksLike) {
    const RulesWindow window;
    window.harness->setText(cardStatement());

    window.form().rulesKindEntries().back()->trigger();

    EXPECT_EQ(window.harness->text(), cardStatement());
    EXPECT_EQ(window.clipboard.content(), QStringLiteral("before"));
    EXPECT_EQ(
        window.form().message(),
        QStringLiteral("合計 & 残高の明細が見つかりませんでした。クリップボードはそのままです。"
                       "楽天カードの明細のようです（書式ファイルに問題があります）"));
}

TEST(RulesKinds, ABrokenFileIsNamedInTheStripAndItsProblemShownInTheDialog) {
    const RulesWindow window;
    EXPECT_EQ(window.form().message(),
              QStringLiteral("書式ファイル broken.toml に問題があります（その他の書式 › "
                             "書式ファイルの問題…）"));

    window.form().KindProblems->trigger();

    ASSERT_EQ(window.harness->dialogs.shown.size(), 1U);
    const DialogRequest& dialog = window.harness->dialogs.shown.front();
    EXPECT_EQ(dialog.title, QStringLiteral("書式ファイルの問題"));
    EXPECT_EQ(dialog.details,
              QStringLiteral("broken.toml 3 行 10 桁目: パターンを読めません: missing ): ("));
    const QString kindsFolder = window.folder.filePath(QStringLiteral("kinds"));
    EXPECT_TRUE(dialog.text.endsWith(QStringLiteral("\n書式ファイルのフォルダ: ") +
                                     QDir::toNativeSeparators(kindsFolder)))
        << dialog.text.toStdString();
    EXPECT_EQ(dialog.buttons, (QStringList{"OK", "フォルダを開く"}));
    EXPECT_TRUE(window.harness->openedUrls.empty());
    // Closing the dialog leaves the strip saying the file is still broken, and every other
    // command says so too.
    EXPECT_EQ(window.form().message(),
              QStringLiteral("書式ファイル broken.toml に問題があります（その他の書式 › "
                             "書式ファイルの問題…）"));
    window.form().NewRowsOnly->trigger();
    EXPECT_TRUE(
        window.form().message().endsWith(QStringLiteral("（書式ファイルに問題があります）")))
        << window.form().message().toStdString();
}

TEST(RulesKinds, AFileDroppedIntoTheFolderIsReadWithoutAnyCommand) {
    const RulesWindow window;
    writeFile(window.folder.filePath(QStringLiteral("kinds/another.toml")),
              totalsKind("another", "あとから"));
    QFile::remove(window.folder.filePath(QStringLiteral("kinds/broken.toml")));

    EXPECT_TRUE(waitFor([&] { return entryTexts(window.form()).size() == 3; }));
    EXPECT_EQ(entryTexts(window.form()), (QStringList{"あとから", "ローン明細", "合計 && 残高"}));
    EXPECT_EQ(window.form().message(), QStringLiteral("書式ファイルを読み込みました（3 種類）"));
}

TEST(RulesKinds, AReloadWhileACommandWaitsForTheRateTakesEffectAfterIt) {
    const RulesWindow window;
    const KindRegistry* before = &window.form().kinds();
    window.harness->setText(kForeignStatement);
    window.harness->transport.whileWaiting = [&] {
        writeFile(window.folder.filePath(QStringLiteral("kinds/late.toml")),
                  totalsKind("late", "遅れて"));
        window.form().ReloadKinds->trigger();
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 800)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        EXPECT_EQ(&window.form().kinds(), before);
        EXPECT_EQ(entryTexts(window.form()).size(), 2);
    };

    window.form().Button7->click();

    EXPECT_TRUE(waitFor([&] { return entryTexts(window.form()).size() == 3; }));
}

} // namespace
} // namespace tallemo::testing
