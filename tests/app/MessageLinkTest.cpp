// What the strip offers beyond saying what happened: the kind the text looks like as a link to its
// command, and, where no kind fits, that one can be learned from the text.
#include "WindowHarness.h"
#include "support/TestFiles.h"

#include "converters/ConversionReport.h"

#include <QCommandLinkButton>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace tallemo::testing {
namespace {

// The strip's links' targets, in order.
QStringList linkTargets(const QLabel& strip) {
    QStringList targets;
    if (strip.textFormat() != Qt::RichText)
        return targets;
    static const QRegularExpression anchor(QStringLiteral("<a href=\"([^\"]*)\""));
    for (auto it = anchor.globalMatch(strip.text()); it.hasNext();)
        targets << it.next().captured(1);
    return targets;
}

// A click on the strip's link: the label sends the target, the window takes it in its own turn.
void followLink(TForm1& form, const QString& target) {
    emit form.Label1->linkActivated(target);
    QCoreApplication::processEvents();
}

struct LinkCase {
    const char* name;
    QString statement;
    std::function<void(TForm1&)> press;      // the wrong kind's command
    QString linkedKind;                      // the kind the text looks like
    std::function<void(TForm1&)> pressRight; // that kind's own button or entry
};

void PrintTo(const LinkCase& c, std::ostream* os) {
    *os << c.name;
}

class SuggestedKindLink : public ::testing::TestWithParam<LinkCase> {};

TEST_P(SuggestedKindLink, ConvertsAsThatKindsCommandInOneUndoStep) {
    const LinkCase& c = GetParam();
    MemoryClipboard clipboard(QStringLiteral("before"));
    WindowHarness harness(&clipboard);
    harness.setText(c.statement);
    c.press(*harness.window);
    const QString wrongKindText = harness.text();
    const QString wrongKindMessage = harness.window->message();
    QLabel& strip = *harness.window->Label1;

    ASSERT_EQ(linkTargets(strip), QStringList{QStringLiteral("kind:") + c.linkedKind})
        << strip.text().toStdString();
    // The link changes nothing of what the strip says.
    EXPECT_EQ(shownText(strip).remove(u'\n'), wrongKindMessage);

    followLink(*harness.window, QStringLiteral("kind:") + c.linkedKind);
    const QString linkedText = harness.text();
    const QString linkedMessage = harness.window->message();
    const QString linkedClipboard = clipboard.text();

    // The same as the kind's own command on the same text.
    MemoryClipboard ownClipboard(QStringLiteral("before"));
    WindowHarness own(&ownClipboard);
    own.setText(wrongKindText);
    c.pressRight(*own.window);
    EXPECT_EQ(linkedText, own.text());
    EXPECT_EQ(linkedMessage, own.window->message());
    EXPECT_EQ(linkedClipboard, ownClipboard.text());
    EXPECT_NE(linkedClipboard, QStringLiteral("before"));

    // One undo step takes the text back to what the link converted.
    if (linkedText != wrongKindText) {
        harness.window->Memo1->undo();
        EXPECT_EQ(harness.text(), wrongKindText);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, SuggestedKindLink,
    ::testing::Values(
        // Card finds nothing in a co-op statement and leaves it as it was.
        LinkCase{"CardOnCoop", coopStatement(), [](TForm1& w) { w.Button1->click(); },
                 QStringLiteral("coop"), [](TForm1& w) { w.T1->trigger(); }},
        // Co-op makes rows of a card statement's lines; the link then converts its own rows.
        LinkCase{"CoopOnCard", cardStatement(), [](TForm1& w) { w.T1->trigger(); },
                 QStringLiteral("card"), [](TForm1& w) { w.Button1->click(); }},
        // Domestic replaces the card statement: the link converts what the text area holds now.
        LinkCase{"DomesticOnCard", cardStatement(), [](TForm1& w) { w.Button6->click(); },
                 QStringLiteral("card"), [](TForm1& w) { w.Button1->click(); }}),
    [](const ::testing::TestParamInfo<LinkCase>& param) { return std::string(param.param.name); });

TEST(SuggestedKindLink, IsPlainTextWhereTheKindsCommandIsSwitchedOff) {
    MemoryClipboard clipboard(QStringLiteral("before"));
    WindowHarness harness(&clipboard);
    harness.window->AdditionalFunctionOff->trigger();
    harness.setText(coopStatement());
    harness.window->Button1->click();

    EXPECT_EQ(harness.window->message(),
              QStringLiteral("楽天カードの明細が見つかりませんでした。生協の明細のようです"));
    EXPECT_EQ(harness.window->Label1->textFormat(), Qt::PlainText);
    EXPECT_EQ(harness.window->Label1->text(), harness.window->message());
    // A link shown before the switch does nothing either, as the switched-off entry does.
    clipboard.setText(QStringLiteral("before"));
    followLink(*harness.window, QStringLiteral("kind:coop"));
    EXPECT_EQ(harness.text(), coopStatement());
    EXPECT_EQ(clipboard.text(), QStringLiteral("before"));
}

TEST(SuggestedKindLink, IgnoresATargetThatIsNoKindsCommand) {
    MemoryClipboard clipboard(QStringLiteral("before"));
    WindowHarness harness(&clipboard);
    harness.setText(coopStatement());
    harness.window->Button1->click();
    const QString message = harness.window->message();

    for (const QString& target : {QStringLiteral("https://example.com/"), QStringLiteral("kind:"),
                                  QStringLiteral("kind:no-such-kind")}) {
        SCOPED_TRACE(target.toStdString());
        followLink(*harness.window, target);
        EXPECT_EQ(harness.text(), coopStatement());
        EXPECT_EQ(harness.window->message(), message);
        EXPECT_TRUE(harness.dialogs.shown.empty());
    }
}

// A caption or a file name is shown as it is written, never read as markup.
TEST(SuggestedKindLink, MarkupInACaptionOrAFileNameIsShownAsText) {
    QTemporaryDir folder;
    const QString caption = QStringLiteral("<b>合計</b> & <a href='kind:card'>残高</a>");
    writeFile(folder.filePath(QStringLiteral("kinds/totals.toml")),
              QByteArray("id = 'totals'\ncaption = \"") +
                  QString(caption).replace(u'"', QStringLiteral("\\\"")).toUtf8() +
                  "\"\nentry = ['(?P<date>\\S+) total (?P<amount>.+)']\n"
                  "row = ['{date|date}', '{amount|yen}']\n");
    const QString statement =
        QStringLiteral("明細\r\n2024/11/03 total 1,500\r\n2024/11/05 total 3,000\r\n");
    MemoryClipboard clipboard(QStringLiteral("before"));
    WindowHarness harness(&clipboard, folder.path());
    TForm1& form = *harness.window;
    QLabel& strip = *form.Label1;

    harness.setText(statement);
    form.Button1->click();
    ASSERT_EQ(form.message(),
              QStringLiteral("楽天カードの明細が見つかりませんでした。%1の明細のよう"
                             "です")
                  .arg(caption));
    EXPECT_EQ(linkTargets(strip), QStringList{QStringLiteral("kind:totals")});
    EXPECT_EQ(shownText(strip).remove(u'\n'), form.message());

    // A file whose name is markup, long enough to wrap the message onto the second line.
    const QString fileName =
        QStringLiteral("<i>明細 & <a href='x'>リンク 2024年11月分のご利用明細の控え "
                       "ダウンロード版.txt");
    const QString path = folder.filePath(fileName);
    writeFile(path, statement.toUtf8());
    form.openStatementFile(path);
    ASSERT_TRUE(form.message().startsWith(fileName)) << form.message().toStdString();
    ASSERT_TRUE(form.message().endsWith(caption + QStringLiteral("の明細のようです")));
    // A caption cut by the line's end is a link on both lines.
    const QStringList targets = linkTargets(strip);
    EXPECT_FALSE(targets.isEmpty()) << strip.text().toStdString();
    for (const QString& target : targets)
        EXPECT_EQ(target, QStringLiteral("kind:totals"));
    const QString read = shownText(strip);
    EXPECT_TRUE(read.contains(u'\n')) << read.toStdString();
    EXPECT_EQ(QString(read).remove(u'\n'), form.message());
    EXPECT_EQ(strip.toolTip(), form.message());

    followLink(form, QStringLiteral("kind:totals"));
    EXPECT_EQ(form.message(), caption + QStringLiteral(": 2 行をクリップボードにコピーしました"));
    EXPECT_EQ(clipboard.text(), QStringLiteral("2024/11/03\t1500\r\n2024/11/05\t3000\r\n"));
}

// A text with dates and amounts that no kind takes: a mail of a card no kind knows.
QString unknownCardMail() {
    return QStringLiteral("【ABCカード】ご利用のお知らせ\r\n"
                          "ABCカードをご利用いただきありがとうございます。\r\n"
                          "ご利用日時：2024/11/03 12:34\r\n"
                          "ご利用先：SAMPLE STORE\r\n"
                          "ご利用金額：1,500円\r\n");
}

struct HintCase {
    const char* name;
    QString text;
    bool hint;
};

void PrintTo(const HintCase& c, std::ostream* os) {
    *os << c.name;
}

class LearnFromExampleHint : public ::testing::TestWithParam<HintCase> {};

TEST_P(LearnFromExampleHint, FollowsNotFoundWhereTheTextHasDatesAndAmounts) {
    const HintCase& c = GetParam();
    MemoryClipboard clipboard(QStringLiteral("before"));
    WindowHarness harness(&clipboard);
    harness.setText(c.text);

    harness.window->Button1->click();

    const QString notFound = QStringLiteral("楽天カードの明細が見つかりませんでした");
    EXPECT_EQ(harness.window->message(),
              c.hint ? notFound + u'。' + kLearnFromExampleHint : notFound);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LearnFromExampleHint,
    ::testing::Values(
        HintCase{"UnknownCardMail", unknownCardMail(), true},
        // The date and the amount on one line, full-width digits.
        HintCase{"OneLine",
                 QStringLiteral("お買い物メモ\r\n２０２４年１１月３日　本屋　￥１，２００\r\n"),
                 true},
        HintCase{"AmountsWithoutDates",
                 QStringLiteral("ご利用合計：1,500円\r\n今月のポイント：15 ポイント\r\n"), false},
        HintCase{"DatesWithoutAmounts",
                 QStringLiteral("次回のお支払日：2024/12/10\r\nご利用件数：3 件\r\n"), false},
        // A day that does not exist is no date, and a bare number no amount.
        HintCase{"NoRealDateOrAmount", QStringLiteral("2024/02/30 予定\r\n番号 1500\r\n"), false}),
    [](const ::testing::TestParamInfo<HintCase>& param) { return std::string(param.param.name); });

TEST(LearnFromExampleHint, NamesTheMenuAndEntryAsTheWindowCaptionsThem) {
    WindowHarness harness;
    const TForm1& form = *harness.window;
    EXPECT_TRUE(kLearnFromExampleHint.contains(
        QStringLiteral("%1 › %2").arg(form.N8->title(), form.LearnKind->text())))
        << form.N8->title().toStdString() << " / " << form.LearnKind->text().toStdString();
}

TEST(LearnFromExampleHint, IsLeftOutWhereTheTextLooksLikeAnotherKind) {
    MemoryClipboard clipboard(QStringLiteral("before"));
    WindowHarness harness(&clipboard);
    harness.setText(coopStatement());
    harness.window->Button1->click();
    EXPECT_FALSE(harness.window->message().contains(kLearnFromExampleHint));
    EXPECT_TRUE(harness.window->message().endsWith(QStringLiteral("生協の明細のようです")));
}

} // namespace
} // namespace tallemo::testing
