// What makes the window a desktop program: the visible keyboard focus, access keys, the icon,
// Qt's own texts in Japanese, the help page and where the settings file goes.
#include "WindowHarness.h"

#include "app/Application.h"
#include "app/HelpPage.h"
#include "settings/IniSettings.h"

#include <QAction>
#include <QApplication>
#include <QCommandLinkButton>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QTranslator>

#include <gtest/gtest.h>

#include <memory>

namespace tallemo::testing {
namespace {

const QColor kCaptionColour(0xA6, 0xCA, 0xF0);

void pressKey(QWidget* widget, Qt::Key key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
    QCoreApplication::sendEvent(widget, &release);
}

QImage imageOf(QWidget* widget, qreal scale = 1.0) {
    QImage image((QSizeF(widget->size()) * scale).toSize(), QImage::Format_ARGB32);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    widget->render(&image);
    return image;
}

// Every pixel of the button's outermost ring.
bool borderIsAll(const QImage& image, const QColor& colour) {
    for (int x = 0; x < image.width(); ++x)
        if (image.pixelColor(x, 0) != colour || image.pixelColor(x, image.height() - 1) != colour)
            return false;
    for (int y = 0; y < image.height(); ++y)
        if (image.pixelColor(0, y) != colour || image.pixelColor(image.width() - 1, y) != colour)
            return false;
    return true;
}

class DesktopIntegration : public ::testing::Test {
protected:
    DesktopIntegration() : harness(&clipboard) {}
    void SetUp() override {
        form().show();
        form().activateWindow();
        QCoreApplication::processEvents();
    }
    TForm1& form() { return *harness.window; }

    MemoryClipboard clipboard{QStringLiteral("abc")};
    WindowHarness harness;
};

TEST_F(DesktopIntegration, TheFocusedButtonIsFramedInTheCaptionColourAndOnlyIt) {
    const std::vector<QCommandLinkButton*> buttons = {
        form().Button3, form().Button1, form().Button6, form().Button7, form().Button4};
    for (QCommandLinkButton* focused : buttons) {
        SCOPED_TRACE(focused->objectName().toStdString());
        focused->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
        ASSERT_TRUE(focused->hasFocus());
        for (QCommandLinkButton* button : buttons)
            EXPECT_EQ(borderIsAll(imageOf(button), kCaptionColour), button == focused)
                << button->objectName().toStdString();
    }
    // A click of the mouse leaves the focus, and with it the frame, on the button.
    form().Memo1->setFocus(Qt::TabFocusReason);
    form().Button1->setFocus(Qt::MouseFocusReason);
    EXPECT_TRUE(borderIsAll(imageOf(form().Button1), kCaptionColour));
}

TEST_F(DesktopIntegration, SpaceAndEnterFireTheFocusedButtonOnly) {
    form().Button3->setFocus(Qt::TabFocusReason);
    for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter})
        pressKey(form().Button3, key);
    EXPECT_EQ(harness.text(), QStringLiteral("abcabcabc"));

    // In the text area Enter stays a line break.
    harness.setText(QString());
    form().Memo1->setFocus(Qt::TabFocusReason);
    pressKey(form().Memo1, Qt::Key_Return);
    EXPECT_EQ(harness.text(), QStringLiteral("\r\n"));
}

// A caption with "&" and the same caption without it differ exactly by the underline.
TEST_F(DesktopIntegration, AccessKeysAreUnderlinedAtEveryScale) {
    QToolButton* toolButton = nullptr;
    for (QAction* action : form().ActionToolBar1->actions())
        if (auto* button =
                qobject_cast<QToolButton*>(form().ActionToolBar1->widgetForAction(action));
            button != nullptr && toolButton == nullptr)
            toolButton = button;
    ASSERT_NE(toolButton, nullptr);
    const QString caption = toolButton->text();
    ASSERT_EQ(caption, QStringLiteral("すべてを消去して貼り付け(&Z)"));

    QPushButton yes(QStringLiteral("はい(&Y)"));
    yes.resize(120, 30);
    QPushButton yesPlain(QStringLiteral("はい(Y)"));
    yesPlain.resize(120, 30);

    for (const qreal scale : {1.0, 1.25, 1.5, 2.0}) {
        SCOPED_TRACE(scale);
        const QImage underlined = imageOf(toolButton, scale);
        toolButton->setText(QStringLiteral("すべてを消去して貼り付け(Z)"));
        const QImage plain = imageOf(toolButton, scale);
        toolButton->setText(caption);
        EXPECT_NE(underlined, plain);
        EXPECT_NE(imageOf(&yes, scale), imageOf(&yesPlain, scale));
    }
}

TEST_F(DesktopIntegration, TheWindowAndItsDialogsCarryTheProgramsIcon) {
    const QIcon icon = programIcon();
    for (const int size : {16, 32, 48, 256}) {
        SCOPED_TRACE(size);
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size)));
        EXPECT_FALSE(icon.pixmap(size).isNull());
    }
    EXPECT_EQ(QApplication::windowIcon().cacheKey(), form().windowIcon().cacheKey());
    QDialog dialog(&form());
    EXPECT_EQ(dialog.windowIcon().cacheKey(), form().windowIcon().cacheKey());
    EXPECT_FALSE(form().windowIcon().isNull());
}

TEST_F(DesktopIntegration, QtsOwnTextsAreJapaneseUnderANonJapaneseLocale) {
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    auto untranslatedMenu = std::unique_ptr<QMenu>(form().Memo1->createStandardContextMenu());
    EXPECT_TRUE(untranslatedMenu->actions().value(0)->text().startsWith(QStringLiteral("&Undo")));

    QTranslator* translator = installQtTranslations(*QCoreApplication::instance());
    ASSERT_NE(translator, nullptr) << "qt6-translations-l10n missing?";
    QStringList texts;
    const auto japaneseMenu = std::unique_ptr<QMenu>(form().Memo1->createStandardContextMenu());
    for (QAction* action : japaneseMenu->actions())
        if (!action->isSeparator())
            texts << action->text().section(QLatin1Char('\t'), 0, 0); // without the shortcut
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    const QString cancel = box.button(QDialogButtonBox::Cancel)->text();
    QCoreApplication::removeTranslator(translator);
    delete translator;
    QLocale::setDefault(previous);

    EXPECT_EQ(texts, (QStringList{"元に戻す(&U)", "やり直す(&R)", "切り取り(&T)", "コピー(&C)",
                                  "貼り付け(&P)", "削除", "すべてを選択"}));
    EXPECT_EQ(cancel, QStringLiteral("キャンセル"));
}

TEST(HelpPage, OpensTheInstalledPageOrTheOneBesideTheProgramInABuildTree) {
    QTemporaryDir dir;
    const QUrl fallback(QStringLiteral("https://example.com/help"));
    const auto put = [&](const QString& relative) {
        ASSERT_TRUE(QDir(dir.path()).mkpath(QFileInfo(relative).path()));
        QFile page(dir.filePath(relative));
        ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    };

    EXPECT_EQ(helpPageUrl(dir.filePath("usr/bin/Tallemo"), fallback), fallback);

    put(QStringLiteral("build/help/index.html"));
    EXPECT_EQ(helpPageUrl(dir.filePath("build/Tallemo"), fallback),
              QUrl::fromLocalFile(dir.filePath("build/help/index.html")));

    put(QStringLiteral("usr/share/tallemo/help/index.html"));
    EXPECT_EQ(helpPageUrl(dir.filePath("usr/bin/Tallemo"), fallback),
              QUrl::fromLocalFile(dir.filePath("usr/share/tallemo/help/index.html")));
}

// The page beside the built program names every command of the window, so a caption that
// changes without its help shows up here.
TEST(HelpPage, TheBuiltPageDescribesEveryCommandTheSettingsFileAndTheApiKey) {
    const QString program = QStringLiteral(TALLEMO_BUILT_PROGRAM_DIR "/Tallemo");
    const QUrl url = helpPageUrl(program, QUrl());
    ASSERT_TRUE(url.isLocalFile()) << url.toString().toStdString();
    QFile page(url.toLocalFile());
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(page.readAll());

    MemoryClipboard clipboard;
    WindowHarness harness(&clipboard);
    TForm1& form = *harness.window;
    QStringList captions;
    for (QCommandLinkButton* button :
         {form.Button3, form.Button1, form.Button6, form.Button7, form.Button4})
        captions << button->text();
    for (QAction* entry : {form.View1, form.T1, form.N4, form.N3, form.N2, form.N5, form.N7})
        captions << entry->text();
    captions << form.N8->title() << form.N1->title() << form.N6->title()
             << QStringLiteral("すべてを消去して貼り付け(Z)") << QStringLiteral("Tallemo.ini")
             << QStringLiteral("~/.config/Tallemo/Tallemo.ini")
             << QStringLiteral("https://exchangeratesapi.io/");
    for (const QString& caption : captions)
        EXPECT_TRUE(html.contains(caption)) << caption.toStdString();
}

TEST(SettingsFile, AWindowInAFolderItCannotWriteKeepsItsSettingsInTheUsersConfigFolder) {
    QTemporaryDir home;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    ScriptedDialogs dialogs;
    TForm1Environment environment;
    environment.programFilePath = home.filePath(QStringLiteral("no-such-folder/Tallemo"));
    environment.dialogs = &dialogs;
    auto form = std::make_unique<TForm1>(std::move(environment));
    if (saved.isEmpty())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", saved);

    const QString expected = home.filePath(QStringLiteral("config/Tallemo/Tallemo"));
    EXPECT_EQ(form->iniFileName(), expected);
    form->show();
    form->move(40, 30);
    QCoreApplication::processEvents();
    form->close();

    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(ReadIniInteger(expected, QStringLiteral("Ap"), QStringLiteral("MainForm_left"), -1),
              form->pos().x());
}

} // namespace
} // namespace tallemo::testing
