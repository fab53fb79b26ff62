#include "WindowHarness.h"

#include <QAction>
#include <QApplication>
#include <QCommandLinkButton>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

namespace tallemo::testing {
namespace {

class WindowLayout : public ::testing::Test {
protected:
    void SetUp() override {
        form().show();
        QCoreApplication::processEvents();
    }
    TForm1& form() { return *harness.window; }
    template <typename T> T* find(const char* name) {
        return form().findChild<T*>(QString::fromLatin1(name));
    }

    WindowHarness harness;
};

TEST_F(WindowLayout, WindowHasItsCaptionClientAreaAndBlackBackground) {
    EXPECT_EQ(form().windowTitle(), QStringLiteral("Tallemo"));
    ASSERT_NE(form().centralWidget(), nullptr);
    EXPECT_EQ(form().centralWidget()->size(), QSize(689, 611));
    EXPECT_EQ(form().centralWidget()->palette().color(QPalette::Window), QColor(Qt::black));
    EXPECT_EQ(form().font().pointSize(), 9);
    EXPECT_EQ(form().font().families().value(0), QStringLiteral("Segoe UI"));
    EXPECT_EQ(form().title(), QStringLiteral("Tallemo"));
}

struct ExpectedButton {
    const char* name = nullptr;
    QRect geometry;
    const char* caption = nullptr;
    bool rounded = false;
    bool visible = false;
};

TEST_F(WindowLayout, CommandLinkButtonsSitWhereTheyBelongWithTheirCaptionsAndFonts) {
    const ExpectedButton buttons[] = {
        {"Button3", {8, 548, 118, 42}, "貼り付け", true, true},
        {"Button1", {143, 548, 121, 42}, "楽天カード", true, true},
        {"Button6", {279, 548, 121, 42}, "国内配当", true, true},
        {"Button7", {410, 548, 121, 42}, "国外配当", true, true},
        {"Button4", {552, 548, 137, 41}, "スプシ表示", false, true},
        {"Button2", {552, 595, 121, 33}, "テスト用", false, false},
    };
    for (const ExpectedButton& expected : buttons) {
        SCOPED_TRACE(expected.name);
        auto* button = find<QCommandLinkButton>(expected.name);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->parentWidget(), form().centralWidget());
        EXPECT_EQ(button->geometry(), expected.geometry);
        EXPECT_EQ(button->text(), QString::fromUtf8(expected.caption));
        EXPECT_EQ(button->isVisible(), expected.visible);
        EXPECT_EQ(button->font().pointSize(), expected.rounded ? 15 : 9);
        EXPECT_NE(button->font().weight(), QFont::Bold);
        if (expected.rounded) {
            EXPECT_TRUE(button->font().families().contains(QStringLiteral("MotoyaLMaru")));
            EXPECT_EQ(button->palette().color(QPalette::ButtonText), QColor(0xA6, 0xCA, 0xF0));
            // The caption fits beside the arrow: 13 px after the icon, 4 px on the right.
            const int room =
                button->width() - button->icon().actualSize(button->iconSize()).width() - 17;
            EXPECT_LE(QFontMetrics(button->font()).horizontalAdvance(button->text()), room)
                << button->font().stretch();
        }
    }
}

TEST_F(WindowLayout, TextAreaFillsThePanelInAquaOnBlackWithoutWrapping) {
    auto* panel = find<QFrame>("Panel1");
    auto* memo = find<QPlainTextEdit>("Memo1");
    ASSERT_NE(panel, nullptr);
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(panel->geometry(), QRect(0, 25, 689, 521));
    EXPECT_EQ(memo->parentWidget(), panel);
    EXPECT_EQ(memo->geometry(), QRect(1, 1, 687, 519));
    EXPECT_EQ(memo->font().pointSize(), 12);
    EXPECT_EQ(memo->palette().color(QPalette::Base), QColor(Qt::black));
    EXPECT_EQ(memo->palette().color(QPalette::Text), QColor(0x00, 0xFF, 0xFF));
    EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_TRUE(memo->tabChangesFocus());
    EXPECT_TRUE(memo->toPlainText().isEmpty());
    EXPECT_FALSE(memo->isReadOnly());
}

TEST_F(WindowLayout, ToolBarCarriesTheClearAndPasteAndTheOpenFileButtons) {
    auto* bar = find<QToolBar>("ActionToolBar1");
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->geometry(), QRect(0, 0, 689, 25));
    EXPECT_NE(bar->palette().color(QPalette::Window), QColor(Qt::black));
    EXPECT_EQ(bar->palette().color(QPalette::ButtonText), QColor(Qt::black));
    QStringList captions;
    for (QAction* action : bar->actions())
        if (action->isVisible())
            if (auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action)))
                captions << button->text();
    EXPECT_EQ(captions, (QStringList{QStringLiteral("すべてを消去して貼り付け(&Z)"),
                                     QStringLiteral("ファイルを開く…(&O)")}));
}

TEST_F(WindowLayout, ResizingStretchesToolBarAndPanelButLeavesTheButtons) {
    const QRect button1 = form().Button1->geometry();
    form().resize(form().width() + 200, form().height() + 100);
    QCoreApplication::processEvents();

    const int width = form().centralWidget()->width();
    EXPECT_EQ(width, 889);
    EXPECT_EQ(form().ActionToolBar1->geometry(), QRect(0, 0, width, 25));
    EXPECT_EQ(form().Panel1->geometry(), QRect(0, 25, width, 521));
    EXPECT_EQ(form().Memo1->width(), width - 2);
    EXPECT_EQ(form().Button1->geometry(), button1);
}

QAction* actionWithShortcut(const QWidget& widget, const QKeySequence& keys) {
    for (QAction* action : widget.actions())
        if (action->shortcut() == keys)
            return action;
    return nullptr;
}

TEST_F(WindowLayout, F10OpensTheMenuBarAndShiftF10TheTextAreasMenu) {
    QAction* menuBarKey = actionWithShortcut(form(), QKeySequence(Qt::Key_F10));
    ASSERT_NE(menuBarKey, nullptr);
    EXPECT_EQ(menuBarKey->shortcutContext(), Qt::WindowShortcut);
    menuBarKey->trigger();
    QCoreApplication::processEvents();
    ASSERT_NE(form().MainMenu1->activeAction(), nullptr);
    EXPECT_EQ(form().MainMenu1->activeAction(), form().MainMenu1->actions().constFirst());
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();

    QAction* textAreaKey = actionWithShortcut(*form().Memo1, QKeySequence(Qt::SHIFT | Qt::Key_F10));
    ASSERT_NE(textAreaKey, nullptr);
    EXPECT_EQ(textAreaKey->shortcutContext(), Qt::WidgetWithChildrenShortcut);
    QStringList entries;
    QTimer::singleShot(0, [&entries] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr)
            return;
        for (QAction* action : menu->actions())
            entries << action->text();
        menu->close();
    });
    textAreaKey->trigger();
    ASSERT_FALSE(entries.isEmpty());
    EXPECT_EQ(entries.constLast(), form().LearnKind->text());
}

TEST_F(WindowLayout, TheCaretIsTwoPixelsWideOnTheBlackTextArea) {
    EXPECT_EQ(form().Memo1->cursorWidth(), 2);
}

TEST_F(WindowLayout, TabGoesRoundTheVisibleButtonsAndTheTextArea) {
    QStringList order;
    QWidget* widget = form().Button1;
    do {
        if (widget->isVisible() && widget->isEnabled() &&
            (widget->focusPolicy() & Qt::TabFocus) != 0)
            order << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != form().Button1);
    EXPECT_EQ(order, (QStringList{"Button1", "Button3", "Button4", "Button6", "Button7", "Memo1"}));
}

struct ExpectedEntry {
    const char* name = nullptr;
    const char* caption = nullptr;
    bool visible = false;
};

struct ExpectedMenu {
    const char* name = nullptr;
    const char* title = nullptr;
    std::vector<ExpectedEntry> entries;
};

TEST_F(WindowLayout, MainMenuHoldsItsEntriesInOrderWithoutShortcuts) {
    const std::vector<ExpectedMenu> menus = {
        // The kinds of rules files go between the two separators; this window has none.
        {"N8",
         "その他の書式",
         {{"View1", "View", true},
          {"T1", "生協", true},
          {"", "", true},
          {"", "", true},
          {"ReloadKinds", "書式を再読み込み", true},
          {"KindProblems", "書式ファイルの問題…", true},
          {"", "", true},
          {"LearnKind", "例から書式を作る…", true}}},
        {"CategoriesMenu",
         "分類",
         {{"LearnCategories", "表計算の行から覚える", true},
          {"FillCategories", "分類を入れる", true},
          {"ShowCategories", "覚えた分類…", true},
          {"OpenCategoryRules", "分類の規則を開く", true}}},
        {"N1",
         "設定",
         {{"N4", "スプシURL", true},
          {"N3", "API設定", true},
          {"N2", "View設定", true},
          {"N5", "生協設定", true},
          {"", "", true},
          {"NewRowsOnly", "コピー済みの行を除く", true},
          {"ClearHistory", "コピー履歴を消去…", true},
          {"N9", "その他をオフにする", false},
          {"AdditionalFinctionOn1", "その他をオンにする", false}}},
        {"N6", "ヘルプ", {{"N7", "作者ホームページ", true}}},
    };
    auto* menuBar = find<QMenuBar>("MainMenu1");
    ASSERT_NE(menuBar, nullptr);
    ASSERT_EQ(menuBar->actions().size(), static_cast<qsizetype>(menus.size()));
    for (size_t m = 0; m < menus.size(); ++m) {
        const ExpectedMenu& expected = menus[m];
        SCOPED_TRACE(expected.name);
        QMenu* menu = menuBar->actions()[static_cast<qsizetype>(m)]->menu();
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->objectName(), QString::fromLatin1(expected.name));
        EXPECT_EQ(menu->title(), QString::fromUtf8(expected.title));
        ASSERT_EQ(menu->actions().size(), static_cast<qsizetype>(expected.entries.size()));
        for (size_t e = 0; e < expected.entries.size(); ++e) {
            const QAction* entry = menu->actions()[static_cast<qsizetype>(e)];
            EXPECT_EQ(entry->objectName(), QString::fromLatin1(expected.entries[e].name));
            EXPECT_EQ(entry->text(), QString::fromUtf8(expected.entries[e].caption));
            EXPECT_EQ(entry->isVisible(), expected.entries[e].visible);
            // Qt counts a hidden action as disabled; the visible ones all start enabled.
            if (expected.entries[e].visible) {
                EXPECT_TRUE(entry->isEnabled());
            }
            EXPECT_TRUE(entry->shortcut().isEmpty());
        }
    }
}

struct ExpectedAction {
    const char* name = nullptr;
    const char* category = nullptr;
    const char* caption = nullptr;
    bool visible = false;
    bool enabled = false;
};

void expectActions(const ActionList& list, const std::vector<ExpectedAction>& actions) {
    ASSERT_EQ(list.actionCount(), static_cast<int>(actions.size()));
    for (int i = 0; i < list.actionCount(); ++i) {
        const ExpectedAction& expected = actions[static_cast<size_t>(i)];
        SCOPED_TRACE(expected.name);
        EXPECT_EQ(list.action(i)->objectName(), QString::fromLatin1(expected.name));
        EXPECT_EQ(list.category(i), QString::fromUtf8(expected.category));
        EXPECT_EQ(list.action(i)->text(), QString::fromUtf8(expected.caption));
        EXPECT_EQ(list.action(i)->isVisible(), expected.visible);
        if (expected.visible) {
            EXPECT_EQ(list.action(i)->isEnabled(), expected.enabled);
        }
    }
}

TEST_F(WindowLayout, ActionListsHoldTheirActionsWithCategories) {
    auto* list1 = find<ActionList>("ActionList1");
    ASSERT_NE(list1, nullptr);
    expectActions(*list1, {{"SeikyouAnalysis", "その他", "生協", true, true},
                           {"ViewAnalysis", "その他", "View", true, true},
                           {"AdditionalFunctionOn", "", "AdditionalFunctionOn", false, true},
                           {"AdditionalFunctionOff", "", "AdditionalFunctionOff", false, true}});

    auto* manager = find<ActionManager>("ActionManager1");
    ASSERT_NE(manager, nullptr);
    expectActions(*manager, {{"SeikyoAnalizing", "その他機能", "生協解析", true, true},
                             {"ViewAnalizing", "その他機能", "View解析", true, true},
                             {"WindowClose1", "ウィンドウ", "閉じる(&L)", true, false},
                             {"SelectAllPaste", "", "すべてを消去して貼り付け", true, true},
                             {"NewBeikoku", "", "新米国テスト", true, true},
                             {"OpenFile", "", "ファイルを開く…", true, true}});
    EXPECT_EQ(form().WindowClose1->toolTip(), QStringLiteral("閉じる"));
}

TEST_F(WindowLayout, ActionBarsAreDataAndOnlyBarFiveIsShown) {
    const ActionManager& manager = *form().ActionManager1;
    ASSERT_EQ(manager.barCount(), 6);
    EXPECT_FALSE(manager.bar(0).visible);
    EXPECT_TRUE(manager.bar(0).items.isEmpty());
    for (int i = 1; i <= 3; ++i) {
        ASSERT_EQ(manager.bar(i).items.size(), 2);
        EXPECT_EQ(manager.bar(i).items[0].action, form().SeikyoAnalizing);
        EXPECT_EQ(manager.bar(i).items[0].caption, QStringLiteral("生協解析(&Z)"));
        EXPECT_EQ(manager.bar(i).items[1].action, form().ViewAnalizing);
        EXPECT_EQ(manager.bar(i).items[1].caption, QStringLiteral("View解析(&V)"));
    }
    EXPECT_TRUE(manager.bar(4).items.isEmpty());
    ASSERT_EQ(manager.bar(5).items.size(), 2);
    EXPECT_EQ(manager.bar(5).items[0].action, form().SelectAllPaste);
    EXPECT_EQ(manager.bar(5).items[0].caption, QStringLiteral("すべてを消去して貼り付け(&Z)"));
    EXPECT_EQ(manager.bar(5).items[1].action, form().OpenFile);
    EXPECT_EQ(manager.bar(5).items[1].caption, QStringLiteral("ファイルを開く…(&O)"));

    // Actions that no bar shows, and the hidden menu entries' actions, sit in no widget.
    for (QAction* action :
         {form().SeikyoAnalizing, form().ViewAnalizing, form().WindowClose1, form().NewBeikoku,
          form().AdditionalFunctionOn, form().AdditionalFunctionOff}) {
        SCOPED_TRACE(action->objectName().toStdString());
        EXPECT_TRUE(action->associatedObjects().isEmpty());
    }
}

} // namespace
} // namespace tallemo::testing
