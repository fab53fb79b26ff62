#include "app/Dialogs.h"
#include "support/QtText.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace tallemo {
namespace {

TEST(ApplicationTitle, IsTheProgramNameUpToItsFirstDotWithTheRestInLowerCase) {
    const std::pair<const char*, const char*> cases[] = {
        {"/usr/bin/Tallemo", "Tallemo"},
        {"/opt/tallemo/TALLEMO.bin.old", "Tallemo"},
        {"/a.b/c.d/tallemo", "tallemo"},
        {"/x/MyApp", "Myapp"},
        {"/x/.hidden", ""},
        {"Tallemo", "Tallemo"},
        {"", ""},
    };
    for (const auto& [path, title] : cases)
        EXPECT_EQ(applicationTitle(QString::fromUtf8(path)), QString::fromUtf8(title)) << path;
}

TEST(DialogRequests, ErrorBoxAppendsAFullStopAfterCharactersAboveIt) {
    EXPECT_EQ(errorRequest(QStringLiteral("T"), QStringLiteral("開けません")).text,
              QStringLiteral("開けません."));
    EXPECT_EQ(errorRequest(QStringLiteral("T"), QStringLiteral("done.")).text,
              QStringLiteral("done."));
    EXPECT_EQ(errorRequest(QStringLiteral("T"), QStringLiteral("(-)")).text, QStringLiteral("(-)"));
    EXPECT_EQ(errorRequest(QStringLiteral("T"), QString()).text, QString());
    const DialogRequest error = errorRequest(QStringLiteral("Tallemo"), QStringLiteral("x"));
    EXPECT_EQ(error.kind, DialogKind::Error);
    EXPECT_EQ(error.title, QStringLiteral("Tallemo"));
    EXPECT_EQ(error.buttons, QStringList{QStringLiteral("OK")});
}

void sendKey(QWidget* widget, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
}

class InputDialogTest : public ::testing::Test {
protected:
    std::unique_ptr<InputDialog> open(const QString& initial) {
        auto dialog = std::make_unique<InputDialog>(
            nullptr, inputRequest(QStringLiteral("API Keyを入力して下さい"),
                                  QStringLiteral("API Key"), initial));
        dialog->show();
        return dialog;
    }
};

TEST_F(InputDialogTest, ShowsTitlePromptAndTheInitialTextAllSelected) {
    auto dialog = open(QStringLiteral("abc"));
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("API Keyを入力して下さい"));
    EXPECT_EQ(dialog->field()->text(), QStringLiteral("abc"));
    EXPECT_EQ(dialog->field()->selectedText(), QStringLiteral("abc"));
    EXPECT_EQ(dialog->field()->maxLength(), 255);
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());

    QStringList captions;
    QString defaultCaption;
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
        captions << button->text();
        if (button->isDefault())
            defaultCaption = button->text();
    }
    captions.sort();
    EXPECT_EQ(captions, (QStringList{QStringLiteral("OK"), QStringLiteral("キャンセル")}));
    EXPECT_EQ(defaultCaption, QStringLiteral("OK"));
}

TEST_F(InputDialogTest, EnterTakesTheFieldAndEscGivesBackTheInitialText) {
    auto accepted = open(QStringLiteral("old"));
    accepted->field()->setText(QStringLiteral("new"));
    sendKey(accepted->field(), Qt::Key_Return);
    EXPECT_EQ(accepted->result(), QDialog::Accepted);
    EXPECT_EQ(accepted->answerText(), QStringLiteral("new"));

    auto cancelled = open(QStringLiteral("old"));
    cancelled->field()->setText(QStringLiteral("new"));
    sendKey(cancelled->field(), Qt::Key_Escape);
    EXPECT_EQ(cancelled->result(), QDialog::Rejected);
    EXPECT_EQ(cancelled->answerText(), QStringLiteral("old"));

    auto closed = open(QStringLiteral("old"));
    closed->field()->setText(QStringLiteral("new"));
    closed->close();
    EXPECT_EQ(closed->answerText(), QStringLiteral("old"));
}

TEST_F(InputDialogTest, PastingStopsAt255CharactersButALongerStoredValueSurvivesOk) {
    auto dialog = open(QString());
    dialog->field()->insert(QString(300, u'x'));
    EXPECT_EQ(dialog->field()->text().size(), 255);

    const QString stored(300, u'y');
    auto longer = open(stored);
    sendKey(longer->field(), Qt::Key_Return);
    EXPECT_EQ(longer->answerText(), stored);
}

TEST(MessageBoxes, ConfirmationHasYesAsDefaultAndNoForEscape) {
    const auto box =
        createMessageBox(nullptr, confirmationRequest(QStringLiteral("ViewはSuica限定ですか?")));
    EXPECT_EQ(box->windowTitle(), QStringLiteral("確認"));
    EXPECT_EQ(box->text(), QStringLiteral("ViewはSuica限定ですか?"));
    EXPECT_EQ(box->icon(), QMessageBox::Question);
    ASSERT_EQ(box->buttons().size(), 2);
    ASSERT_NE(box->defaultButton(), nullptr);
    EXPECT_EQ(box->defaultButton()->text(), QStringLiteral("はい(&Y)"));
    ASSERT_NE(box->escapeButton(), nullptr);
    EXPECT_EQ(box->escapeButton()->text(), QStringLiteral("いいえ(&N)"));
}

TEST(MessageBoxes, AQuestionThatLosesDataHasNoAsDefaultAndForEscape) {
    const auto box = createMessageBox(
        nullptr, destructiveConfirmationRequest(QStringLiteral("コピー履歴を消去しますか?")));
    EXPECT_EQ(box->icon(), QMessageBox::Question);
    ASSERT_NE(box->defaultButton(), nullptr);
    EXPECT_EQ(box->defaultButton()->text(), QStringLiteral("いいえ(&N)"));
    ASSERT_NE(box->escapeButton(), nullptr);
    EXPECT_EQ(box->escapeButton()->text(), QStringLiteral("いいえ(&N)"));
}

TEST(MessageBoxes, ProblemsSitInAMonospacedFieldThatDoesNotBreakAPattern) {
    const QString problem = QStringLiteral(
        "broken.toml 3 行 10 桁目: パターンを読めません: (?P<shop>.+)\\s+(?P<amount>[0-9,]+)円");
    const auto box = createMessageBox(nullptr, rulesProblemsRequest({problem}));
    auto* field = box->findChild<QPlainTextEdit*>(QStringLiteral("details"));
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->toPlainText(), problem);
    EXPECT_TRUE(field->isReadOnly());
    EXPECT_EQ(field->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_TRUE(QFontInfo(field->font()).fixedPitch());
    box->show();
    QCoreApplication::processEvents();
    auto* buttons = box->findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    EXPECT_LT(field->geometry().bottom(), buttons->geometry().top());
}

TEST(MessageBoxes, InformationAndErrorHaveOneOkButton) {
    const auto information = createMessageBox(nullptr, informationRequest(QStringLiteral("i")));
    EXPECT_EQ(information->windowTitle(), QStringLiteral("情報"));
    EXPECT_EQ(information->icon(), QMessageBox::Information);
    ASSERT_EQ(information->buttons().size(), 1);
    EXPECT_EQ(information->defaultButton()->text(), QStringLiteral("OK"));

    const auto error =
        createMessageBox(nullptr, errorRequest(QStringLiteral("Tallemo"), QStringLiteral("e")));
    EXPECT_EQ(error->windowTitle(), QStringLiteral("Tallemo"));
    EXPECT_EQ(error->text(), QStringLiteral("e."));
    EXPECT_EQ(error->icon(), QMessageBox::Critical);
    ASSERT_EQ(error->buttons().size(), 1);
    EXPECT_EQ(error->defaultButton()->text(), QStringLiteral("OK"));
}

} // namespace
} // namespace tallemo
