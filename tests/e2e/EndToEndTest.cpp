// Tallemo used as a person uses it: the real program in a real X session, statements put on the
// X clipboard, buttons clicked with the mouse, rows read back from the clipboard byte for byte.
#include "XSession.h"
#include "support/Notation.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <httplib.h>

#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr int kClientHeight = 611;

// Centres of the elements in the window's client area (below the menu bar).
struct Point {
    int x, y;
};
constexpr Point kClearAndPaste{40, 12}; // the toolbar's first button
constexpr Point kCardButton{143 + 60, 548 + 21};
constexpr Point kDomesticButton{279 + 60, 548 + 21};
constexpr Point kForeignButton{410 + 60, 548 + 21};
constexpr Point kTextArea{300, 200};
constexpr Point kOtherFormatsMenu{30, -10}; // on the menu bar, above the client area

QString japaneseDateText() {
    return QLocale(QLocale::Japanese, QLocale::Japan)
        .toString(QDate::currentDate(), QLocale::ShortFormat);
}

class RunningTallemo {
public:
    RunningTallemo(const RunningTallemo&) = delete;
    RunningTallemo& operator=(const RunningTallemo&) = delete;
    RunningTallemo(const XSession& x, const QString& folder) : m_x(x) {
        QProcessEnvironment env = x.environment();
        env.insert(QStringLiteral("LANG"), QStringLiteral("ja_JP.UTF-8"));
        env.remove(QStringLiteral("LC_ALL"));
        env.insert(QStringLiteral("LSAN_OPTIONS"),
                   QStringLiteral("suppressions=%1:print_suppressions=0")
                       .arg(QStringLiteral(TALLEMO_LSAN_SUPPRESSIONS)));
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
        m_process.start(folder + QStringLiteral("/Tallemo"), {});
        m_window = x.waitForWindow(QStringLiteral("Tallemo"), 60s);
        if (!m_window.isEmpty()) {
            const XSession::Geometry g = x.geometry(m_window);
            m_menuBarHeight = g.height - kClientHeight;
        }
    }
    ~RunningTallemo() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    bool hasWindow() const { return !m_window.isEmpty(); }
    const QString& window() const { return m_window; }

    void click(Point p) const { m_x.click(m_window, p.x, m_menuBarHeight + p.y); }

    // The text area's text, as the X primary selection holds it after "select all".
    QByteArray textArea() const {
        click(kTextArea);
        m_x.key(QStringLiteral("ctrl+a"));
        return m_x.primarySelection();
    }

    void pasteStatement(const QByteArray& statement) const {
        m_x.setClipboard(statement);
        click(kClearAndPaste);
        QByteArray expected = statement;
        expected.replace("\r\n", "\n");
        ASSERT_TRUE(waitUntil([&] { return textArea().startsWith(expected.trimmed()); }, 20s))
            << "the statement never reached the text area";
    }

    bool close() {
        m_x.requestClose(m_window);
        return m_process.waitForFinished(30000) && m_process.exitStatus() == QProcess::NormalExit;
    }

private:
    const XSession& m_x;
    QProcess m_process;
    QString m_window;
    int m_menuBarHeight = 0;
};

class EndToEnd : public testing::Test {
protected:
    static void SetUpTestSuite() { s_x = new XSession(); }
    static void TearDownTestSuite() {
        delete s_x;
        s_x = nullptr;
    }

    void SetUp() override {
        if (!s_x->isRunning())
            GTEST_SKIP() << "Xvfb could not be started";
        ASSERT_TRUE(m_folder.isValid());
        // The settings file lives beside the program, so a copy of the program in a fresh folder
        // starts with fresh settings.
        ASSERT_TRUE(
            QFile::copy(QStringLiteral(TALLEMO_EXE), m_folder.filePath(QStringLiteral("Tallemo"))));
        QFile::setPermissions(m_folder.filePath(QStringLiteral("Tallemo")),
                              QFile::ExeOwner | QFile::ReadOwner | QFile::WriteOwner);
    }

    void writeSettings(const QByteArray& ini) const {
        QFile file(m_folder.filePath(QStringLiteral("Tallemo.ini")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(ini);
    }
    QByteArray settings() const {
        QFile file(m_folder.filePath(QStringLiteral("Tallemo.ini")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void expectClipboard(const QByteArray& expected) const {
        QByteArray last;
        EXPECT_TRUE(waitUntil(
            [&] {
                last = s_x->clipboard();
                return last == expected;
            },
            20s))
            << "clipboard:\n"
            << last.toStdString() << "\nexpected:\n"
            << expected.toStdString();
    }

    void saveScreenshot(const RunningTallemo& app, const QString& name) const {
        QDir().mkpath(QStringLiteral(TALLEMO_E2E_ARTIFACTS));
        s_x->run(QStringLiteral("import"), {QStringLiteral("-window"), app.window(),
                                            QStringLiteral(TALLEMO_E2E_ARTIFACTS "/") + name});
    }

    // The screen around the window, with what opens over it (a menu is a window of its own).
    void saveScreenScreenshot(const RunningTallemo& app, const QString& name) const {
        QDir().mkpath(QStringLiteral(TALLEMO_E2E_ARTIFACTS));
        const XSession::Geometry g = s_x->geometry(app.window());
        s_x->run(QStringLiteral("import"),
                 {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("-crop"),
                  QStringLiteral("%1x%2+%3+%4").arg(g.width).arg(g.height).arg(g.x).arg(g.y),
                  QStringLiteral(TALLEMO_E2E_ARTIFACTS "/") + name});
    }

    static XSession* s_x;
    QTemporaryDir m_folder;
};

XSession* EndToEnd::s_x = nullptr;

TEST_F(EndToEnd, ConvertsCardDomesticAndViewStatementsThroughTheClipboard) {
    writeSettings("[View]\nSuica=1\n");
    RunningTallemo app(*s_x, m_folder.path());
    ASSERT_TRUE(app.hasWindow());

    app.pasteStatement(
        tallemo::notation::bytes("HEADER|2024/11/03→SAMPLE STORE→1,500 円|支払方法→1回払い|BBB|CCC|"
                                 "2024/11/05→SAMPLE CAFE→480 円|支払方法→1回払い|BBB|CCC|FOOTER"));
    app.click(kCardButton);
    expectClipboard(
        tallemo::notation::bytes("2024/11/03→SAMPLE STORE→→→1,500|2024/11/05→SAMPLE CAFE→→→480|"));
    saveScreenshot(app, QStringLiteral("after-card-conversion.png"));

    app.pasteStatement(
        "配当金のお知らせ\r\n銘柄名　　　　　　：サンプル工業\r\n数量　　　　　　　：100株\r\n"
        "入金額　　　　　　：1,"
        "500円\r\n銘柄名　　　　　　：見本電機\r\n入金額　　　　　　：820円\r\n");
    const QByteArray date = japaneseDateText().toUtf8();
    app.click(kDomesticButton);
    expectClipboard(date + "\t配当国内\tサンプル工業\t\t-1,500\r\n" + date +
                    "\t配当国内\t見本電機\t\t-820\r\n");

    app.pasteStatement(tallemo::notation::bytes(
        "USAGE|2024|12/01xx→CAFE→REF|1,500|2024|12/03xx→BOOKS→REF|-980|END"));
    app.click(kOtherFormatsMenu);
    s_x->key(QStringLiteral("Down"));
    s_x->key(QStringLiteral("Return"));
    expectClipboard(
        tallemo::notation::bytes("2024/12/01→CAFE→→→1,500→Suica|2024/12/03→BOOKS→→→-980→Suica|"));
}

TEST_F(EndToEnd, ConvertsForeignDividendsAtTheServicesRateAndKeepsTheClipboardWhenItFails) {
    httplib::Server server;
    server.Get("/v1/latest", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(R"({"success":true,"base":"EUR","rates":{"JPY":161.80,"USD":1.04}})",
                             "application/json");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread serving([&] { server.listen_after_bind(); });
    writeSettings(QByteArray("[exchangeratesapi]\nAPIKey=KEY123\nBaseURL=http://127.0.0.1:") +
                  QByteArray::number(port) + "/v1\n");

    RunningTallemo app(*s_x, m_folder.path());
    ASSERT_TRUE(app.hasWindow());
    app.pasteStatement(tallemo::notation::bytes(
        "見本ホールディングス|数量 200株|1株あたり 0.50|入金額 100.00 USD|"
        "サンプル・コーポレーション|数量 400株|1株あたり 0.25|入金額 100.00 USD"));
    const QByteArray date = japaneseDateText().toUtf8();
    const QByteArray rows = date + "\t配当米国\t見本ホールディングス\t\t-15558\t155.6\r\n" + date +
                            "\t配当米国\tサンプル・コーポレーション\t\t-15560\t155.6\r\n";
    app.click(kForeignButton);
    expectClipboard(rows);
    EXPECT_TRUE(app.textArea().contains(
        R"({"success":true,"base":"EUR","rates":{"JPY":161.80,"USD":1.04}})"));

    server.stop();
    serving.join();
    app.click(kForeignButton);
    EXPECT_TRUE(waitUntil(
        [&] { return app.textArea().trimmed().endsWith("ExchangeRates API の実行に失敗しました"); },
        30s));
    EXPECT_EQ(s_x->clipboard(), rows);
}

TEST_F(EndToEnd, AKindDroppedIntoTheKindsFolderOfARunningWindowConvertsFromItsMenuEntry) {
    RunningTallemo app(*s_x, m_folder.path());
    ASSERT_TRUE(app.hasWindow());
    // The window makes its kinds folder beside the settings file and watches it.
    const QString kinds = m_folder.filePath(QStringLiteral("kinds"));
    ASSERT_TRUE(waitUntil([&] { return QFileInfo(kinds).isDir(); }, 10s));
    QFile file(kinds + QStringLiteral("/totals.toml"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("id = 'totals'\ncaption = '合計行'\n"
               "entry = ['(?P<date>\\S+) total (?P<amount>.+)']\n"
               "row = ['{date|date}', 'TOTAL', '{amount|yen}']\n");
    file.close();
    // The folder is read again once it has been quiet for a moment.
    std::this_thread::sleep_for(1500ms);

    app.pasteStatement(
        tallemo::notation::bytes("明細|2024/11/03 total 1,500円|2024/11/04 total ２０円"));
    app.click(kOtherFormatsMenu);
    // View, 生協, then (past the separator) the new kind.
    for (int i = 0; i < 3; ++i)
        s_x->key(QStringLiteral("Down"));
    s_x->run(QStringLiteral("import"),
             {QStringLiteral("-window"), QStringLiteral("root"),
              QStringLiteral(TALLEMO_E2E_ARTIFACTS "/rules-kind-menu.png")});
    s_x->key(QStringLiteral("Return"));
    expectClipboard(tallemo::notation::bytes("2024/11/03→TOTAL→1500|2024/11/04→TOTAL→20|"));
}

// A Shift_JIS CSV opened with Ctrl+O through the real file dialog, then converted by its kind.
TEST_F(EndToEnd, AShiftJisFileOpenedWithCtrlOConvertsFromItsKindsMenuEntry) {
    const QString kinds = m_folder.filePath(QStringLiteral("kinds"));
    ASSERT_TRUE(QDir().mkpath(kinds));
    ASSERT_TRUE(QFile::copy(QStringLiteral(TALLEMO_SHIPPED_KINDS_DIR "/vpass-csv.toml"),
                            kinds + QStringLiteral("/vpass-csv.toml")));
    const QString fixture =
        QStringLiteral(TALLEMO_FIXTURES_DIR "/vpass-csv/two-cards-with-holder-and-total-lines");
    const QString statement = m_folder.filePath(QStringLiteral("statement.csv"));
    ASSERT_TRUE(QFile::copy(fixture + QStringLiteral(".txt"), statement));
    QFile rows(fixture + QStringLiteral(".rows"));
    ASSERT_TRUE(rows.open(QIODevice::ReadOnly));

    RunningTallemo app(*s_x, m_folder.path());
    ASSERT_TRUE(app.hasWindow());
    app.click(kTextArea);
    s_x->key(QStringLiteral("ctrl+o"));
    // The dialog's title is not one xdotool can search for by name: give it time to appear.
    std::this_thread::sleep_for(3s);
    // The dialog's file name field has the focus.
    s_x->run(QStringLiteral("xdotool"),
             {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), statement});
    s_x->key(QStringLiteral("Return"));
    ASSERT_TRUE(waitUntil([&] { return app.textArea().contains("ＡＭＡＺＯＮ．ＣＯ．ＪＰ"); }, 20s))
        << "the file never reached the text area";
    saveScreenshot(app, QStringLiteral("after-opening-a-shift-jis-file.png"));

    app.click(kOtherFormatsMenu);
    // View, 生協, then (past the separator) the file's kind.
    for (int i = 0; i < 3; ++i)
        s_x->key(QStringLiteral("Down"));
    s_x->key(QStringLiteral("Return"));
    expectClipboard(rows.readAll());
}

TEST_F(EndToEnd, AKindLearnedFromASelectedEntryConvertsFromItsNewMenuEntry) {
    RunningTallemo app(*s_x, m_folder.path());
    ASSERT_TRUE(app.hasWindow());
    app.pasteStatement(tallemo::notation::bytes(
        "お知らせ|■利用日: 2024/11/03|■利用先: SAMPLE STORE|■利用金額: 1,500 円||"
        "■利用日: 2024/11/04|■利用先: 喫茶 サンプル|■利用金額: 480 円||以上"));
    // The first entry's three lines, selected from the keyboard.
    app.click(kTextArea);
    for (const char* key : {"ctrl+Home", "Down", "shift+Down", "shift+Down", "shift+Down"})
        s_x->key(QString::fromLatin1(key));
    // その他の書式 › 例から書式を作る…, the menu's last entry; the proposal is saved as it is.
    app.click(kOtherFormatsMenu);
    s_x->key(QStringLiteral("Up"));
    s_x->key(QStringLiteral("Return"));
    const QString saved = m_folder.filePath(QStringLiteral("kinds/kind-1.toml"));
    std::this_thread::sleep_for(1500ms);
    s_x->run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                        QStringLiteral(TALLEMO_E2E_ARTIFACTS "/learn-dialog.png")});
    s_x->key(QStringLiteral("Return"));
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(saved); }, 20s));

    // View, 生協, then (past the separator) the new kind.
    app.click(kOtherFormatsMenu);
    for (int i = 0; i < 3; ++i)
        s_x->key(QStringLiteral("Down"));
    s_x->key(QStringLiteral("Return"));
    expectClipboard(
        tallemo::notation::bytes("2024/11/03→SAMPLE STORE→→→1500|2024/11/04→喫茶 サンプル→→→480|"));
}

// The categories as a user meets them: spreadsheet rows pasted and learned from (分類 ›
// 表計算の行から覚える), then a card statement whose rows come out with the learned cells, in the
// text area and on the clipboard.
TEST_F(EndToEnd, CategoriesLearnedFromSpreadsheetRowsFillTheNextCardStatement) {
    RunningTallemo app(*s_x, m_folder.path());
    ASSERT_TRUE(app.hasWindow());
    app.pasteStatement(tallemo::notation::bytes("日付→内容→大分類→小分類→金額|"
                                                "2024/10/01→ｾﾌﾞﾝ-ｲﾚﾌﾞﾝ 渋谷→食費→コンビニ→540|"
                                                "2024/10/09→セブン－イレブン　町田店→食費→コンビニ→"
                                                "320|2024/10/12→ＢＯＯＫ ＳＨＯＰ 12→教養→書籍→"
                                                "1,200|2024/10/15→ＥＮＥＯＳ 町田SS→車→ガソリン→"
                                                "4,800|2024/10/20→AMAZON.CO.JP→日用品→通販→"
                                                "2,180|2024/10/27→東京電力→水道光熱費→電気→"
                                                "6,240|"));
    // 分類 is the menu after その他の書式; its first entry learns from the text area.
    app.click(kTextArea);
    s_x->key(QStringLiteral("ctrl+Home"));
    app.click(kOtherFormatsMenu);
    s_x->key(QStringLiteral("Right"));
    std::this_thread::sleep_for(500ms);
    saveScreenScreenshot(app, QStringLiteral("categories-menu.png"));
    s_x->key(QStringLiteral("Return"));
    ASSERT_TRUE(waitUntil(
        [&] { return QFileInfo::exists(m_folder.filePath(QStringLiteral("categories.sqlite"))); },
        10s))
        << "nothing was learned";
    // The file is there before the window has shown the message.
    std::this_thread::sleep_for(1000ms);
    saveScreenshot(app, QStringLiteral("categories-learned.png"));

    // 分類 › 覚えた分類…, the third entry: the learned descriptions in a table.
    app.click(kOtherFormatsMenu);
    for (const char* key : {"Right", "Down", "Down", "Return"})
        s_x->key(QString::fromLatin1(key));
    // The dialog is the visible window besides the main one (its Japanese title is no pattern
    // xdotool's search matches).
    QString dialog;
    ASSERT_TRUE(waitUntil(
        [&] {
            const QByteArray out =
                s_x->run(QStringLiteral("xdotool"),
                         {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                          QStringLiteral("--name"), QStringLiteral(".")});
            for (const QString& id : QString::fromLatin1(out).split(u'\n', Qt::SkipEmptyParts)) {
                if (id != app.window())
                    dialog = id;
            }
            return !dialog.isEmpty();
        },
        20s))
        << "the learned categories dialog did not open";
    std::this_thread::sleep_for(1000ms);
    s_x->run(QStringLiteral("import"),
             {QStringLiteral("-window"), dialog,
              QStringLiteral(TALLEMO_E2E_ARTIFACTS "/categories-dialog.png")});
    s_x->key(QStringLiteral("Escape"));
    std::this_thread::sleep_for(500ms);

    app.pasteStatement(tallemo::notation::bytes(
        "ご利用明細|2024/11/03→セブン-イレブン 新宿店→498 円|支払方法→1回払い|BBB|CCC|"
        "2024/11/05→UNKNOWN SHOP→480 円|支払方法→1回払い|BBB|CCC|以上"));
    app.click(kCardButton);
    expectClipboard(tallemo::notation::bytes("2024/11/03→セブン-イレブン 新宿店→食費→コンビニ→498|"
                                             "2024/11/05→UNKNOWN SHOP→→→480|"));
    saveScreenshot(app, QStringLiteral("categories-filled-conversion.png"));
}

// Without a window manager the window did not get the keyboard back when a dialog closed, and
// Alt+Z typed a "z" over the selected lines instead of clearing and pasting.
TEST_F(EndToEnd, AltZClearsAndPastesAfterTheLearningDialogIsClosedWithEscape) {
    RunningTallemo app(*s_x, m_folder.path());
    ASSERT_TRUE(app.hasWindow());
    app.pasteStatement(tallemo::notation::bytes(
        "お知らせ|■利用日: 2024/11/03|■利用先: SAMPLE STORE|■利用金額: 1,500 円||以上"));
    app.click(kTextArea);
    for (const char* key : {"ctrl+Home", "Down", "shift+Down", "shift+Down", "shift+Down"})
        s_x->key(QString::fromLatin1(key));
    app.click(kOtherFormatsMenu);
    s_x->key(QStringLiteral("Up"));
    s_x->key(QStringLiteral("Return"));
    std::this_thread::sleep_for(1500ms);
    s_x->key(QStringLiteral("Escape"));
    std::this_thread::sleep_for(500ms);

    s_x->setClipboard("next statement\n");
    s_x->key(QStringLiteral("alt+z"));
    QByteArray text;
    EXPECT_TRUE(waitUntil(
        [&] {
            text = app.textArea();
            return text.startsWith("next statement");
        },
        20s))
        << text.toStdString();
    EXPECT_FALSE(text.contains('z'));
}

TEST_F(EndToEnd, WindowComesBackWhereItWasClosed) {
    {
        RunningTallemo app(*s_x, m_folder.path());
        ASSERT_TRUE(app.hasWindow());
        s_x->run(QStringLiteral("xdotool"), {QStringLiteral("windowmove"), app.window(),
                                             QStringLiteral("150"), QStringLiteral("90")});
        ASSERT_TRUE(waitUntil(
            [&] {
                const XSession::Geometry g = s_x->geometry(app.window());
                return g.x == 150 && g.y == 90;
            },
            10s));
        ASSERT_TRUE(app.close());
    }
    const QByteArray ini = settings();
    EXPECT_TRUE(ini.contains("[Ap]")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("MainForm_left=150")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("MainForm_top=90")) << ini.toStdString();

    RunningTallemo again(*s_x, m_folder.path());
    ASSERT_TRUE(again.hasWindow());
    EXPECT_TRUE(waitUntil(
        [&] {
            const XSession::Geometry g = s_x->geometry(again.window());
            return g.x == 150 && g.y == 90;
        },
        10s));
}

} // namespace
