#include "app/TForm1.h"

#include "AppError.h"
#include "app/CategoriesDialog.h"
#include "app/CommandButton.h"
#include "app/CommandDispatcher.h"
#include "app/Dialogs.h"
#include "app/DocumentText.h"
#include "app/HelpPage.h"
#include "app/LearnDialog.h"
#include "app/QtClipboard.h"
#include "categories/CategoryStore.h"
#include "converters/ConversionReport.h"
#include "converters/StatementKinds.h"
#include "history/HistoryStore.h"
#include "pipeline/Conversion.h"
#include "rates/ExchangeRates.h"
#include "rates/QtHttpTransport.h"
#include "rates/RatesAnswerTest.h"
#include "rules/RulesKind.h"
#include "settings/IniSettings.h"
#include "settings/SettingsLocation.h"
#include "text/LineModel.h"
#include "text/Regional.h"
#include "text/TextPrimitives.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCommandLinkButton>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include <algorithm>
#include <limits>
#include <optional>

namespace tallemo {

namespace {

const QString kOthersCategory = QStringLiteral("その他");
// 設定 › コピー済みの行を除く, as Tallemo.ini keeps it.
const QString kHistorySection = QStringLiteral("History");
const QString kNewOnlyKey = QStringLiteral("NewOnly");
// Long enough for the window's first paint, short enough to come before the user's first paste.
constexpr int kReadHistoryAheadAfterMs = 300;

constexpr int kClientWidth = 689;
constexpr int kClientHeight = 611;
constexpr int kToolBarHeight = 25;
constexpr int kPanelHeight = 521;
// The free strip below the buttons, where the last command's message goes.
const QRect kMessageStrip(8, 592, 673, 19);

const QColor kButtonCaptionColour(0xA6, 0xCA, 0xF0);
const QColor kMemoTextColour(0x00, 0xFF, 0xFF);
// What the strip's links point at: a kind's command, by the kind's id.
const QString kKindLinkScheme = QStringLiteral("kind:");
const QColor kToolBarDisabledText(0x6D, 0x6D, 0x6D);

QFont fontOf(const QStringList& families, int pointSize) {
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(pointSize);
    // Set explicitly: the command-link button would otherwise make its caption bold.
    font.setWeight(QFont::Normal);
    return font;
}

// The window's font: Segoe UI where it is installed, else what a desktop with Japanese fonts has.
const QStringList kUiFamilies = {QStringLiteral("Segoe UI"), QStringLiteral("Noto Sans CJK JP"),
                                 QStringLiteral("DejaVu Sans")};
// The rounded gothic of the big buttons; Motoya L Maruberi is its free counterpart on Linux.
const QStringList kRoundedFamilies = {QStringLiteral("AR P丸ゴシック体E"),
                                      QStringLiteral("MotoyaLMaru"),
                                      QStringLiteral("Noto Sans CJK JP")};

// The rounded captions were drawn in a proportional font; the free rounded gothic gives every kana
// a full em, so a caption that would not fit beside the arrow is narrowed just enough. The
// command-link button puts its caption at the icon's width + 13 and keeps 4 pixels on the right.
void fitCaption(QCommandLinkButton& button) {
    const int iconWidth = button.icon().actualSize(button.iconSize()).width();
    const int available = button.width() - iconWidth - 13 - 4;
    QFont font = button.font();
    const int needed = QFontMetrics(font).horizontalAdvance(button.text());
    if (needed <= available || needed <= 0)
        return;
    font.setStretch(std::max(50, available * 100 / needed));
    button.setFont(font);
}

// The window's frame position for the settings store. Before the window is first shown and
// while nothing has moved it, the windowing system has not placed it yet: its position is then
// unknown, and moving it "back" to a made-up position would overrule that placement.
class WindowPosition : public PositionedControl {
public:
    static constexpr int kUnplaced = std::numeric_limits<int>::min();

    explicit WindowPosition(QWidget& window) : m_window(window) {}

    int left() const override { return placed() ? m_window.pos().x() : kUnplaced; }
    int top() const override { return placed() ? m_window.pos().y() : kUnplaced; }
    void setLeft(int left) override {
        if (left != kUnplaced)
            m_window.move(left, m_window.pos().y());
    }
    void setTop(int top) override {
        if (top != kUnplaced)
            m_window.move(m_window.pos().x(), top);
    }
    QSize primaryScreenSize() const override {
        const QScreen* screen = QGuiApplication::primaryScreen();
        return screen != nullptr ? screen->size() : QSize();
    }

private:
    bool placed() const { return m_window.isVisible() || m_window.testAttribute(Qt::WA_Moved); }

    QWidget& m_window;
};

// A menu entry bound to an action takes the action's caption (unless it has its own), its enabled
// state and its visibility, and choosing it runs the action.
void bindEntry(QAction* entry, QAction* action, bool ownCaption) {
    auto sync = [entry, action, ownCaption] {
        if (!ownCaption)
            entry->setText(action->text());
        entry->setEnabled(action->isEnabled());
        entry->setVisible(action->isVisible());
    };
    sync();
    QObject::connect(action, &QAction::changed, entry, sync);
    QObject::connect(entry, &QAction::triggered, action, [action] {
        if (action->isEnabled())
            action->trigger();
    });
}

} // namespace

TForm1::TForm1(TForm1Environment environment, QWidget* parent)
    : QMainWindow(parent), m_programFilePath(environment.programFilePath.isEmpty()
                                                 ? QCoreApplication::applicationFilePath()
                                                 : environment.programFilePath),
      m_title(applicationTitle(m_programFilePath)), m_dialogs(environment.dialogs),
      m_clipboard(environment.clipboard), m_transport(environment.transport),
      m_openUrl(std::move(environment.openUrl)),
      m_givenKindFolders(std::move(environment.kindFolders)),
      m_givenHistoryFile(std::move(environment.historyFile)), m_clock(std::move(environment.clock)),
      m_chooseStatementFile(std::move(environment.chooseStatementFile)),
      m_kinds(KindRegistry::builtIn()) {
    if (m_dialogs == nullptr) {
        m_ownDialogs = std::make_unique<QtDialogs>();
        m_dialogs = m_ownDialogs.get();
    }
    if (m_clipboard == nullptr) {
        m_ownClipboard = std::make_unique<QtClipboard>();
        m_clipboard = m_ownClipboard.get();
    }
    m_dispatcher = std::make_unique<CommandDispatcher>(*this, *m_dialogs, m_title);
    // The message of the previous command would now be about something else.
    m_dispatcher->beforeCommand = [this] { showMessage(QString()); };
    if (m_transport == nullptr) {
        m_ownTransport = std::make_unique<QtHttpTransport>(m_dispatcher.get());
        m_transport = m_ownTransport.get();
    }
    if (!m_openUrl)
        m_openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    if (!m_clock)
        m_clock = [] { return QDateTime::currentDateTime(); };

    buildActions();
    buildWindow();
    buildMenu();

    run([this] { FormCreate(this); });
    // After the first paint, when the window waits for the user.
    m_historyReadAhead = new QTimer(this);
    m_historyReadAhead->setSingleShot(true);
    connect(m_historyReadAhead, &QTimer::timeout, this,
            [this] { run([this] { readHistoryAhead(); }); });
    m_historyReadAhead->start(kReadHistoryAheadAfterMs);

    m_kindsWatcher = new QFileSystemWatcher(this);
    m_kindsReload = new QTimer(this);
    m_kindsReload->setSingleShot(true);
    m_kindsReload->setInterval(400);
    connect(m_kindsWatcher, &QFileSystemWatcher::directoryChanged, m_kindsReload,
            qOverload<>(&QTimer::start));
    connect(m_kindsWatcher, &QFileSystemWatcher::fileChanged, m_kindsReload,
            qOverload<>(&QTimer::start));
    connect(m_kindsReload, &QTimer::timeout, this, [this] {
        // A command that waits for the exchange rate keeps the kinds it began with; the files
        // are read once it is done.
        if (m_dispatcher->busy())
            m_kindsReload->start();
        else
            run([this] {
                loadKinds();
                m_kindSavedMessage.clear();
            });
    });
    run([this] {
        m_kindFolders = m_givenKindFolders.value_or(
            rules::KindFolders::forProgram(FIniFileName, QFileInfo(m_programFilePath).path()));
        // The user's folder is made, so that it can be watched and a file dropped into it.
        QDir().mkpath(m_kindFolders.user);
        loadKinds();
    });
}

TForm1::~TForm1() = default;

void TForm1::buildActions() {
    auto makeAction = [this](const char* name, const QString& caption) {
        auto* action = new QAction(caption, this);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };

    ActionList1 = new ActionList(this);
    ActionList1->setObjectName(QStringLiteral("ActionList1"));
    const auto captionOf = [](QStringView id) { return findBuiltInKind(id)->caption; };
    SeikyouAnalysis =
        ActionList1->add(makeAction("SeikyouAnalysis", captionOf(u"coop")), kOthersCategory);
    ViewAnalysis =
        ActionList1->add(makeAction("ViewAnalysis", captionOf(u"view")), kOthersCategory);
    // The kinds' commands that その他をオフにする can switch off.
    m_switchableKindCommands = {{QStringLiteral("coop"), SeikyouAnalysis},
                                {QStringLiteral("view"), ViewAnalysis}};
    AdditionalFunctionOn = ActionList1->add(
        makeAction("AdditionalFunctionOn", QStringLiteral("AdditionalFunctionOn")));
    AdditionalFunctionOff = ActionList1->add(
        makeAction("AdditionalFunctionOff", QStringLiteral("AdditionalFunctionOff")));
    AdditionalFunctionOn->setVisible(false);
    AdditionalFunctionOff->setVisible(false);
    bindCommand(SeikyouAnalysis, &QAction::triggered, &TForm1::SeikyouAnalysisExecute);
    bindCommand(ViewAnalysis, &QAction::triggered, &TForm1::ViewAnalysisExecute);
    bindCommand(AdditionalFunctionOn, &QAction::triggered, &TForm1::AdditionalFunctionOnExecute);
    bindCommand(AdditionalFunctionOff, &QAction::triggered, &TForm1::AdditionalFunctionOffExecute);

    const QString otherFunctions = QStringLiteral("その他機能");
    ActionManager1 = new ActionManager(this);
    ActionManager1->setObjectName(QStringLiteral("ActionManager1"));
    SeikyoAnalizing = ActionManager1->add(makeAction("SeikyoAnalizing", QStringLiteral("生協解析")),
                                          otherFunctions);
    ViewAnalizing = ActionManager1->add(makeAction("ViewAnalizing", QStringLiteral("View解析")),
                                        otherFunctions);
    WindowClose1 = ActionManager1->add(makeAction("WindowClose1", QStringLiteral("閉じる(&L)")),
                                       QStringLiteral("ウィンドウ"));
    WindowClose1->setToolTip(QStringLiteral("閉じる"));
    WindowClose1->setStatusTip(QStringLiteral("閉じる"));
    WindowClose1->setEnabled(false);
    SelectAllPaste = ActionManager1->add(
        makeAction("SelectAllPaste", QStringLiteral("すべてを消去して貼り付け")));
    NewBeikoku = ActionManager1->add(makeAction("NewBeikoku", QStringLiteral("新米国テスト")));
    OpenFile = ActionManager1->add(makeAction("OpenFile", QStringLiteral("ファイルを開く…")));
    OpenFile->setShortcut(QKeySequence::Open);
    // No menu entry carries the shortcut: the window itself does.
    addAction(OpenFile);
    bindCommand(SeikyoAnalizing, &QAction::triggered, &TForm1::SeikyoAnalizingExecute);
    bindCommand(ViewAnalizing, &QAction::triggered, &TForm1::ViewAnalizingExecute);
    bindCommand(WindowClose1, &QAction::triggered, &TForm1::WindowClose1Execute);
    bindCommand(SelectAllPaste, &QAction::triggered, &TForm1::SelectAllPasteExecute);
    bindCommand(NewBeikoku, &QAction::triggered, &TForm1::NewBeikokuExecute);
    bindCommand(OpenFile, &QAction::triggered, &TForm1::OpenFileExecute);

    const ActionBar analysis{true,
                             {{SeikyoAnalizing, QStringLiteral("生協解析(&Z)")},
                              {ViewAnalizing, QStringLiteral("View解析(&V)")}}};
    ActionManager1->addBar(ActionBar{false, {}});
    ActionManager1->addBar(analysis);
    ActionManager1->addBar(analysis);
    ActionManager1->addBar(analysis);
    ActionManager1->addBar(ActionBar{true, {}});
    ActionManager1->addBar(
        ActionBar{true,
                  {{SelectAllPaste, QStringLiteral("すべてを消去して貼り付け(&Z)")},
                   {OpenFile, QStringLiteral("ファイルを開く…(&O)")}}});
}

void TForm1::buildWindow() {
    setWindowTitle(QStringLiteral("Tallemo"));
    setFont(fontOf(kUiFamilies, 9));

    // The client area under the menu bar. Its background stands for the desktop colour, which
    // Qt has no role for; black is that colour's usual value and keeps the captions readable.
    m_client = new QWidget(this);
    QPalette clientPalette = m_client->palette();
    clientPalette.setColor(QPalette::Window, Qt::black);
    m_client->setPalette(clientPalette);
    m_client->setAutoFillBackground(true);
    setCentralWidget(m_client);

    buildToolBar(m_client);

    Panel1 = new QFrame(m_client);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(1);
    auto* panelLayout = new QHBoxLayout(Panel1);
    panelLayout->setContentsMargins(0, 0, 0, 0);

    Memo1 = new QPlainTextEdit(Panel1);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setFont(fontOf(kUiFamilies, 12));
    QPalette memoPalette = Memo1->palette();
    memoPalette.setColor(QPalette::Base, Qt::black);
    memoPalette.setColor(QPalette::Text, kMemoTextColour);
    Memo1->setPalette(memoPalette);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // TAB characters arrive with pasted statements; the key moves on to the next control.
    Memo1->setTabChangesFocus(true);
    // The default one-pixel caret is hard to find on the black background.
    Memo1->setCursorWidth(2);
    Memo1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Memo1, &QPlainTextEdit::customContextMenuRequested, this, &TForm1::showTextAreaMenu);
    panelLayout->addWidget(Memo1);

    auto makeButton = [this](const char* name, const QString& caption, const QRect& geometry,
                             const QFont& font) {
        QCommandLinkButton* button = new CommandButton(caption, m_client);
        button->setObjectName(QString::fromLatin1(name));
        button->setFont(font);
        QPalette palette = button->palette();
        palette.setColor(QPalette::Active, QPalette::ButtonText, kButtonCaptionColour);
        palette.setColor(QPalette::Inactive, QPalette::ButtonText, kButtonCaptionColour);
        // The panel drawn while the button is hovered or pressed stays dark under the caption.
        palette.setColor(QPalette::Button, QColor(0x30, 0x38, 0x40));
        button->setPalette(palette);
        button->setGeometry(geometry);
        fitCaption(*button);
        return button;
    };
    const QFont rounded = fontOf(kRoundedFamilies, 15);
    const auto captionOf = [](QStringView id) { return findBuiltInKind(id)->caption; };
    Button1 = makeButton("Button1", captionOf(u"card"), {143, 548, 121, 42}, rounded);
    const QFont windowFont = fontOf(kUiFamilies, 9);
    Button2 = makeButton("Button2", QStringLiteral("テスト用"), {552, 595, 121, 33}, windowFont);
    Button3 = makeButton("Button3", QStringLiteral("貼り付け"), {8, 548, 118, 42}, rounded);
    Button4 = makeButton("Button4", QStringLiteral("スプシ表示"), {552, 548, 137, 41}, windowFont);
    Button6 = makeButton("Button6", captionOf(u"domestic"), {279, 548, 121, 42}, rounded);
    Button7 = makeButton("Button7", captionOf(u"foreign"), {410, 548, 121, 42}, rounded);
    Button2->hide();

    Label1 = new QLabel(m_client);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(windowFont);
    QPalette labelPalette = Label1->palette();
    labelPalette.setColor(QPalette::WindowText, kButtonCaptionColour);
    Label1->setPalette(labelPalette);
    Label1->setGeometry(kMessageStrip);
    Label1->setTextFormat(Qt::PlainText);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Label1->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    // Clicking the link must leave the keyboard where it was: Ctrl+Z goes to the text area.
    Label1->setFocusPolicy(Qt::NoFocus);
    // Queued: the command rewrites the strip, and may wait for the exchange rate, which must not
    // happen inside the label's own mouse handling.
    connect(Label1, &QLabel::linkActivated, this, &TForm1::followMessageLink, Qt::QueuedConnection);
    for (QWidget* widget :
         std::initializer_list<QWidget*>{Button1, Button2, Button3, Button4, Button6, Button7})
        m_bottomWidgets.emplace_back(widget, widget->geometry());

    auto connectButton = [this](QCommandLinkButton* button, void (TForm1::*handler)(QObject*)) {
        bindCommand(button, &QAbstractButton::clicked, handler);
    };
    connectButton(Button1, &TForm1::Button1Click);
    connectButton(Button2, &TForm1::Button2Click);
    connectButton(Button3, &TForm1::Button3Click);
    connectButton(Button4, &TForm1::Button4Click);
    connectButton(Button6, &TForm1::Button6Click);
    connectButton(Button7, &TForm1::NewBeikokuExecute);

    QWidget::setTabOrder(Button1, Button2);
    QWidget::setTabOrder(Button2, Button3);
    QWidget::setTabOrder(Button3, Button4);
    QWidget::setTabOrder(Button4, Button6);
    QWidget::setTabOrder(Button6, Button7);
    QWidget::setTabOrder(Button7, Memo1);

    // A file dropped on the window or the text area is opened, never inserted as its URL.
    setAcceptDrops(true);
    installEventFilter(this);
    Memo1->viewport()->installEventFilter(this);

    // The toolbar and the panel follow the window's width; the buttons keep their place.
    m_client->installEventFilter(this);
    // Smaller, the buttons and the strip would be cut off or hidden.
    m_client->setMinimumSize(kClientWidth, kClientHeight);
    m_client->resize(kClientWidth, kClientHeight);
    ActionToolBar1->setGeometry(0, 0, kClientWidth, kToolBarHeight);
    Panel1->setGeometry(0, kToolBarHeight, kClientWidth, kPanelHeight);

    // F10 opens the menu bar and Shift+F10 the text area's menu, as in other desktop programs.
    auto* openMenuBar = new QAction(this);
    openMenuBar->setShortcut(Qt::Key_F10);
    connect(openMenuBar, &QAction::triggered, this, [this] {
        if (!MainMenu1->actions().isEmpty())
            MainMenu1->setActiveAction(MainMenu1->actions().constFirst());
    });
    addAction(openMenuBar);
    auto* openTextAreaMenu = new QAction(Memo1);
    openTextAreaMenu->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10));
    openTextAreaMenu->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(openTextAreaMenu, &QAction::triggered, this,
            [this] { showTextAreaMenu(Memo1->cursorRect().bottomLeft()); });
    Memo1->addAction(openTextAreaMenu);
}

void TForm1::buildToolBar(QWidget* client) {
    ActionToolBar1 = new QToolBar(client);
    ActionToolBar1->setObjectName(QStringLiteral("ActionToolBar1"));
    ActionToolBar1->setMovable(false);
    ActionToolBar1->setFloatable(false);
    ActionToolBar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    ActionToolBar1->layout()->setSpacing(0);
    ActionToolBar1->setFont(fontOf(kUiFamilies, 9));

    // The menu bar's colour with black text, whatever the client area's background.
    const QPalette system = QApplication::palette();
    QPalette palette;
    for (const auto role : {QPalette::Window, QPalette::Button, QPalette::Light, QPalette::Midlight,
                            QPalette::Mid, QPalette::Dark, QPalette::Shadow})
        palette.setColor(role, system.color(role));
    palette.setColor(QPalette::WindowText, Qt::black);
    palette.setColor(QPalette::ButtonText, Qt::black);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, kToolBarDisabledText);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, kToolBarDisabledText);
    palette.setColor(QPalette::Highlight, Qt::white);
    palette.setColor(QPalette::HighlightedText, Qt::black);
    ActionToolBar1->setPalette(palette);
    ActionToolBar1->setAutoFillBackground(true);

    // The toolbar shows action bar 5, each item with the bar's own caption.
    const ActionBar& bar = ActionManager1->bar(5);
    for (const ActionBarItem& item : bar.items) {
        auto* button = new QToolButton(ActionToolBar1);
        button->setText(item.caption);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        QAction* action = item.action;
        connect(button, &QToolButton::clicked, action, [action] { action->trigger(); });
        QAction* slot = ActionToolBar1->addWidget(button);
        auto sync = [button, slot, action] {
            button->setEnabled(action->isEnabled());
            slot->setVisible(action->isVisible());
        };
        sync();
        connect(action, &QAction::changed, button, sync);
    }
}

void TForm1::buildMenu() {
    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));

    auto makeMenu = [this](const char* name, const QString& caption) {
        QMenu* menu = MainMenu1->addMenu(caption);
        menu->setObjectName(QString::fromLatin1(name));
        return menu;
    };
    auto makeEntry = [this](QMenu* menu, const char* name, const QString& caption) {
        auto* entry = new QAction(caption, this);
        entry->setObjectName(QString::fromLatin1(name));
        menu->addAction(entry);
        return entry;
    };
    auto connectEntry = [this](QAction* entry, void (TForm1::*handler)(QObject*)) {
        bindCommand(entry, &QAction::triggered, handler);
    };

    N8 = makeMenu("N8", QStringLiteral("その他の書式"));
    View1 = makeEntry(N8, "View1", QString());
    bindEntry(View1, ViewAnalysis, false);
    T1 = makeEntry(N8, "T1", QString());
    bindEntry(T1, SeikyouAnalysis, false);
    // The kinds of the rules files go between these two separators (rebuildRulesKindEntries).
    N8->addSeparator();
    m_rulesKindsEnd = N8->addSeparator();
    ReloadKinds = makeEntry(N8, "ReloadKinds", QStringLiteral("書式を再読み込み"));
    connectEntry(ReloadKinds, &TForm1::ReloadKindsExecute);
    KindProblems = makeEntry(N8, "KindProblems", QStringLiteral("書式ファイルの問題…"));
    connectEntry(KindProblems, &TForm1::KindProblemsExecute);
    N8->addSeparator();
    LearnKind = makeEntry(N8, "LearnKind", QStringLiteral("例から書式を作る…"));
    connectEntry(LearnKind, &TForm1::LearnKindExecute);

    CategoriesMenu = makeMenu("CategoriesMenu", QStringLiteral("分類"));
    LearnCategories =
        makeEntry(CategoriesMenu, "LearnCategories", QStringLiteral("表計算の行から覚える"));
    connectEntry(LearnCategories, &TForm1::LearnCategoriesExecute);
    FillCategories = makeEntry(CategoriesMenu, "FillCategories", QStringLiteral("分類を入れる"));
    FillCategories->setCheckable(true);
    connectEntry(FillCategories, &TForm1::FillCategoriesExecute);
    ShowCategories = makeEntry(CategoriesMenu, "ShowCategories", QStringLiteral("覚えた分類…"));
    connectEntry(ShowCategories, &TForm1::ShowCategoriesExecute);
    OpenCategoryRules =
        makeEntry(CategoriesMenu, "OpenCategoryRules", QStringLiteral("分類の規則を開く"));
    connectEntry(OpenCategoryRules, &TForm1::OpenCategoryRulesExecute);
    // Another window may have changed the setting since.
    connect(CategoriesMenu, &QMenu::aboutToShow, this, [this] {
        FillCategories->setChecked(
            ReadIniBoolean(FIniFileName, categories::kFillSection, categories::kFillKey, true));
    });

    N1 = makeMenu("N1", QStringLiteral("設定"));
    N4 = makeEntry(N1, "N4", QStringLiteral("スプシURL"));
    connectEntry(N4, &TForm1::Button8Click);
    N3 = makeEntry(N1, "N3", QStringLiteral("API設定"));
    connectEntry(N3, &TForm1::Button9Click);
    N2 = makeEntry(N1, "N2", QStringLiteral("View設定"));
    connectEntry(N2, &TForm1::Button12Click);
    N5 = makeEntry(N1, "N5", QStringLiteral("生協設定"));
    connectEntry(N5, &TForm1::Button10Click);
    // The remarks settings of the rules files' kinds go above this separator.
    m_remarkSettingsEnd = N1->addSeparator();
    NewRowsOnly = makeEntry(N1, "NewRowsOnly", QStringLiteral("コピー済みの行を除く"));
    NewRowsOnly->setCheckable(true);
    connectEntry(NewRowsOnly, &TForm1::NewRowsOnlyExecute);
    ClearHistory = makeEntry(N1, "ClearHistory", QStringLiteral("コピー履歴を消去…"));
    connectEntry(ClearHistory, &TForm1::ClearHistoryExecute);
    // Another window may have changed the setting since.
    connect(N1, &QMenu::aboutToShow, this, [this] {
        NewRowsOnly->setChecked(ReadIniBoolean(FIniFileName, kHistorySection, kNewOnlyKey, false));
    });
    N9 = makeEntry(N1, "N9", QStringLiteral("その他をオフにする"));
    bindEntry(N9, AdditionalFunctionOff, true);
    AdditionalFinctionOn1 =
        makeEntry(N1, "AdditionalFinctionOn1", QStringLiteral("その他をオンにする"));
    bindEntry(AdditionalFinctionOn1, AdditionalFunctionOn, true);

    N6 = makeMenu("N6", QStringLiteral("ヘルプ"));
    N7 = makeEntry(N6, "N7", QStringLiteral("作者ホームページ"));
    connectEntry(N7, &TForm1::N7Click);

    // The client area keeps its size below the menu bar.
    resize(kClientWidth, kClientHeight + MainMenu1->sizeHint().height());
}

template <class Sender, class Signal>
void TForm1::bindCommand(Sender* sender, Signal signal, std::function<void()> command) {
    connect(sender, signal, this, [this, command = std::move(command)] { run(command); });
}

template <class Sender, class Signal>
void TForm1::bindCommand(Sender* sender, Signal signal, void (TForm1::*handler)(QObject*)) {
    bindCommand(sender, signal, [this, sender, handler] { (this->*handler)(sender); });
}

void TForm1::run(const std::function<void()>& handler) noexcept {
    m_dispatcher->run(handler);
    takeBackFocus();
}

void TForm1::takeBackFocus() {
    // Without a window manager nobody gives the window the keyboard back when a dialog closes:
    // Alt+Z then typed "z" into the text area instead of reaching its action.
    if (!isVisible() || QApplication::activeModalWidget() != nullptr)
        return;
    if (QApplication::activeWindow() != this) {
        activateWindow();
        Memo1->setFocus(Qt::ActiveWindowFocusReason);
    } else if (focusWidget() == nullptr) {
        Memo1->setFocus(Qt::OtherFocusReason);
    }
}

WaitObserver& TForm1::waitObserver() {
    return *m_dispatcher;
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == Memo1->viewport() || watched == this) && handleFileDrop(event))
        return true;
    if (watched == m_client && event->type() == QEvent::Resize) {
        const int width = m_client->width();
        ActionToolBar1->setGeometry(0, 0, width, kToolBarHeight);
        placeMessageStrip();
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::closeEvent(QCloseEvent* event) {
    // The exchange-rate request waits in a local event loop; the window must outlive it.
    if (m_dispatcher->busy()) {
        event->ignore();
        return;
    }
    // A position that cannot be saved is shown, and the window closes all the same.
    run([this] { FormClose(this); });
    QMainWindow::closeEvent(event);
}

// NOLINTNEXTLINE(readability-make-member-function-const): it rewrites the text area
bool TForm1::convert(const std::function<void(LineModel&)>& converter) {
    QTextDocument& document = *Memo1->document();
    // The model's lines are stretches of the document's raw text itself, its breaks U+2029 (or
    // U+2028 for Shift+Enter), and its text goes back with U+2029 breaks: no CR LF copy of the
    // text is made on the way in or out.
    const QString raw = document.toRawText();
    const int revision = document.revision();
    // The raw text read above saves reading it again, unless events during the conversion (the
    // exchange-rate wait) changed the document.
    const auto update = [&](const QString& newRaw) {
        if (document.revision() == revision)
            setDocumentRawText(document, newRaw, raw);
        else
            setDocumentRawText(document, newRaw, document.toRawText());
    };
    LineModel Lines = LineModel::fromPastedText(raw);
    const QStringView paragraphBreak = u"\u2029";
    try {
        converter(Lines);
    } catch (...) {
        update(Lines.text(paragraphBreak));
        Memo1->moveCursor(QTextCursor::Start);
        throw;
    }
    const QString after = Lines.text(paragraphBreak);
    update(after);
    // Only the changed stretch was replaced: a selection in the part the texts share would
    // survive and be overwritten by the next key. As after a whole new text, nothing is selected
    // and the caret is at the start.
    Memo1->moveCursor(QTextCursor::Start);
    // A Shift+Enter break that became a paragraph break is no change of the text.
    return !std::equal(raw.begin(), raw.end(), after.begin(), after.end(), [](QChar a, QChar b) {
        return a == b || (a == QChar(0x2028) && b == QChar(0x2029));
    });
}

void TForm1::convertStatement(const std::shared_ptr<const KindRegistry>& kinds,
                              const StatementKind& kind) {
    ConversionRequest request;
    request.kinds = kinds;
    request.kind = &kind;
    request.regional = Regional::system();
    request.remark = remarkWanted(kind, FIniFileName);
    request.rate = [this](LineModel& Lines) {
        double LUSD = 0;
        double LYPD = 0;
        double LJPY = 0;
        bool succeeded = false;
        m_rateFailureReason.clear();
        GetYPD(Lines, LUSD, LYPD, LJPY, succeeded);
        return succeeded ? RateAnswer{LYPD, {}} : RateAnswer{std::nullopt, m_rateFailureReason};
    };
    request.copiedRows = ReadIniBoolean(FIniFileName, kHistorySection, kNewOnlyKey, false)
                             ? CopiedRows::LeftOut
                             : CopiedRows::Marked;
    request.history = [this] { return &historyStore(); };
    QStringList fillNotices;
    // Read again only when categories.sqlite or the rules file changed since the last command.
    request.categories = categoriesFor(
        kind, ReadIniBoolean(FIniFileName, categories::kFillSection, categories::kFillKey, true),
        m_matchers, categoriesFile(), categories::categoryRulesFileFor(FIniFileName), fillNotices);

    request.lookForExample = true;

    Conversion conversion(std::move(request));
    const bool changed = convert([&](LineModel& Lines) { conversion.run(Lines); });
    if (conversion.delivers()) {
        clipboard().setText(conversion.rowsText());
        conversion.recordDelivered();
    }
    ConversionReport report = conversion.report();
    report.textChanged = changed;
    report.fillNotices = fillNotices;
    const ConversionMessage message = describeConversion(report);
    showMessage(message.text, message.suggestion);
}

history::HistoryStore& TForm1::historyStore() {
    // Opened again when it could not be opened last time (a folder made writable since), or when
    // its file was moved aside or deleted meanwhile: the connection would still write into the old
    // one.
    if (!m_history || !m_history->isOpen() || !m_history->stillOpensItsPath())
        m_history.reset();
    if (!m_history)
        m_history = std::make_unique<history::HistoryStore>(m_historyFile, m_clock);
    else if (!m_historyNoticesUnshown)
        m_history->forgetNotices();
    m_historyNoticesUnshown = false;
    return *m_history;
}

// A statement's new rows are looked up and recorded all over a long history's file: read while
// the window is idle, its pages are in memory when the first command needs them. A history that
// does not exist yet is not made for this.
void TForm1::readHistoryAhead() {
    if (m_history || !QFileInfo::exists(m_historyFile))
        return;
    m_history = std::make_unique<history::HistoryStore>(m_historyFile, m_clock);
    m_historyNoticesUnshown = true;
    m_history->readAhead();
}

void TForm1::convertStatement(const QString& kindId) {
    // The command keeps the kinds it began with, also when the files are read again while it
    // waits for the exchange rate.
    const std::shared_ptr<const KindRegistry> kinds = m_kinds;
    const StatementKind* kind = kinds->find(kindId);
    if (kind == nullptr)
        throw AppError(QStringLiteral("明細の種類 %1 がありません").arg(kindId));
    convertStatement(kinds, *kind);
}

namespace {

// A problem as the dialog lists it: the file's name, line and column, and what is wrong.
QString problemLine(const rules::RulesProblem& problem) {
    const QString file = QFileInfo(problem.path).fileName();
    if (problem.line <= 0)
        return QStringLiteral("%1: %2").arg(file, problem.text);
    return QStringLiteral("%1 %2 行 %3 桁目: %4")
        .arg(file)
        .arg(problem.line)
        .arg(problem.column)
        .arg(problem.text);
}

// A caption as a menu entry shows it: an "&" in it is text, not an access key.
QString menuText(const QString& caption) {
    QString text = caption;
    return text.replace(u'&', QStringLiteral("&&"));
}

} // namespace

void TForm1::loadKinds() {
    rules::LoadedKinds loaded = rules::loadKinds(m_kindFolders);
    m_kinds = std::move(loaded.registry);
    m_kindProblems = std::move(loaded.problems);
    rebuildRulesKindEntries();
    watchKindFiles(loaded.files);
    if (!m_kindProblems.empty()) {
        showMessageAsItIs(kindProblemsMessage());
    } else if (!m_kindSavedMessage.isEmpty()) {
        showMessage(m_kindSavedMessage);
    } else if (!m_rulesKindEntries.isEmpty()) {
        showMessage(QStringLiteral("書式ファイルを読み込みました（%1 種類）")
                        .arg(m_rulesKindEntries.size()));
    }
}

QString TForm1::kindProblemsMessage() const {
    QStringList files;
    for (const rules::RulesProblem& problem : m_kindProblems)
        files << QFileInfo(problem.path).fileName();
    files.removeDuplicates();
    return QStringLiteral("書式ファイル %1 に問題があります（その他の書式 › 書式ファイルの問題…）")
        .arg(files.join(QStringLiteral("、")));
}

void TForm1::rebuildRulesKindEntries() {
    for (QAction* entry : std::as_const(m_rulesKindEntries)) {
        N8->removeAction(entry);
        entry->deleteLater();
    }
    for (QAction* entry : std::as_const(m_remarkSettingEntries)) {
        N1->removeAction(entry);
        entry->deleteLater();
    }
    m_rulesKindEntries.clear();
    m_remarkSettingEntries.clear();
    // The kinds without a button or entry of their own: those of the rules files, and a built-in
    // kind added later.
    for (const StatementKind& kind : m_kinds->kinds()) {
        if (kind.ownWindowElement)
            continue;
        auto* entry = new QAction(menuText(kind.caption), this);
        entry->setObjectName(QStringLiteral("kind:") + kind.id);
        entry->setStatusTip(kind.summary);
        N8->insertAction(m_rulesKindsEnd, entry);
        bindCommand(entry, &QAction::triggered, [this, id = kind.id] { convertStatement(id); });
        m_rulesKindEntries << entry;
        if (!kind.remark)
            continue;
        // Its remarks setting, as View設定 and 生協設定 are the built-in kinds'.
        auto* setting = new QAction(menuText(kind.caption + QStringLiteral("設定")), this);
        setting->setObjectName(QStringLiteral("remark:") + kind.id);
        N1->insertAction(m_remarkSettingsEnd, setting);
        bindCommand(setting, &QAction::triggered, [this, id = kind.id] { askRemark(id); });
        m_remarkSettingEntries << setting;
    }
}

void TForm1::watchKindFiles(const QStringList& files) {
    if (!m_kindsWatcher->files().isEmpty())
        m_kindsWatcher->removePaths(m_kindsWatcher->files());
    QStringList paths = files;
    for (const QString& folder : {m_kindFolders.user, m_kindFolders.shipped}) {
        if (QFileInfo(folder).isDir() && !m_kindsWatcher->directories().contains(folder))
            paths << folder;
    }
    if (!paths.isEmpty())
        m_kindsWatcher->addPaths(paths);
}

void TForm1::ReloadKindsExecute(QObject* /*Sender*/) {
    loadKinds();
    if (m_kindProblems.empty() && m_rulesKindEntries.isEmpty())
        showMessage(QStringLiteral("書式ファイルはありません（%1）").arg(m_kindFolders.user));
}

QStringList TForm1::takenKindIds() const {
    QStringList ids;
    for (const StatementKind& kind : m_kinds->kinds())
        ids << kind.id;
    // A caption that spells a command's name must not give the id the folder refuses.
    ids << rules::reservedIds();
    for (const QFileInfo& file :
         QDir(m_kindFolders.user).entryInfoList({QStringLiteral("*.toml")}, QDir::Files))
        ids << file.completeBaseName();
    return ids;
}

void TForm1::showTextAreaMenu(const QPoint& position) const {
    // The editor's own entries, in the desktop's language, then learning from the selection.
    const std::unique_ptr<QMenu> menu(Memo1->createStandardContextMenu(position));
    menu->addSeparator();
    menu->addAction(LearnKind);
    menu->exec(Memo1->viewport()->mapToGlobal(position));
}

void TForm1::LearnKindExecute(QObject* /*Sender*/) {
    const QTextCursor cursor = Memo1->textCursor();
    if (!cursor.hasSelection()) {
        showInformation(*m_dialogs, this,
                        QStringLiteral("例にする明細の 1 件分の行を選んでから、もう一度"
                                       "「例から書式を作る…」を選んでください"));
        return;
    }
    const QTextDocument& document = *Memo1->document();
    const QStringList lines = selectedWholeLines(cursor);
    LearnDialog dialog(this, *m_dialogs, lines, documentText(document), takenKindIds(),
                       m_kindFolders.user);
    m_kindSavedMessage.clear();
    if (!m_dialogs->runLearnDialog(dialog))
        return;
    loadKinds();
    const StatementKind* kind = m_kinds->find(QFileInfo(dialog.savedPath()).completeBaseName());
    if (kind != nullptr) {
        m_kindSavedMessage = QStringLiteral("書式「%1」を保存しました: %2")
                                 .arg(kind->caption, QDir::toNativeSeparators(dialog.savedPath()));
        showMessage(m_kindSavedMessage);
    }
}

void TForm1::KindProblemsExecute(QObject* /*Sender*/) {
    QStringList problems;
    for (const rules::RulesProblem& problem : m_kindProblems)
        problems << problemLine(problem);
    const QString folder = QDir::toNativeSeparators(m_kindFolders.user);
    if (m_dialogs->show(this, rulesProblemsRequest(problems, folder)).button == 1) {
        QDir().mkpath(m_kindFolders.user);
        m_openUrl(QUrl::fromLocalFile(m_kindFolders.user));
    }
    // The strip keeps saying which files are still broken once the dialog is closed.
    if (!m_kindProblems.empty())
        showMessageAsItIs(kindProblemsMessage());
}

void TForm1::NewRowsOnlyExecute(QObject* /*Sender*/) {
    WriteIniBoolean(FIniFileName, kHistorySection, kNewOnlyKey, NewRowsOnly->isChecked());
    showMessage(NewRowsOnly->isChecked()
                    ? QStringLiteral("コピー済みの行はクリップボードに入れません")
                    : QStringLiteral("すべての行をクリップボードに入れます"));
}

void TForm1::ClearHistoryExecute(QObject* /*Sender*/) {
    if (!askDestructiveConfirmation(
            *m_dialogs, this,
            QStringLiteral("コピー履歴を消去しますか?\n"
                           "どの行をコピーしたかを忘れます。元に戻せません。"))) {
        showMessage(QStringLiteral("コピー履歴はそのままです"));
        return;
    }
    history::HistoryStore store(m_historyFile, m_clock, {.createMissing = false});
    QStringList sentences;
    if (store.isOpen() && store.clear())
        sentences << QStringLiteral("コピー履歴を消去しました");
    else if (!QFileInfo::exists(m_historyFile))
        sentences << QStringLiteral("コピー履歴はありません");
    sentences << store.notices();
    showMessage(sentences.join(QStringLiteral("。")));
}

QString TForm1::categoriesFile() const {
    return QFileInfo(m_historyFile).absolutePath() + QStringLiteral("/categories.sqlite");
}

// Learns from the text area's rows; the text area and the clipboard stay as they are.
void TForm1::LearnCategoriesExecute(QObject* /*Sender*/) {
    const categories::SheetReading reading =
        categories::readSheet(documentText(*Memo1->document()));
    categories::CategoryStore store(categoriesFile(), m_clock);
    const std::optional<categories::LearningCounts> counts = store.learn(reading);
    m_matchers.forget();
    QStringList sentences;
    if (counts)
        sentences << categories::learningMessage(*counts);
    sentences << store.notices();
    showMessage(sentences.join(QStringLiteral("。")));
}

void TForm1::FillCategoriesExecute(QObject* /*Sender*/) {
    WriteIniBoolean(FIniFileName, categories::kFillSection, categories::kFillKey,
                    FillCategories->isChecked());
    showMessage(FillCategories->isChecked() ? QStringLiteral("変換した行に分類を入れます")
                                            : QStringLiteral("変換した行に分類を入れません"));
}

void TForm1::ShowCategoriesExecute(QObject* /*Sender*/) {
    CategoriesDialog dialog(this, categoriesFile(), m_clock);
    m_dialogs->runCategoriesDialog(dialog);
    m_matchers.forget();
    if (!dialog.notices().isEmpty())
        showMessage(dialog.notices().join(QStringLiteral("。")));
}

// Opens categories.toml in the desktop's editor, made first with a commented example.
void TForm1::OpenCategoryRulesExecute(QObject* /*Sender*/) {
    const QString path = categories::categoryRulesFileFor(FIniFileName);
    if (!QFileInfo::exists(path)) {
        QFile file(path);
        if (!QDir().mkpath(QFileInfo(path).absolutePath()) ||
            !file.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
            file.write(categories::categoryRulesTemplate()) < 0) {
            showMessage(QStringLiteral("分類の規則 %1 を作れませんでした（%2）")
                            .arg(path, file.errorString()));
            return;
        }
    }
    m_openUrl(QUrl::fromLocalFile(path));
    showMessage(QStringLiteral("分類の規則 %1 を開きました").arg(path));
}

void TForm1::showMessage(const QString& message) {
    showMessage(message, std::nullopt);
}

void TForm1::showMessage(const QString& message, const std::optional<KindMention>& suggestion) {
    // While a rules file is broken, every command says so: its kinds are missing from the menu.
    if (!message.isEmpty() && !m_kindProblems.empty())
        showMessageAsItIs(message + QStringLiteral("（書式ファイルに問題があります）"), suggestion);
    else
        showMessageAsItIs(message, suggestion);
}

void TForm1::showMessageAsItIs(const QString& message,
                               const std::optional<KindMention>& suggestion) {
    m_message = message;
    m_messageLink = suggestion;
    if (Label1 == nullptr)
        return;
    placeMessageStrip();
    Label1->setAccessibleName(message);
}

bool TForm1::kindCommandEnabled(const QString& kindId) const {
    if (const QAction* command = m_switchableKindCommands.value(kindId))
        return command->isEnabled();
    return m_kinds->find(kindId) != nullptr;
}

void TForm1::followMessageLink(const QString& link) {
    if (!link.startsWith(kKindLinkScheme))
        return;
    const QString kindId = link.mid(kKindLinkScheme.size());
    // The same command as the kind's button or menu entry, which does nothing while it is off.
    if (kindCommandEnabled(kindId))
        run([this, kindId] { convertStatement(kindId); });
}

namespace {

// A stretch of the message that the strip shows as one line, and what follows it there ("…"
// where the rest was cut).
struct StripLine {
    qsizetype from = 0;
    qsizetype length = 0;
    QString tail;
};

// The stretch from..to without the blanks at its ends, as QString::trimmed leaves it.
StripLine trimmedStretch(const QString& text, qsizetype from, qsizetype to) {
    while (from < to && text[from].isSpace())
        ++from;
    while (to > from && text[to - 1].isSpace())
        --to;
    return {from, to - from, {}};
}

QString plainStrip(const QString& text, const std::vector<StripLine>& lines) {
    QStringList shown;
    for (const StripLine& line : lines)
        shown << text.mid(line.from, line.length) + line.tail;
    return shown.join(u'\n');
}

// The same lines as rich text, with the mentioned caption (or what of it is shown) as a link to
// its kind. Everything else is escaped: a caption or a file name is text, never markup.
QString richStrip(const QString& text, const std::vector<StripLine>& lines,
                  const KindMention& link) {
    const auto escaped = [&text](qsizetype from, qsizetype to) {
        return text.mid(from, to - from).toHtmlEscaped();
    };
    // The colour in the link itself: the rich text takes links' colour from the application's
    // palette, whose blue is hard to read on black.
    const QString anchor =
        QStringLiteral("<a href=\"%1\" style=\"color:%2\">")
            .arg((kKindLinkScheme + link.kindId).toHtmlEscaped(), kMemoTextColour.name());
    QStringList shown;
    for (const StripLine& line : lines) {
        const qsizetype end = line.from + line.length;
        const qsizetype linkFrom = std::max(line.from, link.at);
        const qsizetype linkTo = std::min(end, link.at + link.length);
        QString html;
        if (linkFrom < linkTo)
            html = escaped(line.from, linkFrom) + anchor + escaped(linkFrom, linkTo) +
                   QStringLiteral("</a>") + escaped(linkTo, end);
        else
            html = escaped(line.from, end);
        shown << html + line.tail.toHtmlEscaped();
    }
    return QStringLiteral("<span style=\"white-space:pre\">%1</span>")
        .arg(shown.join(QStringLiteral("<br>")));
}

} // namespace

void TForm1::placeMessageStrip() {
    const int width = m_client->width();
    const int stripWidth = width - 2 * kMessageStrip.x();
    const QFontMetrics metrics = Label1->fontMetrics();
    const QString oneLine = QString(m_message).replace(u'\n', u' ');
    std::vector<StripLine> lines{{0, oneLine.size(), {}}};
    int extraHeight = 0;
    if (metrics.horizontalAdvance(oneLine) > stripWidth) {
        // The line breaks where the text may break (anywhere between Japanese characters),
        // and what does not fit on the second line either is cut with "…".
        QTextLayout layout(oneLine, Label1->font());
        layout.beginLayout();
        QTextLine first = layout.createLine();
        first.setLineWidth(stripWidth);
        const qsizetype firstLength =
            std::min<qsizetype>(std::max<qsizetype>(1, first.textLength()), oneLine.size());
        layout.endLayout();
        StripLine second = trimmedStretch(oneLine, firstLength, oneLine.size());
        const QString rest = oneLine.mid(second.from, second.length);
        const QString elided = metrics.elidedText(rest, Qt::ElideRight, stripWidth);
        if (elided != rest) {
            // What is left of the message before the "…"; the ellipsis is the strip's own.
            const QString kept = elided.endsWith(u'…') ? elided.chopped(1) : QString();
            if (!kept.isEmpty() && rest.startsWith(kept))
                second = {second.from, kept.size(), QStringLiteral("…")};
            else
                second = {second.from, 0, elided};
        }
        lines = {trimmedStretch(oneLine, 0, firstLength), second};
        extraHeight = metrics.lineSpacing();
    }
    Panel1->setGeometry(0, kToolBarHeight, width, kPanelHeight - extraHeight);
    for (const auto& [widget, place] : m_bottomWidgets)
        widget->setGeometry(place.translated(0, -extraHeight));
    Label1->setGeometry(kMessageStrip.x(), kMessageStrip.y() - extraHeight, stripWidth,
                        kMessageStrip.height() + extraHeight);
    // A link only where the message still names the kind and its command can run; else the
    // plain text as ever.
    const bool linked = m_messageLink && m_messageLink->length > 0 && m_messageLink->at >= 0 &&
                        m_messageLink->at + m_messageLink->length <= oneLine.size() &&
                        kindCommandEnabled(m_messageLink->kindId);
    if (linked) {
        Label1->setTextFormat(Qt::RichText);
        Label1->setText(richStrip(oneLine, lines, *m_messageLink));
    } else {
        Label1->setTextFormat(Qt::PlainText);
        Label1->setText(plainStrip(oneLine, lines));
    }
    Label1->setToolTip(extraHeight == 0 ? QString() : m_message);
}

namespace {

// What a paste command says: how many lines the text area took in.
QString pasteMessage(const QString& pasted) {
    if (pasted.isEmpty())
        return QStringLiteral("クリップボードにテキストがありません");
    return QStringLiteral("%1 行を貼り付けました").arg(pastedLineCount(pasted));
}

} // namespace

void TForm1::Button3Click(QObject* /*Sender*/) {
    const QString T = clipboard().text();
    QTextCursor cursor = Memo1->textCursor();
    replaceSelection(cursor, T);
    Memo1->setTextCursor(cursor);
    showMessage(pasteMessage(T));
}

void TForm1::SelectAllPasteExecute(QObject* /*Sender*/) {
    const QString T = clipboard().text();
    setDocumentText(*Memo1->document(), T);
    // Nothing of an earlier selection survives in the part the texts share; the caret ends up
    // after the pasted text, as after a paste.
    Memo1->moveCursor(QTextCursor::End);
    showMessage(pasteMessage(T));
}

void TForm1::Button1Click(QObject* /*Sender*/) {
    convertStatement(QStringLiteral("card"));
}

void TForm1::Button6Click(QObject* /*Sender*/) {
    convertStatement(QStringLiteral("domestic"));
}

void TForm1::NewBeikokuExecute(QObject* /*Sender*/) {
    convertStatement(QStringLiteral("foreign"));
}

void TForm1::ViewAnalysisExecute(QObject* /*Sender*/) {
    convertStatement(QStringLiteral("view"));
}

void TForm1::SeikyouAnalysisExecute(QObject* /*Sender*/) {
    convertStatement(QStringLiteral("coop"));
}

void TForm1::SeikyoAnalizingExecute(QObject* Sender) {
    SeikyouAnalysisExecute(Sender);
}

void TForm1::Button2Click(QObject* /*Sender*/) {
    const Regional regional = Regional::system();
    convert([&](LineModel& Lines) { ratesAnswerTest(Lines, regional); });
}

void TForm1::ViewAnalizingExecute(QObject* /*Sender*/) {}

void TForm1::WindowClose1Execute(QObject* /*Sender*/) {}

void TForm1::editSetting(const QString& section, const QString& key, const QString& title,
                         const QString& prompt) {
    QString ADefault = ReadIniString(FIniFileName, section, key, QString());
    ADefault = inputBox(*m_dialogs, this, title, prompt, ADefault);
    WriteIniString(FIniFileName, section, key, ADefault);
    showMessage(QStringLiteral("設定を保存しました"));
}

void TForm1::Button8Click(QObject* /*Sender*/) {
    editSetting(QStringLiteral("Spsheet"), QStringLiteral("URL"),
                QStringLiteral("スプシURLを入力して下さい"), QStringLiteral("スプシURL"));
}

void TForm1::Button9Click(QObject* /*Sender*/) {
    editSetting(QStringLiteral("exchangeratesapi"), QStringLiteral("APIKey"),
                QStringLiteral("API Keyを入力して下さい"), QStringLiteral("API Key"));
}

void TForm1::askRemark(const StatementKind& kind) {
    if (askConfirmation(*m_dialogs, this, remarkQuestion(kind))) {
        showInformation(*m_dialogs, this, remarkInformation(kind));
        WriteIniBoolean(FIniFileName, kind.remark->section, kind.remark->key, true);
    } else {
        WriteIniBoolean(FIniFileName, kind.remark->section, kind.remark->key, false);
    }
    showMessage(QStringLiteral("設定を保存しました"));
}

void TForm1::askRemark(const QString& kindId) {
    // The kinds as they are now: the setting's place and texts are the kind's own.
    const std::shared_ptr<const KindRegistry> kinds = m_kinds;
    const StatementKind* kind = kinds->find(kindId);
    if (kind == nullptr || !kind->remark)
        throw AppError(QStringLiteral("明細の種類 %1 がありません").arg(kindId));
    askRemark(*kind);
}

void TForm1::Button12Click(QObject* /*Sender*/) {
    askRemark(QStringLiteral("view"));
}

void TForm1::Button10Click(QObject* /*Sender*/) {
    askRemark(QStringLiteral("coop"));
}

// The stored text goes to the desktop as it is: QUrl's tolerant parsing keeps it unless it cannot
// be a URL at all, and a text without a scheme stays a relative reference (a path), as typed.
void TForm1::Button4Click(QObject* /*Sender*/) {
    const QString FSpsheet =
        ReadIniString(FIniFileName, QStringLiteral("Spsheet"), QStringLiteral("URL"), QString());
    if (FSpsheet.isEmpty()) {
        showMessage(QStringLiteral("スプシURLが設定されていません（設定 › スプシURL）"));
        return;
    }
    m_openUrl(QUrl(FSpsheet));
    showMessage(QStringLiteral("スプシを開いています"));
}

void TForm1::N7Click(QObject* /*Sender*/) {
    const QUrl FURL = helpPageUrl(m_programFilePath, QUrl(kAuthorHomePage));
    m_openUrl(FURL);
    showMessage(QStringLiteral("ヘルプを開いています"));
}

// NOLINTNEXTLINE(readability-make-member-function-const): it switches the window's actions
void TForm1::setOthersEnabled(bool enabled) {
    for (int i = 0; i < ActionList1->actionCount(); ++i) {
        const QString Str = ActionList1->category(i);
        if (Str == kOthersCategory)
            ActionList1->action(i)->setEnabled(enabled);
    }
}

void TForm1::AdditionalFunctionOffExecute(QObject* /*Sender*/) {
    setOthersEnabled(false);
}

void TForm1::AdditionalFunctionOnExecute(QObject* /*Sender*/) {
    setOthersEnabled(true);
}

void TForm1::FormCreate(QObject* /*Sender*/) {
    FIniFileName = settingsFileNameFor(iniFileNameFor(m_programFilePath));
    m_historyFile = m_givenHistoryFile.value_or(
        history::historyFileFor(FIniFileName, QFileInfo(m_programFilePath).absolutePath()));
    NewRowsOnly->setChecked(ReadIniBoolean(FIniFileName, kHistorySection, kNewOnlyKey, false));
    FillCategories->setChecked(
        ReadIniBoolean(FIniFileName, categories::kFillSection, categories::kFillKey, true));
    WindowPosition position(*this);
    ReadIniPosition(FIniFileName, QStringLiteral("Ap"), QStringLiteral("MainForm"), position);
}

void TForm1::FormClose(QObject* /*Sender*/) {
    const WindowPosition position(*this);
    WriteIniPosition(FIniFileName, QStringLiteral("Ap"), QStringLiteral("MainForm"), position);
}

int TForm1::MyAnsiPosEx(const QString& Str, const QString& St, int n) {
    return ::tallemo::MyAnsiPosEx(Str, St, n);
}

double TForm1::GetYPD(LineModel& Lines, double& LUSD, double& LYPD, double& LJPY, bool& succeeded) {
    const RateFetch fetch = fetchYenPerDollar(FIniFileName, Lines, *m_transport);
    if (fetch.LJPY)
        LJPY = *fetch.LJPY;
    if (fetch.LUSD)
        LUSD = *fetch.LUSD;
    if (fetch.yenPerDollar)
        LYPD = *fetch.yenPerDollar;
    succeeded = fetch.succeeded();
    m_rateFailureReason = fetch.failureReason;
    return fetch.yenPerDollar.value_or(0);
}

} // namespace tallemo
