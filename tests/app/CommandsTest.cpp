#include "WindowHarness.h"

#include "settings/IniSettings.h"

#include <QClipboard>
#include <QCommandLinkButton>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextCursor>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>

namespace tallemo::testing {
namespace {

QClipboard& systemClipboard() {
    return *QGuiApplication::clipboard();
}

void select(QPlainTextEdit& memo, int from, int to) {
    QTextCursor cursor = memo.textCursor();
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    memo.setTextCursor(cursor);
}

QToolButton* toolBarButton(TForm1& form) {
    for (QAction* action : form.ActionToolBar1->actions())
        if (auto* button = qobject_cast<QToolButton*>(form.ActionToolBar1->widgetForAction(action)))
            return button;
    return nullptr;
}

// Rows whose first cell is today's date, with that cell taken off.
QString withoutDates(QString rows) {
    static const QRegularExpression firstCell(QStringLiteral("(^|\\n)[^\\t\\r\\n]*\\t"));
    return rows.replace(firstCell, QStringLiteral("\\1"));
}

class PasteCommands : public ::testing::Test {
protected:
    TForm1& form() { return *harness.window; }
    WindowHarness harness;
};

TEST_F(PasteCommands, PasteReplacesTheSelectionByTheClipboardTextUpToItsFirstNul) {
    harness.setText(QStringLiteral("head SEL tail"));
    select(*form().Memo1, 5, 8);
    systemClipboard().setText(QStringLiteral("x\ny\rz\r\nw") + QChar(u'\0') +
                              QStringLiteral("gone"));

    form().Button3->click();

    EXPECT_EQ(harness.text(), QStringLiteral("head x\r\ny\r\nz\r\nw tail"));
    EXPECT_TRUE(harness.dialogs.shown.empty());
    form().Memo1->undo();
    EXPECT_EQ(harness.text(), QStringLiteral("head SEL tail"));
}

TEST_F(PasteCommands, PasteWithoutSelectionInsertsAtTheCaret) {
    harness.setText(QStringLiteral("ab"));
    select(*form().Memo1, 1, 1);
    systemClipboard().setText(QStringLiteral("X"));

    form().Button3->click();

    EXPECT_EQ(harness.text(), QStringLiteral("aXb"));
}

TEST_F(PasteCommands, ClearAndPasteOnTheToolBarReplacesEverythingAsOneUndoStep) {
    harness.setText(QStringLiteral("old\r\ntext"));
    systemClipboard().setText(QStringLiteral("r1\tA\nr2\tB\n"));
    QToolButton* button = toolBarButton(form());
    ASSERT_NE(button, nullptr);

    button->click();

    EXPECT_EQ(harness.text(), QStringLiteral("r1\tA\r\nr2\tB\r\n"));
    form().Memo1->undo();
    EXPECT_EQ(harness.text(), QStringLiteral("old\r\ntext"));
}

TEST_F(PasteCommands, WithNoTextOnTheClipboardPasteDeletesTheSelectionAndClearAndPasteEmpties) {
    harness.setText(QStringLiteral("keep DROP keep"));
    select(*form().Memo1, 4, 9);
    systemClipboard().clear();

    form().Button3->click();
    EXPECT_EQ(harness.text(), QStringLiteral("keep keep"));

    form().SelectAllPaste->trigger();
    EXPECT_EQ(harness.text(), QString());
}

TEST_F(PasteCommands, CardButtonConvertsThroughTheSystemClipboardAndUndoBringsTheStatementBack) {
    harness.setText(cardStatement());

    form().Button1->click();

    EXPECT_EQ(harness.text(), cardArea());
    EXPECT_EQ(systemClipboard().text(), cardRows());
    EXPECT_TRUE(harness.dialogs.shown.empty());

    form().Memo1->undo();
    EXPECT_EQ(harness.text(), cardStatement());
    EXPECT_FALSE(form().Memo1->document()->isUndoAvailable());
}

// A command that meets a clipboard it cannot open.
struct LockedCase {
    const char* name;
    std::function<void(TForm1&)> command;
    QString before;
    QString after; // the text area afterwards: what the command changed before the error stays
};

class LockedClipboardCommands : public ::testing::TestWithParam<LockedCase> {};

TEST_P(LockedClipboardCommands, EndInTheErrorBoxAndTheProgramGoesOn) {
    LockedClipboard locked;
    WindowHarness harness(&locked);
    harness.setText(GetParam().before);

    GetParam().command(*harness.window);

    EXPECT_EQ(harness.text(), GetParam().after);
    ASSERT_EQ(harness.dialogs.shown.size(), 1U);
    const DialogRequest& box = harness.dialogs.shown[0];
    EXPECT_EQ(box.kind, DialogKind::Error);
    EXPECT_EQ(box.title, QStringLiteral("Tallemo"));
    EXPECT_EQ(box.text, QStringLiteral("クリップボード X を開けません."));
    EXPECT_EQ(box.buttons, QStringList{QStringLiteral("OK")});

    // The window still takes commands.
    harness.window->Button3->click();
    EXPECT_EQ(harness.dialogs.shown.size(), 2U);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LockedClipboardCommands,
    ::testing::Values(LockedCase{"Paste", [](TForm1& f) { f.Button3->click(); },
                                 QStringLiteral("abc"), QStringLiteral("abc")},
                      LockedCase{"ClearAndPaste", [](TForm1& f) { f.SelectAllPaste->trigger(); },
                                 QStringLiteral("abc"), QStringLiteral("abc")},
                      LockedCase{"Card", [](TForm1& f) { f.Button1->click(); }, cardStatement(),
                                 cardArea()}),
    [](const auto& param) { return std::string(param.param.name); });

// The View and co-op commands read their remark switch at every run.
struct RemarkCase {
    const char* name;
    std::function<void(TForm1&)> command;
    const char* section;
    const char* key;
    QString statement;
    QString rowsOff;
    QString rowsOn;
};

class RemarkCommands : public ::testing::TestWithParam<RemarkCase> {};

TEST_P(RemarkCommands, ReadTheirSwitchAtEveryRun) {
    const RemarkCase& c = GetParam();
    MemoryClipboard clipboard;
    WindowHarness harness(&clipboard);
    const QString section = QString::fromLatin1(c.section);
    const QString key = QString::fromLatin1(c.key);

    harness.setText(c.statement);
    c.command(*harness.window);
    EXPECT_EQ(clipboard.content().value_or(QStringLiteral("(none)")), c.rowsOff);

    WriteIniBoolean(harness.window->iniFileName(), section, key, true);
    harness.setText(c.statement);
    c.command(*harness.window);
    EXPECT_EQ(clipboard.content().value_or(QStringLiteral("(none)")), c.rowsOn);
    EXPECT_TRUE(harness.dialogs.shown.empty());
}

const QString kViewStatement = QStringLiteral("USAGE\r\n2024\r\n12/01xx\tCAFE\tREF\r\n1,500\r\n"
                                              "2024\r\n12/03xx\tBOOKS\tREF\r\n2,300\r\nEND");

INSTANTIATE_TEST_SUITE_P(
    Cases, RemarkCommands,
    ::testing::Values(
        RemarkCase{
            "ViewMenuEntry", [](TForm1& f) { f.View1->trigger(); }, "View", "Suica", kViewStatement,
            QStringLiteral("2024/12/01\tCAFE\t\t\t1,500\r\n2024/12/03\tBOOKS\t\t\t2,300\r\n"),
            QStringLiteral("2024/12/01\tCAFE\t\t\t1,500\tSuica\r\n"
                           "2024/12/03\tBOOKS\t\t\t2,300\tSuica\r\n")},
        RemarkCase{"CoopMenuEntry", [](TForm1& f) { f.T1->trigger(); }, "seikyo", "hoken",
                   coopStatement(), coopRows(false), coopRows(true)},
        RemarkCase{"CoopAnalysisAction", [](TForm1& f) { f.SeikyoAnalizing->trigger(); }, "seikyo",
                   "hoken", coopStatement(), coopRows(false), coopRows(true)}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(DividendCommands, DomesticButtonReplacesTheTextByTheRows) {
    MemoryClipboard clipboard;
    WindowHarness harness(&clipboard);
    harness.setText(QStringLiteral("配当金のお知らせ\r\n銘柄名　　　　　　：サンプル工業\r\n"
                                   "数量　　　　　　　：100株\r\n入金額　　　　　　：1,500円"));

    harness.window->Button6->click();

    const QString rows = QStringLiteral("配当国内\tサンプル工業\t\t-1,500\r\n");
    EXPECT_EQ(withoutDates(harness.text()), rows);
    EXPECT_EQ(withoutDates(clipboard.content().value_or(QString())), rows);
}

TEST(DividendCommands, ForeignButtonFetchesTheRateWithTheStoredKeyAndAddsTheRows) {
    MemoryClipboard clipboard;
    WindowHarness harness(&clipboard);
    WriteIniString(harness.window->iniFileName(), QStringLiteral("exchangeratesapi"),
                   QStringLiteral("APIKey"), QStringLiteral("k3y"));
    harness.transport.answer->received = true;
    harness.transport.answer->status = 200;
    harness.transport.answer->contentType = "application/json";
    harness.transport.answer->body = R"({"rates": {"JPY": 161.8, "USD": 1.04}})";
    harness.setText(kForeignStatement);

    harness.window->Button7->click();

    ASSERT_EQ(harness.transport.requests.size(), 1U);
    EXPECT_TRUE(
        harness.transport.requests[0].url.query().contains(QStringLiteral("access_key=k3y")));
    const QString rows = QStringLiteral("配当米国\t見本ホールディングス\t\t-15558\t155.6\r\n");
    EXPECT_EQ(withoutDates(clipboard.content().value_or(QString())), rows);
    EXPECT_TRUE(harness.text().startsWith(
        kForeignStatement + QStringLiteral("\r\n{\"rates\":{\"JPY\":161.8,\"USD\":1.04}}\r\n")));
    EXPECT_TRUE(withoutDates(harness.text()).endsWith(rows));
}

TEST(DividendCommands, ForeignButtonWithoutAnAnswerLeavesTheFailureLineAndTheClipboard) {
    MemoryClipboard clipboard(QStringLiteral("before"));
    WindowHarness harness(&clipboard);
    harness.setText(kForeignStatement);

    harness.window->Button7->click();

    EXPECT_EQ(harness.text(), kForeignStatement + QStringLiteral("\r\n") + kRateFailureLine);
    EXPECT_EQ(clipboard.text(), QStringLiteral("before"));
    EXPECT_TRUE(harness.dialogs.shown.empty());
}

TEST(DividendCommands, WhileTheRateIsFetchedTheWindowShowsItWaitsAndTakesNoOtherCommand) {
    MemoryClipboard clipboard(QStringLiteral("pasted"));
    WindowHarness harness(&clipboard);
    TForm1& form = *harness.window;
    form.show();
    harness.setText(kForeignStatement);
    bool cancelled = false;
    harness.transport.whileWaiting = [&] {
        form.waitObserver().waitStarted([&] { cancelled = true; });
        auto* box = form.findChild<QProgressDialog*>();
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->isVisible());
        EXPECT_TRUE(box->isModal());
        EXPECT_EQ(box->labelText(), QStringLiteral("為替レートを取得しています…"));
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);

        EXPECT_FALSE(form.close());
        form.SelectAllPaste->trigger();
        form.N4->trigger();
        EXPECT_EQ(harness.text(), kForeignStatement);
        EXPECT_TRUE(harness.dialogs.shown.empty());

        auto* cancel = box->findChild<QPushButton*>();
        ASSERT_NE(cancel, nullptr);
        EXPECT_EQ(cancel->text(), QStringLiteral("キャンセル"));
        cancel->click();
        EXPECT_TRUE(cancelled);
        form.waitObserver().waitFinished();
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    };

    form.Button7->click();

    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(harness.text(), kForeignStatement + QStringLiteral("\r\n") + kRateFailureLine);
    // The window takes commands again.
    form.SelectAllPaste->trigger();
    EXPECT_EQ(harness.text(), QStringLiteral("pasted"));
}

TEST(DividendCommands, HiddenRatesTestShowsWhatFailsInTheErrorBox) {
    MemoryClipboard clipboard;
    WindowHarness harness(&clipboard);
    harness.setText(QStringLiteral(R"({"rates":{"EUR":1,"USD":1.04}})"));

    harness.window->Button2->click();

    ASSERT_EQ(harness.dialogs.shown.size(), 1U);
    EXPECT_EQ(harness.dialogs.shown[0].text, QStringLiteral("値 'JPY' が見つかりません."));
    EXPECT_EQ(harness.text(), QStringLiteral(R"({"rates":{"EUR":1,"USD":1.04}})"));
}

} // namespace
} // namespace tallemo::testing
