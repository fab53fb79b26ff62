#pragma once

#include "AppError.h"
#include "app/CategoriesDialog.h"
#include "app/Dialogs.h"
#include "app/DocumentText.h"
#include "app/LearnDialog.h"
#include "app/TForm1.h"
#include "rates/ExchangeRates.h"
#include "rates/WaitObserver.h"
#include "support/FakeTransport.h"
#include "support/LockedClipboard.h"
#include "support/MemoryClipboard.h"
#include "support/QtText.h"
#include "support/SampleStatements.h"
#include "text/Clipboard.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QUrl>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tallemo::testing {

using namespace tallemo::testing_support;

// Dialogs answered in advance: every dialog shown is recorded, and takes the next queued answer
// (a dialog without one gets "closed without a button").
class ScriptedDialogs : public Dialogs {
public:
    DialogAnswer show(QWidget* /*owner*/, const DialogRequest& request) override {
        shown.push_back(request);
        if (answers.empty())
            return DialogAnswer{-1, request.initialText};
        DialogAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }

    // The learn dialog is driven by the test's own function, which gets it ready to be shown;
    // without one it is closed without saving.
    bool runLearnDialog(LearnDialog& dialog) override {
        ++learnDialogsShown;
        return onLearnDialog ? onLearnDialog(dialog) : false;
    }

    // 覚えた分類… is driven by the test's own function instead of a modal loop.
    void runCategoriesDialog(CategoriesDialog& dialog) override {
        ++categoriesDialogsShown;
        if (onCategoriesDialog)
            onCategoriesDialog(dialog);
    }

    void answerButton(int button) { answers.push_back(DialogAnswer{button, QString()}); }
    void answerInput(const QString& text) { answers.push_back(DialogAnswer{0, text}); }
    void cancelInput() { answers.push_back(DialogAnswer{1, QString()}); }

    int categoriesDialogsShown = 0;
    std::function<void(CategoriesDialog&)> onCategoriesDialog;
    std::deque<DialogAnswer> answers;
    std::vector<DialogRequest> shown;
    std::function<bool(LearnDialog&)> onLearnDialog;
    int learnDialogsShown = 0;
};

// What a label shows, as the user reads it: rich text (the strip with a link) rendered to plain
// text, line breaks included.
inline QString shownText(const QLabel& label) {
    if (label.textFormat() != Qt::RichText)
        return label.text();
    QTextDocument document;
    document.setHtml(label.text());
    return document.toPlainText();
}

// One window with its settings in a fresh folder as "<folder>/Tallemo", scripted dialogs, a
// canned transport and a record of opened URLs. The clipboard is the real one unless a test
// passes its own.
struct WindowHarness {
    // folderPath: a folder of the test's own to keep the settings and kinds in, instead of a
    // fresh one.
    explicit WindowHarness(Clipboard* clipboard = nullptr, QString folderPath = QString())
        : ownFolderPath(std::move(folderPath)) {
        EXPECT_TRUE(folder.isValid());
        TForm1Environment environment;
        environment.programFilePath = programFilePath();
        environment.dialogs = &dialogs;
        environment.clipboard = clipboard;
        environment.transport = &transport;
        environment.openUrl = [this](const QUrl& url) { openedUrls.push_back(url); };
        environment.kindFolders = rules::KindFolders{userKindsFolder(), shippedKindsFolder()};
        environment.clock = [this] { return now; };
        environment.chooseStatementFile = [this](QWidget* /*owner*/, const QString& startFolder) {
            fileDialogFolders << startFolder;
            return fileToChoose;
        };
        window = std::make_unique<TForm1>(std::move(environment));
    }

    QString folderPath() const { return ownFolderPath.isEmpty() ? folder.path() : ownFolderPath; }
    QString programFilePath() const { return folderPath() + QStringLiteral("/Tallemo"); }
    QString iniPath() const { return programFilePath() + QStringLiteral(".ini"); }
    QString userKindsFolder() const { return folderPath() + QStringLiteral("/kinds"); }
    QString shippedKindsFolder() const { return folderPath() + QStringLiteral("/shipped-kinds"); }

    // The text area's text with CR LF breaks.
    QString text() const { return documentText(*window->Memo1->document()); }
    // Fills the text area as typing would: a fresh document, nothing to undo.
    void setText(QString text) const {
        window->Memo1->setPlainText(text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    }

    QString historyFile() const { return folderPath() + QStringLiteral("/history.sqlite"); }

    QTemporaryDir folder;
    QString ownFolderPath;
    // The window's clock: the copies it records are made at this time.
    QDateTime now{QDate(2024, 12, 1), QTime(12, 0)};
    ScriptedDialogs dialogs;
    // Answers every request with an empty answer unless a test sets one.
    FakeTransport transport;
    std::vector<QUrl> openedUrls;
    // What ファイルを開く… is answered with (empty: cancelled), and the folders it started in.
    QString fileToChoose;
    QStringList fileDialogFolders;
    std::unique_ptr<TForm1> window;
};

} // namespace tallemo::testing
