// ファイルを開く… and dropped files: a statement file replaces the text area's text as one undo
// step, in whatever encoding the issuer wrote it, and the message says what was read; a file
// that cannot be had leaves the text area as it was.
#include "WindowHarness.h"

#include "settings/IniSettings.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMenuBar>
#include <QMimeData>
#include <QStringDecoder>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace tallemo;
using namespace tallemo::testing;
using namespace tallemo::testing_support;

namespace {

QString fixture(const char* relative) {
    return qEnvironmentVariable("TALLEMO_FIXTURES") + u'/' + QLatin1String(relative);
}

const char* const kVpass = "vpass-csv/two-cards-with-holder-and-total-lines.txt";
const char* const kCard = "card-csv/closed-month-with-a-foreign-usage.txt";

// A window whose shipped kinds are the program's: the messages name them.
class StatementFile : public ::testing::Test {
protected:
    StatementFile() {
        const QString shipped = folder.path() + QStringLiteral("/shipped-kinds");
        QDir().mkpath(shipped);
        const QString built =
            QStringLiteral(TALLEMO_BUILT_PROGRAM_DIR) + QStringLiteral("/../share/tallemo/kinds");
        for (const QString& name :
             {QStringLiteral("card-csv.toml"), QStringLiteral("vpass-csv.toml")})
            EXPECT_TRUE(QFile::copy(built + u'/' + name, shipped + u'/' + name))
                << name.toStdString();
        harness = std::make_unique<WindowHarness>(nullptr, folder.path());
    }
    TForm1& form() { return *harness->window; }

    QTemporaryDir folder;
    std::unique_ptr<WindowHarness> harness;
};

QString decodedFixture(const char* relative, const char* encoding) {
    QFile file(fixture(relative));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    return QStringDecoder(encoding).decode(bytes);
}

TEST_F(StatementFile, OpenReplacesTheTextAsOneUndoStepAndSaysWhatItRead) {
    harness->setText(QStringLiteral("before"));
    harness->fileToChoose = fixture(kVpass);
    form().OpenFile->trigger();

    EXPECT_EQ(harness->text(), decodedFixture(kVpass, "windows-31j"));
    EXPECT_TRUE(harness->text().contains(u8("㈱ニホンコウクウ　①")));
    EXPECT_EQ(form().message(),
              u8("two-cards-with-holder-and-total-lines.txt を開きました（Windows-31J、7 行）。"
                 "VISA 系カード明細 CSV（Vpass）の明細のようです"));
    form().Memo1->undo();
    EXPECT_EQ(harness->text(), QStringLiteral("before"));

    // The next dialog starts in the folder of the file last opened.
    harness->fileToChoose = fixture(kCard);
    form().OpenFile->trigger();
    ASSERT_EQ(harness->fileDialogFolders.size(), 2);
    EXPECT_EQ(harness->fileDialogFolders[1], QFileInfo(fixture(kVpass)).absolutePath());
    EXPECT_EQ(form().message(),
              u8("closed-month-with-a-foreign-usage.txt を開きました（UTF-8 (BOM)、6 行）。"
                 "楽天カード明細 CSVの明細のようです"));

    // Cancelled: nothing changes.
    harness->fileToChoose.clear();
    const QString text = harness->text();
    form().OpenFile->trigger();
    EXPECT_EQ(harness->text(), text);
}

TEST_F(StatementFile, WhatCannotBeReadLeavesTheTextAndSaysWhy) {
    QTemporaryDir files;
    const auto write = [&](const char* name, const QByteArray& bytes) {
        QFile file(files.filePath(QLatin1String(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    };
    // Sparse: larger than the window takes without costing the disk.
    QFile large(files.filePath(QStringLiteral("large.csv")));
    ASSERT_TRUE(large.open(QIODevice::WriteOnly));
    ASSERT_TRUE(large.resize(qint64{64} * 1024 * 1024 + 1));
    large.close();

    struct Case {
        QString path;
        QString message;
    };
    const Case cases[] = {
        {files.path(), QFileInfo(files.path()).fileName() +
                           u8(" はフォルダーです。明細のファイルを選んでください")},
        {files.filePath(QStringLiteral("missing.csv")),
         u8("missing.csv を読めません（No such file or directory）")},
        {write("mixed.csv", "ok\n\x82\xa0\x80\n"),
         u8("mixed.csv は UTF-8 でも Windows-31J でもありません（2 行目、オフセット 3 のバイトから "
            "UTF-8 ではありません）")},
        {large.fileName(), u8("large.csv は大きすぎます（ウィンドウで開けるのは 64 MiB まで、"
                              "tallemo-convert ならどの大きさでも読めます）")},
    };
    for (const Case& c : cases) {
        harness->setText(QStringLiteral("kept"));
        harness->fileToChoose = c.path;
        form().OpenFile->trigger();
        EXPECT_EQ(harness->text(), QStringLiteral("kept")) << c.path.toStdString();
        EXPECT_EQ(form().message(), c.message);
    }
    // A file of NUL bytes is text that ends at once.
    harness->fileToChoose = write("nul.csv", QByteArray(16, '\0'));
    form().OpenFile->trigger();
    EXPECT_EQ(harness->text(), QString());
    EXPECT_EQ(form().message(), u8("nul.csv を開きました（UTF-8、0 行）"));
}

// A dropped file is opened, on the text area as on the rest of the window; its URL never
// becomes text.
TEST_F(StatementFile, ADroppedFileIsOpenedNotInsertedAsItsUrl) {
    for (QWidget* target : {form().Memo1->viewport(), static_cast<QWidget*>(&form())}) {
        harness->setText(QStringLiteral("before"));
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(fixture(kCard))});
        data.setText(QUrl::fromLocalFile(fixture(kCard)).toString());
        const QPoint at(10, 10);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        EXPECT_TRUE(drop.isAccepted());
        EXPECT_EQ(harness->text(), decodedFixture(kCard, "UTF-8"));
        EXPECT_FALSE(harness->text().contains(QStringLiteral("file:")));
        EXPECT_TRUE(
            form().message().startsWith(u8("closed-month-with-a-foreign-usage.txt を開きました")));
        form().Memo1->undo();
        EXPECT_EQ(harness->text(), QStringLiteral("before"));
    }
}

// The command is on the toolbar beside すべてを消去して貼り付け with Ctrl+O, and in no menu.
TEST_F(StatementFile, IsOnTheToolBarWithCtrlOAndInNoMenu) {
    const QList<QToolButton*> buttons =
        form().findChild<QToolBar*>(QStringLiteral("ActionToolBar1"))->findChildren<QToolButton*>();
    QStringList captions;
    for (const QToolButton* button : buttons)
        captions << button->text();
    EXPECT_TRUE(captions.contains(u8("ファイルを開く…(&O)"))) << captions.join(u'|').toStdString();
    EXPECT_EQ(form().OpenFile->shortcut(), QKeySequence(QKeySequence::Open));
    EXPECT_TRUE(form().actions().contains(form().OpenFile));
    for (const QAction* entry : form().menuBar()->findChildren<QAction*>())
        EXPECT_NE(entry, form().OpenFile);
}

} // namespace
