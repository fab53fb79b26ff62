// 例から書式を作る in the window: the selected entry, the dialog's proposal and preview, saving,
// and the new kind converting from its menu entry.
#include "WindowHarness.h"

#include "converters/StatementKinds.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTableWidget>
#include <QTextBlock>
#include <QTextCursor>

#include <gtest/gtest.h>

namespace tallemo::testing {
namespace {

const QString kMail = QStringLiteral("カードご利用のお知らせ\r\n"
                                     "■利用日: 2024/11/03\r\n■利用先: SAMPLE STORE\r\n"
                                     "■利用金額: 1,500 円\r\n\r\n"
                                     "■利用日: 2024/11/04 18:25\r\n■利用先: ｻﾝﾌﾟﾙｺｰﾋｰ\r\n"
                                     "■利用金額: 480 円\r\n\r\n"
                                     "■利用日: 2024/11/05\r\n■利用先: 取消済み\r\n\r\n"
                                     "※お問い合わせは会員ページから\r\n");

// Selects lines [first, last] of the text area, from the middle of the first to the middle of
// the last, as a hurried mouse would.
void selectLines(QPlainTextEdit& memo, int first, int last) {
    QTextCursor cursor(memo.document()->findBlockByNumber(first));
    cursor.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, 2);
    const QTextBlock end = memo.document()->findBlockByNumber(last);
    cursor.setPosition(end.position() + 3, QTextCursor::KeepAnchor);
    memo.setTextCursor(cursor);
}

class LearnCommand : public ::testing::Test {
protected:
    TForm1& form() { return *harness.window; }
    MemoryClipboard clipboard{QStringLiteral("before")};
    WindowHarness harness{&clipboard};
};

TEST_F(LearnCommand, WithoutASelectionSaysToSelectAnEntryFirst) {
    harness.setText(kMail);
    form().LearnKind->trigger();
    ASSERT_EQ(harness.dialogs.shown.size(), 1U);
    EXPECT_EQ(
        harness.dialogs.shown[0].text,
        QStringLiteral("例にする明細の 1 件分の行を選んでから、もう一度「例から書式を作る…」を"
                       "選んでください"));
    EXPECT_EQ(harness.dialogs.learnDialogsShown, 0);
}

TEST_F(LearnCommand, ProposesARowPreviewsTheWholeTextAndSavesAKindThatConvertsFromTheMenu) {
    harness.setText(kMail);
    selectLines(*form().Memo1, 1, 3);
    std::vector<QStringList> preview;
    harness.dialogs.onLearnDialog = [&](LearnDialog& dialog) {
        EXPECT_EQ(dialog.cells(), (QStringList{"2024/11/03", "SAMPLE STORE", "", "", "1500"}));
        dialog.setCaption(QStringLiteral("Sample Mail"));
        dialog.relearn();
        EXPECT_EQ(dialog.id(), QStringLiteral("sample-mail"));
        const auto& learned = dialog.learned();
        EXPECT_TRUE(learned.has_value()) << dialog.problem().toStdString();
        if (learned) {
            preview = learned->rows;
            // The third entry lacks its amount line: it begins like an entry but is none.
            EXPECT_EQ(learned->unmatchedStarts, std::vector<int>{9});
        }
        EXPECT_EQ(dialog.previewTable()->model()->rowCount(), 2);
        return dialog.save();
    };

    form().LearnKind->trigger();

    EXPECT_EQ(preview, (std::vector<QStringList>{{"2024/11/03", "SAMPLE STORE", "", "", "1500"},
                                                 {"2024/11/04", "ｻﾝﾌﾟﾙｺｰﾋｰ", "", "", "480"}}));
    EXPECT_EQ(harness.text(), kMail) << "learning leaves the text as it was";
    EXPECT_TRUE(QFileInfo::exists(harness.userKindsFolder() + QStringLiteral("/sample-mail.toml")));
    const QString saved = QStringLiteral("書式「Sample Mail」を保存しました: %1")
                              .arg(QDir::toNativeSeparators(harness.userKindsFolder() +
                                                            QStringLiteral("/sample-mail.toml")));
    EXPECT_EQ(form().message(), saved);
    // The kinds folder's watcher reloads a moment later; the message stays.
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 1500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(form().message(), saved);
    ASSERT_EQ(form().rulesKindEntries().size(), 1);

    form().rulesKindEntries().front()->trigger();

    EXPECT_EQ(
        clipboard.content(),
        QStringLiteral("2024/11/03\tSAMPLE STORE\t\t\t1500\r\n2024/11/04\tｻﾝﾌﾟﾙｺｰﾋｰ\t\t\t480\r\n"));
    form().Memo1->undo();
    EXPECT_EQ(harness.text(), kMail);
}

TEST_F(LearnCommand, AsksBeforeReplacingAFileAndWritesNothingWhenCancelled) {
    harness.setText(kMail);
    selectLines(*form().Memo1, 1, 3);
    const QString path = harness.userKindsFolder() + QStringLiteral("/kind-1.toml");
    QDir().mkpath(harness.userKindsFolder());
    {
        QFile existing(path);
        ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
        existing.write("# mine\n");
    }
    harness.dialogs.onLearnDialog = [&](LearnDialog& dialog) {
        // The id kind-1 is taken by the file: the proposal moves on; the user types it back.
        EXPECT_EQ(dialog.id(), QStringLiteral("kind-2"));
        return false;
    };
    form().LearnKind->trigger();
    EXPECT_EQ(harness.dialogs.learnDialogsShown, 1);
    EXPECT_FALSE(QFileInfo::exists(harness.userKindsFolder() + QStringLiteral("/kind-2.toml")));

    // Saving over a file of the same id asks first; "no" keeps the file.
    harness.dialogs.onLearnDialog = [&](LearnDialog& dialog) {
        dialog.setCaption(QStringLiteral("カード"));
        // Typing the id over the proposal.
        auto* id = dialog.findChild<QLineEdit*>(QStringLiteral("LearnId"));
        id->setText(QStringLiteral("kind-1"));
        emit id->textEdited(id->text());
        dialog.relearn();
        return dialog.save();
    };
    harness.dialogs.answerButton(1); // いいえ
    form().LearnKind->trigger();
    ASSERT_FALSE(harness.dialogs.shown.empty());
    EXPECT_EQ(harness.dialogs.shown.back().text,
              QStringLiteral("%1 はもうあります。置き換えますか?").arg(path));
    QFile kept(path);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("# mine\n"));
}

// A bank's income and payment stand in different columns: the payment, selected in the dialog's
// copy of the text and added as a second example, makes one kind that gives both.
TEST_F(LearnCommand, AFurtherExampleFromTheDialogsTextGivesTheRowsOfBothColumns) {
    const QString statement = QStringLiteral("日付\t摘要\t出金\t入金\t残高\n"
                                             "2025/01/10\t給与\t\t300,000\t398,500\n"
                                             "2025/01/12\tSAMPLE STORE\t1,500\t\t397,000\n"
                                             "2025/02/10\t給与\t\t310,000\t707,000\n");
    harness.setText(statement);
    selectLines(*form().Memo1, 1, 1);
    std::vector<QStringList> rows;
    QStringList missed;
    harness.dialogs.onLearnDialog = [&](LearnDialog& dialog) {
        const QStringList income = {"2025/01/10", "給与", "", "", "300000"};
        for (int c = 0; c < income.size(); ++c)
            dialog.setCell(c, income[c]);
        // Nothing selected in the dialog's text: no example is added.
        auto* addExample = dialog.findChild<QPushButton*>(QStringLiteral("LearnAddExample"));
        EXPECT_NE(addExample, nullptr);
        if (addExample == nullptr)
            return false;
        addExample->click();
        EXPECT_EQ(dialog.exampleCount(), 1);

        selectLines(*dialog.sourceText(), 2, 2);
        addExample->click();
        EXPECT_EQ(dialog.exampleCount(), 2);
        EXPECT_EQ(dialog.rowTable()->rowCount(), 4);
        dialog.relearn();
        EXPECT_FALSE(dialog.learned().has_value()) << "the second example has no row yet";
        EXPECT_TRUE(dialog.problem().startsWith(QStringLiteral("例 2 の行がありません")))
            << dialog.problem().toStdString();

        const QStringList payment = {"2025/01/12", "SAMPLE STORE", "", "", "-1500"};
        for (int c = 0; c < payment.size(); ++c)
            dialog.setCell(1, c, payment[c]);
        dialog.relearn();
        if (const auto& learned = dialog.learned()) {
            rows = learned->rows;
            missed = learned->nearMisses;
        }
        return false;
    };
    form().LearnKind->trigger();
    EXPECT_EQ(rows, (std::vector<QStringList>{{"2025/01/10", "給与", "", "", "300000"},
                                              {"2025/01/12", "SAMPLE STORE", "", "", "-1500"},
                                              {"2025/02/10", "給与", "", "", "310000"}}));
    EXPECT_TRUE(missed.isEmpty()) << missed.join(u'\n').toStdString();
}

// The caption comes from the mail's heading; Tab in the row's last cell leaves the table for the
// next field instead of walking the 文字のまま boxes.
TEST_F(LearnCommand, ProposesTheHeadingAsCaptionAndTabLeavesTheRowAfterItsLastCell) {
    harness.setText(kMail);
    selectLines(*form().Memo1, 1, 3);
    QString caption;
    QString id;
    bool leftTheTable = false;
    harness.dialogs.onLearnDialog = [&](LearnDialog& dialog) {
        caption = dialog.findChild<QLineEdit*>(QStringLiteral("LearnCaption"))->text();
        id = dialog.id();
        dialog.show();
        QTableWidget* row = dialog.rowTable();
        row->setFocus();
        row->setCurrentCell(0, row->columnCount() - 1);
        EXPECT_EQ(dialog.focusWidget(), row);
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QCoreApplication::sendEvent(row, &tab);
        leftTheTable = dialog.focusWidget() != row && row->currentRow() == 0;
        return false;
    };
    form().LearnKind->trigger();
    EXPECT_EQ(caption, QStringLiteral("カードご利用のお知らせ"));
    EXPECT_EQ(id, QStringLiteral("kind-1"));
    EXPECT_TRUE(leftTheTable);
}

} // namespace
} // namespace tallemo::testing
