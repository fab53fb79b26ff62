#pragma once

#include "app/ActionList.h"
#include "categories/CategoryStore.h"
#include "converters/ConversionReport.h"
#include "rules/KindFolders.h"

#include <QDateTime>
#include <QHash>
#include <QMainWindow>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QAction;
class QCommandLinkButton;
class QFileSystemWatcher;
class QPoint;
class QTimer;
class QFrame;
class QLabel;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QToolBar;
class QUrl;

namespace tallemo {

class Clipboard;
class CommandDispatcher;
class Dialogs;
class HttpTransport;
class WaitObserver;
class LineModel;
class OutputList;
struct StatementKind;
class KindRegistry;
namespace history {
class HistoryStore;
}

// What the window takes from its surroundings. Every member left empty means the real thing;
// tests put in their own so that no test needs modal loops, the network or a browser.
struct TForm1Environment {
    // The program file; the settings path and the error box's title come from it.
    QString programFilePath;
    Dialogs* dialogs = nullptr;
    Clipboard* clipboard = nullptr;
    HttpTransport* transport = nullptr;
    // Hands a URL to the desktop's default browser; failures stay silent.
    std::function<void(const QUrl&)> openUrl;
    // Where the rules files are: kinds/ beside the settings file and share/tallemo/kinds/ beside
    // the program's folder when unset.
    std::optional<rules::KindFolders> kindFolders;
    // The history of copied rows: decided from where the settings file is when unset (see
    // historyFileFor), and the system's clock.
    std::optional<QString> historyFile;
    std::function<QDateTime()> clock;
    // Asks for the statement file to open, starting in folder; empty when the user cancels. A
    // file dialog when unset.
    std::function<QString(QWidget* owner, const QString& folder)> chooseStatementFile;
};

// What "作者ホームページ" opens when no help page is installed beside the program.
inline const QString kAuthorHomePage = QStringLiteral("https://www.example.com/tallemo/");

// The main window. Every command runs one handler through a dispatcher that catches whatever the
// handler throws and shows it in the error box, so no exception reaches Qt's event loop.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(TForm1Environment environment = {}, QWidget* parent = nullptr);
    ~TForm1() override;
    Q_DISABLE_COPY_MOVE(TForm1)

    QCommandLinkButton* Button1 = nullptr;
    QCommandLinkButton* Button2 = nullptr;
    QCommandLinkButton* Button3 = nullptr;
    QCommandLinkButton* Button4 = nullptr;
    QCommandLinkButton* Button6 = nullptr;
    QCommandLinkButton* Button7 = nullptr;
    QMenuBar* MainMenu1 = nullptr;
    QMenu* N1 = nullptr;
    QAction* N2 = nullptr;
    QAction* N3 = nullptr;
    QAction* N4 = nullptr;
    QAction* N5 = nullptr;
    QMenu* N6 = nullptr;
    QAction* N7 = nullptr;
    QMenu* N8 = nullptr;
    QAction* T1 = nullptr;
    QAction* View1 = nullptr;
    QFrame* Panel1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    ActionList* ActionList1 = nullptr;
    QAction* ViewAnalysis = nullptr;
    QAction* SeikyouAnalysis = nullptr;
    QAction* AdditionalFunctionOn = nullptr;
    QAction* AdditionalFunctionOff = nullptr;
    QAction* N9 = nullptr;
    QAction* AdditionalFinctionOn1 = nullptr;
    ActionManager* ActionManager1 = nullptr;
    QAction* SeikyoAnalizing = nullptr;
    QAction* ViewAnalizing = nullptr;
    QToolBar* ActionToolBar1 = nullptr;
    QAction* WindowClose1 = nullptr;
    QAction* SelectAllPaste = nullptr;
    QAction* NewBeikoku = nullptr;
    // ファイルを開く…: a statement file into the text area (the toolbar and Ctrl+O).
    QAction* OpenFile = nullptr;
    // その他の書式's entries for the rules files: reading them again and their problems.
    QAction* ReloadKinds = nullptr;
    QAction* KindProblems = nullptr;
    // 例から書式を作る…: learns a kind from the selected entry (also in the text area's menu).
    QAction* LearnKind = nullptr;
    // 設定's entries for the history of copied rows.
    QAction* NewRowsOnly = nullptr;
    QAction* ClearHistory = nullptr;
    // 分類: learning the user's cells from spreadsheet rows and filling them in.
    QMenu* CategoriesMenu = nullptr;
    QAction* LearnCategories = nullptr;
    QAction* FillCategories = nullptr;
    QAction* ShowCategories = nullptr;
    QAction* OpenCategoryRules = nullptr;
    // The strip below the buttons that says what the last command did.
    QLabel* Label1 = nullptr;

    // The handlers. They throw; the commands reach them through run().
    void Button1Click(QObject* Sender);
    void Button2Click(QObject* Sender);
    void Button3Click(QObject* Sender);
    void Button4Click(QObject* Sender);
    void Button6Click(QObject* Sender);
    void Button8Click(QObject* Sender);
    void Button9Click(QObject* Sender);
    void Button10Click(QObject* Sender);
    void Button12Click(QObject* Sender);
    void N7Click(QObject* Sender);
    void SelectAllPasteExecute(QObject* Sender);
    void NewBeikokuExecute(QObject* Sender);
    void ViewAnalysisExecute(QObject* Sender);
    void SeikyouAnalysisExecute(QObject* Sender);
    void SeikyoAnalizingExecute(QObject* Sender);
    void ViewAnalizingExecute(QObject* Sender);
    void WindowClose1Execute(QObject* Sender);
    void AdditionalFunctionOnExecute(QObject* Sender);
    void AdditionalFunctionOffExecute(QObject* Sender);
    void ReloadKindsExecute(QObject* Sender);
    void KindProblemsExecute(QObject* Sender);
    void LearnKindExecute(QObject* Sender);
    void NewRowsOnlyExecute(QObject* Sender);
    void ClearHistoryExecute(QObject* Sender);
    void OpenFileExecute(QObject* Sender);
    // Puts a statement file's text into the text area as すべてを消去して貼り付け puts the
    // clipboard's, and says what it read; a folder, an unreadable or too large file, or bytes of
    // no encoding it knows leave the text area as it was and say why.
    void openStatementFile(const QString& path);
    void LearnCategoriesExecute(QObject* Sender);
    void FillCategoriesExecute(QObject* Sender);
    void ShowCategoriesExecute(QObject* Sender);
    void OpenCategoryRulesExecute(QObject* Sender);
    void FormCreate(QObject* Sender);
    void FormClose(QObject* Sender);

    static int MyAnsiPosEx(const QString& Str, const QString& St, int n);
    // Yen per dollar from the exchange-rate service; trace lines go to Lines.
    double GetYPD(LineModel& Lines, double& LUSD, double& LYPD, double& LJPY, bool& succeeded);

    const QString& iniFileName() const { return FIniFileName; }
    const QString& historyFile() const { return m_historyFile; }
    // categories.sqlite, beside the history.
    QString categoriesFile() const;
    // The kinds as they are now; a command keeps the ones it began with.
    const KindRegistry& kinds() const { return *m_kinds; }
    const rules::KindFolders& kindFolders() const { return m_kindFolders; }
    // The menu entries of the kinds read from rules files, in menu order.
    const QList<QAction*>& rulesKindEntries() const { return m_rulesKindEntries; }
    // What the last command did, in full (the strip shows it elided when it is too long).
    const QString& message() const { return m_message; }
    void showMessage(const QString& message);
    // The message with the caption of the kind it suggests as a link to that kind's command.
    void showMessage(const QString& message, const std::optional<KindMention>& suggestion);
    // The error box's title.
    const QString& title() const { return m_title; }

    // Runs one command: the handler, then the error box if it threw. A command that arrives
    // while another one waits (the exchange-rate request) is dropped.
    void run(const std::function<void()>& handler) noexcept;

    // What the exchange-rate request tells while it waits: a busy cursor and a small modal box
    // whose "キャンセル" ends the request.
    WaitObserver& waitObserver();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWindow();
    void buildActions();
    void buildMenu();
    void buildToolBar(QWidget* client);
    // Binds a button's, action's or menu entry's signal to a command run through run().
    template <class Sender, class Signal>
    void bindCommand(Sender* sender, Signal signal, std::function<void()> command);
    template <class Sender, class Signal>
    void bindCommand(Sender* sender, Signal signal, void (TForm1::*handler)(QObject*));

    // Runs a converter on one snapshot of the text area and writes the result back once, also
    // when the converter throws half-way. Returns whether the text changed.
    bool convert(const std::function<void(LineModel&)>& converter);
    // The command of a statement kind: runs the conversion through the core's stages on the
    // text area's text, puts the rows on the clipboard and says what it did.
    void convertStatement(const std::shared_ptr<const KindRegistry>& kinds,
                          const StatementKind& kind);
    void convertStatement(const QString& kindId);
    // The history of copied rows, open and with no notices of earlier commands.
    history::HistoryStore& historyStore();
    void readHistoryAhead();
    // Reads the rules files again, rebuilds their menu entries and says what it found.
    void loadKinds();
    void rebuildRulesKindEntries();
    void watchKindFiles(const QStringList& files);
    // The ids a new kind may not take: the kinds' and the files' in the user's folder.
    QStringList takenKindIds() const;
    void showTextAreaMenu(const QPoint& position) const;
    // Opens a file dropped on the window or the text area; true when the event was such a drop
    // (or the drag before it), which the text area must then not see.
    bool handleFileDrop(QEvent* event);
    // The message without the note that rules files are broken (the messages about them).
    void showMessageAsItIs(const QString& message,
                           const std::optional<KindMention>& suggestion = std::nullopt);
    // Whether the suggested kind's command can run: View and 生協 can be switched off.
    bool kindCommandEnabled(const QString& kindId) const;
    // A click on the strip's link: "kind:ID" converts the text with that kind.
    void followMessageLink(const QString& link);
    QString kindProblemsMessage() const;
    // Lays out the strip for the message and the client area's width: a message that does not
    // fit wraps to a second line, and the buttons and the strip move up by a line for it.
    void placeMessageStrip();
    // After a command that showed a dialog, the window takes the keyboard back and the text area
    // the focus, so that the next shortcut reaches its action rather than the dialog's leftovers.
    void takeBackFocus();
    void editSetting(const QString& section, const QString& key, const QString& title,
                     const QString& prompt);
    // Asks the question of a kind's remarks setting and keeps the answer in Tallemo.ini.
    void askRemark(const StatementKind& kind);
    void askRemark(const QString& kindId);
    void setOthersEnabled(bool enabled);

    Clipboard& clipboard() { return *m_clipboard; }

    QString FIniFileName;
    QString m_programFilePath;
    QString m_title;
    std::unique_ptr<Dialogs> m_ownDialogs;
    std::unique_ptr<Clipboard> m_ownClipboard;
    std::unique_ptr<HttpTransport> m_ownTransport;
    Dialogs* m_dialogs;
    Clipboard* m_clipboard;
    HttpTransport* m_transport;
    std::function<void(const QUrl&)> m_openUrl;
    QWidget* m_client = nullptr;
    std::unique_ptr<CommandDispatcher> m_dispatcher;
    QString m_message;
    // Where the message names the kind the text looks like; the strip makes it a link.
    std::optional<KindMention> m_messageLink;
    // The buttons below the text area at their places for a one-line message.
    std::vector<std::pair<QWidget*, QRect>> m_bottomWidgets;
    // Why the last exchange-rate request failed, for the message.
    QString m_rateFailureReason;
    std::optional<rules::KindFolders> m_givenKindFolders;
    std::optional<QString> m_givenHistoryFile;
    QString m_historyFile;
    // Kept open from one command to the next: closing it makes SQLite write its journal back
    // into the file, which a window command should not wait for every time.
    std::unique_ptr<history::HistoryStore> m_history;
    categories::MatcherCache m_matchers;
    // Opened while idle, before any command: what opening it had to say (a damaged file moved
    // aside) is the first command's to show.
    bool m_historyNoticesUnshown = false;
    std::function<QDateTime()> m_clock;
    std::function<QString(QWidget*, const QString&)> m_chooseStatementFile;
    rules::KindFolders m_kindFolders;
    std::shared_ptr<const KindRegistry> m_kinds;
    std::vector<rules::RulesProblem> m_kindProblems;
    QList<QAction*> m_rulesKindEntries;
    QList<QAction*> m_remarkSettingEntries; // in 設定, for the rules kinds with a remarks cell
    QAction* m_rulesKindsEnd = nullptr;     // the separator below the rules kinds' entries
    QAction* m_remarkSettingsEnd = nullptr; // the separator below the remarks settings
    QFileSystemWatcher* m_kindsWatcher = nullptr;
    // Editors save by writing a new file and renaming it: the files are read again once the
    // folder has been quiet for a moment.
    QTimer* m_kindsReload = nullptr;
    QTimer* m_historyReadAhead = nullptr;
    QHash<QString, QAction*> m_switchableKindCommands;
    // Said again by the kinds folder's reload that follows saving a learned kind, which would
    // otherwise replace it with the count of kinds.
    QString m_kindSavedMessage;
};

} // namespace tallemo
