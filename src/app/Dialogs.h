#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <memory>

class QLineEdit;
class QMessageBox;
class QWidget;

namespace tallemo {

class CategoriesDialog;
class LearnDialog;

// Every modal box and the input dialog the window opens go through Dialogs, so that widget tests
// answer them in advance instead of driving real modal loops.

enum class DialogKind { Input, Confirmation, Information, Error };

// One modal dialog as the user sees it. For an input dialog, text is the prompt.
struct DialogRequest {
    DialogKind kind = DialogKind::Information;
    QString title;
    QString text;
    QStringList buttons; // captions; "&" marks the access key of the letter after it
    int defaultButton = 0;
    int escapeButton = -1; // the button Esc and the frame's close box stand for; -1 for none
    QString initialText;   // input dialogs only
    int maxLength = 0;     // input dialogs only: what typing or pasting may reach
    QString details;       // shown below the text, for lists that would make it too long
};

struct DialogAnswer {
    int button = -1; // index into buttons; -1 when the dialog was closed without one
    QString text;    // input dialogs: the field's text when closed
};

class Dialogs {
public:
    Dialogs() = default;
    Dialogs(const Dialogs&) = delete;
    Dialogs& operator=(const Dialogs&) = delete;
    Dialogs(Dialogs&&) = delete;
    Dialogs& operator=(Dialogs&&) = delete;
    virtual ~Dialogs() = default;
    virtual DialogAnswer show(QWidget* owner, const DialogRequest& request) = 0;
    // Runs the dialog that learns a kind from an example until it is closed; true when it saved
    // the kind.
    virtual bool runLearnDialog(LearnDialog& dialog) = 0;
    // Runs 分類 › 覚えた分類… until it is closed.
    virtual void runCategoriesDialog(CategoriesDialog& dialog);
};

// The requests the window makes.
DialogRequest confirmationRequest(const QString& message);
// A question whose "はい" loses data: "いいえ" is the default, so that Enter keeps it.
DialogRequest destructiveConfirmationRequest(const QString& message);
DialogRequest informationRequest(const QString& message);
DialogRequest errorRequest(const QString& title, const QString& message);
// The problems of the rules files, one a line, below a summary that names their folder; the
// second button, "フォルダを開く", opens it.
DialogRequest rulesProblemsRequest(const QStringList& problems, const QString& folder = {});
DialogRequest inputRequest(const QString& title, const QString& prompt, const QString& initial);

// Yes/no question; true only for "はい(&Y)".
bool askConfirmation(Dialogs& dialogs, QWidget* owner, const QString& message);
bool askDestructiveConfirmation(Dialogs& dialogs, QWidget* owner, const QString& message);
void showInformation(Dialogs& dialogs, QWidget* owner, const QString& message);
void showError(Dialogs& dialogs, QWidget* owner, const QString& title, const QString& message);
// The field's text after "OK", the initial text unchanged in every other case.
QString inputBox(Dialogs& dialogs, QWidget* owner, const QString& title, const QString& prompt,
                 const QString& initial);

// The error box's title: the program file's name after its last "/" up to its first ".", every
// character after the first in lower case.
QString applicationTitle(const QString& programFilePath);

// The one-line input dialog: prompt above the field, "OK" (Enter) and "キャンセル" (Esc).
class InputDialog : public QDialog {
    Q_OBJECT
public:
    InputDialog(QWidget* owner, const DialogRequest& request);

    QLineEdit* field() const { return m_field; }
    // The field's text after "OK", the initial text otherwise.
    QString answerText() const;

private:
    QLineEdit* m_field;
    QString m_initial;
};

// A message box built from a request, not yet shown.
std::unique_ptr<QMessageBox> createMessageBox(QWidget* owner, const DialogRequest& request);

// The real dialogs.
class QtDialogs : public Dialogs {
public:
    DialogAnswer show(QWidget* owner, const DialogRequest& request) override;
    bool runLearnDialog(LearnDialog& dialog) override;
};

} // namespace tallemo
