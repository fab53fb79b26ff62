// The strip below the buttons says what the last command did.
#include "WindowHarness.h"

#include <QAccessible>
#include <QCommandLinkButton>
#include <QCoreApplication>
#include <QLabel>
#include <QToolBar>

#include <gtest/gtest.h>

namespace tallemo::testing {
namespace {

struct MessageCase {
    const char* name;
    QString statement;
    std::function<void(TForm1&)> press;
    QString message;
};

void PrintTo(const MessageCase& c, std::ostream* os) {
    *os << c.name;
}

class ConversionMessages : public ::testing::TestWithParam<MessageCase> {};

TEST_P(ConversionMessages, SayWhatTheCommandDidAndWhatTheTextLooksLike) {
    const MessageCase& c = GetParam();
    MemoryClipboard clipboard(QStringLiteral("yesterday"));
    WindowHarness harness(&clipboard);
    harness.setText(c.statement);

    c.press(*harness.window);

    EXPECT_EQ(harness.window->message(), c.message);
    // A message too long for the strip wraps to a second line, cut with "…" only when that
    // is not enough either; the tooltip has it whole.
    const QString shown = shownText(*harness.window->Label1);
    if (shown != c.message) {
        const QString joined = QString(shown).remove(u'\n');
        EXPECT_TRUE(joined == c.message ||
                    (joined.endsWith(u'…') && c.message.startsWith(joined.chopped(1))))
            << shown.toStdString();
        EXPECT_EQ(harness.window->Label1->toolTip(), c.message);
    }
    EXPECT_EQ(harness.window->Label1->accessibleName(), c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConversionMessages,
    ::testing::Values(
        MessageCase{"CardRows", cardStatement(), [](TForm1& w) { w.Button1->click(); },
                    QStringLiteral("楽天カード: 2 行をクリップボードにコピーしました")},
        MessageCase{"CoopRowsFromTheMenu", coopStatement(), [](TForm1& w) { w.T1->trigger(); },
                    QStringLiteral("生協: 2 行をクリップボードにコピーしました")},
        // Card on a co-op statement finds no marker and leaves the text as it was.
        MessageCase{"CardOnCoopSuggestsCoop", coopStatement(),
                    [](TForm1& w) { w.Button1->click(); },
                    QStringLiteral("楽天カードの明細が見つかりませんでした。生協の明細のようです")},
        // A line broken with Shift+Enter reads as two lines; nothing changed, so no undo hint.
        MessageCase{
            "CardOnCoopWithAShiftEnterBreak",
            QString(coopStatement())
                .replace(QStringLiteral("円\r\n2024/12/12"), QStringLiteral("円\u20282024/12/12")),
            [](TForm1& w) { w.Button1->click(); },
            QStringLiteral("楽天カードの明細が見つかりませんでした。生協の明細のようです")},
        // Domestic replaces the whole text by its (no) rows: the statement is one undo away.
        MessageCase{"DomesticOnCardSuggestsCardAndUndo", cardStatement(),
                    [](TForm1& w) { w.Button6->click(); },
                    QStringLiteral("国内配当の明細が見つかりませんでした。楽天カードの明細のようで"
                                   "す。Ctrl+Z で元に戻せます")},
        MessageCase{"ViewOnProse", QStringLiteral("今日は晴れ。\r\n明日は雨。"),
                    [](TForm1& w) { w.View1->trigger(); },
                    QStringLiteral("Viewの明細が見つかりませんでした。Ctrl+Z で元に戻せます")},
        // Co-op takes every line that begins with "20": the rows are there, but they are a
        // card statement's main lines.
        MessageCase{
            "CoopOnCardWarnsAndSuggestsCard", cardStatement(), [](TForm1& w) { w.T1->trigger(); },
            QStringLiteral("生協: 2 行をクリップボードにコピーしました。ただし生協の明細には"
                           "見えません。楽天カードの明細のようです。Ctrl+Z で元に戻せます")}),
    [](const ::testing::TestParamInfo<MessageCase>& param) {
        return std::string(param.param.name);
    });

TEST(MessageLine, PasteCountsTheLinesAndSettingsSayTheyAreSaved) {
    MemoryClipboard clipboard(QStringLiteral("a\r\nb\nc"));
    WindowHarness harness(&clipboard);

    harness.window->Button3->click();
    EXPECT_EQ(harness.window->message(), QStringLiteral("3 行を貼り付けました"));

    clipboard.setText(QString());
    harness.window->SelectAllPaste->trigger();
    EXPECT_EQ(harness.window->message(), QStringLiteral("クリップボードにテキストがありません"));

    harness.dialogs.answerInput(QStringLiteral("https://example.com/sheet"));
    harness.window->N4->trigger();
    EXPECT_EQ(harness.window->message(), QStringLiteral("設定を保存しました"));
}

TEST(MessageLine, AnErrorGoesToTheErrorBoxAndClearsTheLine) {
    LockedClipboard clipboard;
    WindowHarness harness(&clipboard);
    harness.setText(cardStatement());
    harness.dialogs.answerInput(QStringLiteral("https://example.com/sheet"));
    harness.window->N4->trigger();
    ASSERT_FALSE(harness.window->message().isEmpty());

    harness.window->Button1->click();

    ASSERT_EQ(harness.dialogs.shown.size(), 2U);
    EXPECT_EQ(harness.window->message(), QString());
    EXPECT_EQ(harness.window->Label1->text(), QString());
}

struct RateFailureCase {
    const char* name;
    HttpAnswer answer;
    QString message;
};

void PrintTo(const RateFailureCase& c, std::ostream* os) {
    *os << c.name;
}

class RateFailureMessages : public ::testing::TestWithParam<RateFailureCase> {};

TEST_P(RateFailureMessages, SayWhyAndThatTheClipboardIsKept) {
    const RateFailureCase& c = GetParam();
    MemoryClipboard clipboard(QStringLiteral("before"));
    WindowHarness harness(&clipboard);
    harness.transport.answer = c.answer;
    harness.setText(kForeignStatement);

    harness.window->Button7->click();

    EXPECT_EQ(harness.window->message(), c.message);
    EXPECT_EQ(clipboard.text(), QStringLiteral("before"));
    EXPECT_TRUE(harness.text().endsWith(kRateFailureLine));
}

HttpAnswer received(int status, const QByteArray& body) {
    HttpAnswer answer;
    answer.received = true;
    answer.status = status;
    answer.contentType = "application/json";
    answer.body = body;
    return answer;
}

HttpAnswer failed(HttpFailure failure) {
    HttpAnswer answer;
    answer.failure = failure;
    return answer;
}

INSTANTIATE_TEST_SUITE_P(
    Table, RateFailureMessages,
    ::testing::Values(
        RateFailureCase{"NoConnection", failed(HttpFailure::NoConnection),
                        QStringLiteral("為替レートを取得できませんでした（接続できません）。"
                                       "クリップボードはそのままです")},
        RateFailureCase{"TimeOut", failed(HttpFailure::TimedOut),
                        QStringLiteral("為替レートを取得できませんでした（時間切れです）。"
                                       "クリップボードはそのままです")},
        RateFailureCase{"ServiceError",
                        received(200, R"({"success":false,"error":{"code":101,)"
                                      R"("type":"invalid_access_key","info":"No key."}})"),
                        QStringLiteral("為替レートを取得できませんでした（サービスのエラー 101: "
                                       "No key.）。クリップボードはそのままです")},
        RateFailureCase{
            "NotJson", received(200, "<html>"),
            QStringLiteral("為替レートを取得できませんでした（応答が JSON ではありません"
                           "）。クリップボードはそのままです")},
        RateFailureCase{
            "ZeroYen", received(200, R"({"rates":{"JPY":0,"USD":1}})"),
            QStringLiteral("為替レートを取得できませんでした（レートが正しくありません）"
                           "。クリップボードはそのままです")}),
    [](const ::testing::TestParamInfo<RateFailureCase>& param) {
        return std::string(param.param.name);
    });

TEST(MessageLine, SitsInTheFreeStripBelowTheButtonsWithoutMovingAnything) {
    WindowHarness harness;
    TForm1& form = *harness.window;
    QLabel& line = *form.Label1;

    EXPECT_EQ(line.geometry(), QRect(8, 592, 673, 19));
    EXPECT_EQ(line.parentWidget()->size(), QSize(689, 611));
    for (QCommandLinkButton* button :
         {form.Button1, form.Button3, form.Button4, form.Button6, form.Button7})
        EXPECT_FALSE(button->geometry().intersects(line.geometry()))
            << button->objectName().toStdString();
    EXPECT_FALSE(form.Panel1->geometry().intersects(line.geometry()));
    EXPECT_EQ(line.palette().color(QPalette::WindowText), QColor(0xA6, 0xCA, 0xF0));
    EXPECT_EQ(line.font().family(), form.Button4->font().family());
}

TEST(MessageLine, TakesTheWholeWidthAndWrapsALongMessageWithThePanelGrowingByALine) {
    WindowHarness harness;
    TForm1& form = *harness.window;
    form.show();
    QLabel& line = *form.Label1;
    const QRect oneLineButton = form.Button1->geometry();
    const QString longMessage =
        QStringLiteral("書式ファイル /home/user/.config/Tallemo/kinds/jcb-card-usage.toml を"
                       "読み直しました。履歴は history-damaged-2026-12-11.sqlite に移しました。"
                       "新しい履歴で続けます");

    struct WidthCase {
        int width;
        bool wraps;
    };
    for (const WidthCase c : {WidthCase{700, true}, WidthCase{1200, false}}) {
        SCOPED_TRACE(c.width);
        form.resize(c.width, form.height());
        QCoreApplication::processEvents();
        form.showMessage(longMessage);
        const int client = form.centralWidget()->width();
        EXPECT_EQ(line.width(), client - 16);
        const int extra = c.wraps ? line.fontMetrics().lineSpacing() : 0;
        EXPECT_EQ(line.text().contains(u'\n'), c.wraps);
        EXPECT_EQ(QString(line.text()).remove(u'\n'), longMessage);
        EXPECT_EQ(line.toolTip(), c.wraps ? longMessage : QString());
        EXPECT_EQ(form.Panel1->height(), 521 - extra);
        EXPECT_EQ(form.Button1->geometry(), oneLineButton.translated(0, -extra));
        EXPECT_EQ(line.geometry().bottom(), 610);
        EXPECT_FALSE(form.Panel1->geometry().intersects(line.geometry()));
        EXPECT_FALSE(form.Button1->geometry().intersects(line.geometry()));

        // A short message gives the line back.
        form.showMessage(QStringLiteral("2 行をクリップボードにコピーしました"));
        EXPECT_EQ(form.Panel1->height(), 521);
        EXPECT_EQ(form.Button1->geometry(), oneLineButton);
        EXPECT_EQ(line.toolTip(), QString());
    }
}

TEST(MessageLine, TheWindowCannotShrinkBelowTheButtonsAndTheStrip) {
    WindowHarness harness;
    TForm1& form = *harness.window;
    form.show();
    form.resize(200, 150);
    QCoreApplication::processEvents();
    const QWidget& client = *form.centralWidget();
    EXPECT_GE(client.width(), 689);
    EXPECT_GE(client.height(), 611);
    for (QWidget* widget : std::initializer_list<QWidget*>{form.Button1, form.Button3, form.Button4,
                                                           form.Button6, form.Button7, form.Label1})
        EXPECT_TRUE(client.rect().contains(widget->geometry()))
            << widget->objectName().toStdString();
}

} // namespace
} // namespace tallemo::testing
