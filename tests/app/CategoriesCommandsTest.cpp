// The window's 分類 menu: learning from the text area's rows, the fill switch, the rules file and
// the dialog of what was learned.
#include "WindowHarness.h"

#include "settings/IniSettings.h"

#include <QAction>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>

#include <gtest/gtest.h>

namespace tallemo::testing {
namespace {

const QString kSheet = QStringLiteral("日付\t内容\t大項目\t小項目\t金額\n"
                                      "2024/11/01\tローソン 町田店\t食費\tコンビニ\t540\n"
                                      "2024/11/02\t東京電力\t水道光熱費\t電気\t5,000\n"
                                      "2024/11/03\tドトール\t\t\t300");

class CategoriesCommands : public ::testing::Test {
protected:
    MemoryClipboard clipboard{QStringLiteral("yesterday")};
    WindowHarness harness{&clipboard};
};

TEST_F(CategoriesCommands, TheMenuComesAfterTheOtherFormats) {
    QStringList captions;
    for (QAction* action : harness.window->menuBar()->actions())
        captions << action->text();
    const qsizetype others = captions.indexOf(QStringLiteral("その他の書式"));
    ASSERT_GE(others, 0);
    EXPECT_EQ(captions.value(others + 1), QStringLiteral("分類"));
    QStringList entries;
    for (QAction* action : harness.window->CategoriesMenu->actions())
        entries << action->text();
    EXPECT_EQ(entries,
              QStringList({QStringLiteral("表計算の行から覚える"), QStringLiteral("分類を入れる"),
                           QStringLiteral("覚えた分類…"), QStringLiteral("分類の規則を開く")}));
    EXPECT_TRUE(harness.window->FillCategories->isChecked());
}

// The text area and the clipboard stay as they are; the same sheet again learns nothing.
TEST_F(CategoriesCommands, LearningFromTheTextAreaSaysWhatItLearned) {
    harness.setText(kSheet);
    harness.window->LearnCategories->trigger();
    EXPECT_EQ(harness.window->message(),
              QStringLiteral("分類: 2 行から覚えました（新しい説明 2 件、変わった分類 0 件）。"
                             "分類のない 1 行と表の行でない 1 行は飛ばしました"));
    EXPECT_EQ(harness.text(), QString(kSheet).replace(u'\n', QStringLiteral("\r\n")));
    EXPECT_EQ(clipboard.content(), QStringLiteral("yesterday"));
    EXPECT_TRUE(QFileInfo::exists(harness.window->categoriesFile()));
    harness.window->LearnCategories->trigger();
    EXPECT_TRUE(
        harness.window->message().startsWith(QStringLiteral("分類: 新しく覚えたことはありません")));
}

TEST_F(CategoriesCommands, TheFillSwitchIsKeptInTheSettings) {
    harness.window->FillCategories->trigger();
    EXPECT_FALSE(harness.window->FillCategories->isChecked());
    EXPECT_FALSE(ReadIniBoolean(harness.window->iniFileName(), QStringLiteral("Categories"),
                                QStringLiteral("Fill"), true));
    harness.window->FillCategories->trigger();
    EXPECT_TRUE(ReadIniBoolean(harness.window->iniFileName(), QStringLiteral("Categories"),
                               QStringLiteral("Fill"), false));
}

TEST_F(CategoriesCommands, OpeningTheRulesMakesTheFileWithAnExampleFirst) {
    harness.window->OpenCategoryRules->trigger();
    ASSERT_EQ(harness.openedUrls.size(), 1U);
    const QString path = harness.openedUrls[0].toLocalFile();
    EXPECT_EQ(QFileInfo(path).fileName(), QStringLiteral("categories.toml"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("[[rule]]"));
}

// The dialog: filtered lines, an edited cell, a forgotten line, a learning taken back.
TEST_F(CategoriesCommands, TheDialogEditsForgetsAndTakesBack) {
    harness.setText(kSheet);
    harness.window->LearnCategories->trigger();
    harness.setText(QStringLiteral("2024/11/05\tカフェ\t食費\t外食\t400"));
    harness.window->LearnCategories->trigger();

    harness.dialogs.onCategoriesDialog = [](CategoriesDialog& dialog) {
        QAbstractItemModel* view = dialog.table()->model();
        EXPECT_EQ(view->rowCount(), 3);
        EXPECT_EQ(dialog.learnings()->count(), 2);
        dialog.filter()->setText(QStringLiteral("東京"));
        ASSERT_EQ(view->rowCount(), 1);
        // Editing cell 4 of 東京電力.
        view->setData(view->index(0, 2), QStringLiteral("電気代"));
        dialog.filter()->clear();
        QStringList cells;
        for (int row = 0; row < dialog.model()->rowCount(); ++row)
            cells << dialog.model()->item(row, 0)->text() + u'|' +
                         dialog.model()->item(row, 2)->text();
        EXPECT_TRUE(cells.contains(QStringLiteral("東京電力|電気代")))
            << cells.join(u',').toStdString();

        dialog.filter()->setText(QStringLiteral("ローソン"));
        dialog.table()->selectRow(0);
        dialog.forgetSelected();
        dialog.filter()->clear();
        EXPECT_EQ(view->rowCount(), 2);

        // The newest learning first: taking it back forgets カフェ.
        dialog.learnings()->setCurrentRow(0);
        dialog.takeBackSelectedLearning();
        EXPECT_EQ(view->rowCount(), 1);
        EXPECT_EQ(dialog.learnings()->count(), 1);
        dialog.forgetAll();
        EXPECT_EQ(view->rowCount(), 0);
    };
    harness.window->ShowCategories->trigger();
    EXPECT_EQ(harness.dialogs.categoriesDialogsShown, 1);
}

} // namespace
} // namespace tallemo::testing
