#include "WindowHarness.h"

#include "settings/IniSettings.h"

#include <QAction>
#include <QCommandLinkButton>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

#include <functional>

namespace tallemo::testing {
namespace {

// The two commands that edit a text setting through the input dialog.
struct TextSetting {
    const char* name;
    std::function<void(TForm1&)> command;
    const char* section;
    const char* key;
    const char* title;
    const char* prompt;
};

class TextSettingCommands : public ::testing::TestWithParam<TextSetting> {
protected:
    QString section() const { return QString::fromLatin1(GetParam().section); }
    QString key() const { return QString::fromLatin1(GetParam().key); }
    QString stored(const QString& missing = QStringLiteral("(missing)")) const {
        return ReadIniString(harness.window->iniFileName(), section(), key(), missing);
    }
    void store(const QString& value) const {
        WriteIniString(harness.window->iniFileName(), section(), key(), value);
    }
    void runCommand() { GetParam().command(*harness.window); }

    WindowHarness harness;
};

TEST_P(TextSettingCommands, CancelWithoutASettingsFileStoresTheEmptyValueReadBefore) {
    harness.dialogs.cancelInput();

    runCommand();

    ASSERT_EQ(harness.dialogs.shown.size(), 1U);
    const DialogRequest& input = harness.dialogs.shown[0];
    EXPECT_EQ(input.kind, DialogKind::Input);
    EXPECT_EQ(input.title, QString::fromUtf8(GetParam().title));
    EXPECT_EQ(input.text, QString::fromUtf8(GetParam().prompt));
    EXPECT_EQ(input.initialText, QString());
    EXPECT_EQ(input.buttons, (QStringList{QStringLiteral("OK"), QStringLiteral("キャンセル")}));
    EXPECT_EQ(input.defaultButton, 0);
    EXPECT_EQ(input.maxLength, 255);
    EXPECT_TRUE(QFile::exists(harness.iniPath()));
    EXPECT_EQ(stored(), QString());
}

TEST_P(TextSettingCommands, OkStoresTheFieldAsTypedAndCancelWritesBackWhatWasRead) {
    store(QStringLiteral("old value"));

    harness.dialogs.answerInput(QStringLiteral("  new value "));
    runCommand();
    EXPECT_EQ(harness.dialogs.shown.back().initialText, QStringLiteral("old value"));
    EXPECT_EQ(stored(), QStringLiteral("  new value "));

    harness.dialogs.cancelInput();
    runCommand();
    EXPECT_EQ(harness.dialogs.shown.back().initialText, QStringLiteral("  new value "));
    EXPECT_EQ(stored(), QStringLiteral("  new value "));

    harness.dialogs.answerInput(QString());
    runCommand();
    EXPECT_EQ(stored(), QString());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextSettingCommands,
    ::testing::Values(TextSetting{"SpreadsheetUrl", [](TForm1& f) { f.N4->trigger(); }, "Spsheet",
                                  "URL", "スプシURLを入力して下さい", "スプシURL"},
                      TextSetting{"ApiKey", [](TForm1& f) { f.N3->trigger(); }, "exchangeratesapi",
                                  "APIKey", "API Keyを入力して下さい", "API Key"}),
    [](const auto& param) { return std::string(param.param.name); });

// The two yes/no commands.
struct RemarkSetting {
    const char* name;
    std::function<void(TForm1&)> command;
    const char* section;
    const char* key;
    const char* question;
    const char* information;
};

class RemarkSettingCommands : public ::testing::TestWithParam<RemarkSetting> {
protected:
    bool stored(bool missing) const {
        return ReadIniBoolean(harness.window->iniFileName(),
                              QString::fromLatin1(GetParam().section),
                              QString::fromLatin1(GetParam().key), missing);
    }
    void runCommand() { GetParam().command(*harness.window); }

    void expectQuestion(const DialogRequest& box) const {
        EXPECT_EQ(box.kind, DialogKind::Confirmation);
        EXPECT_EQ(box.title, QStringLiteral("確認"));
        EXPECT_EQ(box.text, QString::fromUtf8(GetParam().question));
        EXPECT_EQ(box.buttons,
                  (QStringList{QStringLiteral("はい(&Y)"), QStringLiteral("いいえ(&N)")}));
        EXPECT_EQ(box.defaultButton, 0);
    }

    WindowHarness harness;
};

TEST_P(RemarkSettingCommands, YesShowsTheInformationAndStoresYes) {
    harness.dialogs.answerButton(0);

    runCommand();

    ASSERT_EQ(harness.dialogs.shown.size(), 2U);
    expectQuestion(harness.dialogs.shown[0]);
    const DialogRequest& information = harness.dialogs.shown[1];
    EXPECT_EQ(information.kind, DialogKind::Information);
    EXPECT_EQ(information.title, QStringLiteral("情報"));
    EXPECT_EQ(information.text, QString::fromUtf8(GetParam().information));
    EXPECT_EQ(information.buttons, QStringList{QStringLiteral("OK")});
    EXPECT_TRUE(stored(false));
}

TEST_P(RemarkSettingCommands, NoOrClosingStoresNoWithoutFurtherMessage) {
    for (const int answer : {0, 1, 0, -1}) {
        harness.dialogs.shown.clear();
        harness.dialogs.answerButton(answer);
        runCommand();
        if (answer != 0) {
            ASSERT_EQ(harness.dialogs.shown.size(), 1U);
            expectQuestion(harness.dialogs.shown[0]);
            EXPECT_FALSE(stored(true));
        }
    }
}

TEST_P(RemarkSettingCommands, AFailedWriteComesAfterTheInformation) {
    ASSERT_TRUE(QDir().mkpath(harness.iniPath())); // a folder where the file should be
    harness.dialogs.answerButton(0);

    runCommand();

    ASSERT_EQ(harness.dialogs.shown.size(), 3U);
    EXPECT_EQ(harness.dialogs.shown[1].kind, DialogKind::Information);
    const DialogRequest& error = harness.dialogs.shown[2];
    EXPECT_EQ(error.kind, DialogKind::Error);
    EXPECT_EQ(error.title, QStringLiteral("Tallemo"));
    EXPECT_EQ(error.text, harness.iniPath() + QStringLiteral(" に書き込めません."));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RemarkSettingCommands,
    ::testing::Values(RemarkSetting{"ViewSuica", [](TForm1& f) { f.N2->trigger(); }, "View",
                                    "Suica", "ViewはSuica限定ですか?", "備考欄にSuicaと出力します"},
                      RemarkSetting{"CoopInsurance", [](TForm1& f) { f.N5->trigger(); }, "seikyo",
                                    "hoken", "生協は保険限定ですか?", "備考欄に保険と出力します"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(LinkCommands, SpreadsheetButtonOpensTheStoredTextAsItIsAndNothingWithoutOne) {
    WindowHarness harness;
    harness.window->Button4->click();
    EXPECT_TRUE(harness.openedUrls.empty());

    for (const QString& stored :
         {QStringLiteral("https://docs.example.com/spreadsheets/d/1AbC-x_9/edit#gid=0"),
          QStringLiteral("not a web address"), QStringLiteral("/home/user/家計簿.ods")}) {
        SCOPED_TRACE(stored.toStdString());
        WriteIniString(harness.window->iniFileName(), QStringLiteral("Spsheet"),
                       QStringLiteral("URL"), stored);
        harness.openedUrls.clear();
        harness.window->Button4->click();
        ASSERT_EQ(harness.openedUrls.size(), 1U);
        EXPECT_EQ(harness.openedUrls[0].toString(), stored);
    }
    EXPECT_TRUE(harness.dialogs.shown.empty());
}

TEST(LinkCommands, HomePageEntryOpensTheAuthorsPage) {
    WindowHarness harness;
    harness.window->N7->trigger();
    ASSERT_EQ(harness.openedUrls.size(), 1U);
    EXPECT_EQ(harness.openedUrls[0], QUrl(kAuthorHomePage));
    EXPECT_TRUE(harness.openedUrls[0].isValid());
    EXPECT_EQ(harness.openedUrls[0].scheme(), QStringLiteral("https"));
}

TEST(OtherFormats, SwitchingOffGreysOutViewAndCoopAndSwitchingOnRestoresThem) {
    MemoryClipboard clipboard(QStringLiteral("untouched"));
    WindowHarness harness(&clipboard);
    TForm1& form = *harness.window;
    const QString statement = QStringLiteral("2024/12/05\tMILK\t1,280 円");
    harness.setText(statement);

    form.AdditionalFunctionOff->trigger();

    for (QAction* action : {form.ViewAnalysis, form.SeikyouAnalysis, form.View1, form.T1})
        EXPECT_FALSE(action->isEnabled()) << action->objectName().toStdString();
    form.T1->trigger();
    form.View1->trigger();
    EXPECT_EQ(harness.text(), statement);
    EXPECT_EQ(clipboard.setCount(), 0);
    // Actions of other categories, and those of the second list, keep working.
    for (QAction* action : {form.SeikyoAnalizing, form.ViewAnalizing, form.SelectAllPaste,
                            form.NewBeikoku, form.N4, form.N7})
        EXPECT_TRUE(action->isEnabled()) << action->objectName().toStdString();
    EXPECT_FALSE(form.WindowClose1->isEnabled());

    form.AdditionalFunctionOn->trigger();

    for (QAction* action : {form.ViewAnalysis, form.SeikyouAnalysis, form.View1, form.T1})
        EXPECT_TRUE(action->isEnabled()) << action->objectName().toStdString();
    form.T1->trigger();
    EXPECT_EQ(harness.text(), QStringLiteral("2024/12/05\tMILK\t\t\t1,280"));
}

TEST(WindowPosition, ClosingSavesThePositionAndTheNextStartRestoresIt) {
    WindowHarness harness;
    TForm1& form = *harness.window;
    EXPECT_EQ(form.iniFileName(), harness.programFilePath());
    // Nothing stored: the windowing system places the window.
    EXPECT_FALSE(form.testAttribute(Qt::WA_Moved));

    form.show();
    form.move(123, 45);
    QCoreApplication::processEvents();
    const QPoint closedAt = form.pos();
    form.close();

    EXPECT_TRUE(harness.dialogs.shown.empty());
    const QString ini = form.iniFileName();
    EXPECT_EQ(ReadIniInteger(ini, QStringLiteral("Ap"), QStringLiteral("MainForm_left"), -1),
              closedAt.x());
    EXPECT_EQ(ReadIniInteger(ini, QStringLiteral("Ap"), QStringLiteral("MainForm_top"), -1),
              closedAt.y());

    TForm1Environment environment;
    environment.programFilePath = harness.programFilePath();
    environment.dialogs = &harness.dialogs;
    TForm1 next(environment);
    EXPECT_EQ(next.pos(), closedAt);
}

TEST(WindowPosition, AStoredCornerBeyondThePrimaryScreenIsFoldedBack) {
    WindowHarness harness;
    const QSize screen = QGuiApplication::primaryScreen()->size();
    const QString ini = harness.window->iniFileName();
    WriteIniInteger(ini, QStringLiteral("Ap"), QStringLiteral("MainForm_left"),
                    screen.width() + 10);
    WriteIniInteger(ini, QStringLiteral("Ap"), QStringLiteral("MainForm_top"),
                    3 * screen.height() + 7);

    TForm1Environment environment;
    environment.programFilePath = harness.programFilePath();
    environment.dialogs = &harness.dialogs;
    TForm1 next(environment);

    EXPECT_EQ(next.pos(), QPoint(10, 7));
}

TEST(WindowPosition, APositionThatCannotBeSavedIsShownAndTheWindowClosesAnyway) {
    WindowHarness harness;
    harness.window->show();
    ASSERT_TRUE(QDir().mkpath(harness.iniPath()));

    EXPECT_TRUE(harness.window->close());

    EXPECT_FALSE(harness.window->isVisible());
    ASSERT_EQ(harness.dialogs.shown.size(), 1U);
    EXPECT_EQ(harness.dialogs.shown[0].kind, DialogKind::Error);
    EXPECT_EQ(harness.dialogs.shown[0].text,
              harness.iniPath() + QStringLiteral(" に書き込めません."));
}

} // namespace
} // namespace tallemo::testing
