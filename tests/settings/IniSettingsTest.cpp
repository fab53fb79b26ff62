#include "settings/IniSettings.h"

#include "AppError.h"
#include "support/QtText.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <optional>
#include <sys/resource.h>

namespace tallemo {
namespace {

class IniSettingsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString base = dir.path() + "/Tallemo";
    QString iniPath = base + ".ini";

    void putFile(const QByteArray& content) {
        QFile f(iniPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(content), content.size());
    }
    QByteArray fileContent() {
        QFile f(iniPath);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(IniSettingsTest, TextRoundTripsAndTheReadLimit) {
    const QString longText = QString(2047, u'a') + QString(953, u'b');
    struct Case {
        const char* name;
        QString written;
        QString read;
    };
    const Case cases[] = {
        {"URL", "https://docs.google.com/spreadsheets/d/abc/edit#gid=0",
         "https://docs.google.com/spreadsheets/d/abc/edit#gid=0"},
        {"empty", "", ""},
        {"blanks and quotes", " \"key\" ", " \"key\" "},
        {"Japanese", "家計簿", "家計簿"},
        {"exactly 2047", QString(2047, u'z'), QString(2047, u'z')},
        {"3000 characters", longText, longText.left(2047)},
        // The cut would split the pair, so the whole pair goes.
        {"pair across the cut", QString(2046, u'a') + "😀b", QString(2046, u'a')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteIniString(base, "Spsheet", "URL", c.written);
        EXPECT_EQ(ReadIniString(base, "Spsheet", "URL", "default"), c.read);
    }
}

TEST_F(IniSettingsTest, DefaultsForWhatIsMissing) {
    EXPECT_EQ(ReadIniString(base, "Spsheet", "URL", "none"), "none");
    EXPECT_EQ(ReadIniInteger(base, "Ap", "MainForm_left", 42), 42);
    EXPECT_TRUE(ReadIniBoolean(base, "View", "Suica", true));
    EXPECT_FALSE(ReadIniBoolean(base, "View", "Suica", false));
    EXPECT_FALSE(QFile::exists(iniPath)) << "a read creates nothing";

    putFile("[Spsheet]\nURL=\n[View]\n");
    EXPECT_EQ(ReadIniString(base, "Spsheet", "URL", "none"), "") << "present but empty";
    EXPECT_EQ(ReadIniString(base, "exchangeratesapi", "APIKey", "none"), "none");
    EXPECT_EQ(ReadIniString(base, "View", "Suica", "none"), "none");
}

TEST_F(IniSettingsTest, NamesIgnoreLetterCase) {
    WriteIniString(base, "Spsheet", "URL", "first");
    WriteIniString(base, "SPSHEET", "url", "second");
    EXPECT_EQ(ReadIniString(base, "spsheet", "Url", ""), "second");
    EXPECT_EQ(fileContent(), "[Spsheet]\nURL=second\n");
}

// Nothing is cached: every read sees the file as it is now.
TEST_F(IniSettingsTest, ReadsSeeTheFileAsItIsNow) {
    WriteIniString(base, "exchangeratesapi", "APIKey", "k1");
    EXPECT_EQ(ReadIniString(base, "exchangeratesapi", "APIKey", ""), "k1");
    putFile("[exchangeratesapi]\nAPIKey = k2\n");
    EXPECT_EQ(ReadIniString(base, "exchangeratesapi", "APIKey", ""), "k2");
    ASSERT_TRUE(QFile::remove(iniPath));
    EXPECT_EQ(ReadIniString(base, "exchangeratesapi", "APIKey", "gone"), "gone");
}

TEST_F(IniSettingsTest, KeepsTheRestOfAUsersFile) {
    const QByteArray before = "\xEF\xBB\xBF; settings\r\n[Ap]\r\nMainForm_left = 10\r\n\r\n"
                              "[Spsheet]\r\nURL=\"https://x\"\r\n";
    putFile(before);
    WriteIniInteger(base, "Ap", "MainForm_left", 120);
    WriteIniBoolean(base, "seikyo", "hoken", true);
    EXPECT_EQ(fileContent(), "\xEF\xBB\xBF; settings\r\n[Ap]\r\nMainForm_left = 120\r\n\r\n"
                             "[Spsheet]\r\nURL=\"https://x\"\r\n[seikyo]\r\nhoken=1\r\n");
    EXPECT_EQ(ReadIniString(base, "Spsheet", "URL", ""), "https://x");
}

TEST_F(IniSettingsTest, IntegersReadByTheIntegerRule) {
    struct Case {
        QByteArray stored; // the text after "k=", or nothing for a missing key
        int expected;      // with the default 5
    };
    const Case cases[] = {
        {"0x40", 64},
        {"0X40", 64},
        {"$40", 64},
        {"x40", 64},
        {"+7", 7},
        {"007", 7},
        {"-8", -8},
        {"120", 120},
        {"-2147483648", INT_MIN},
        {"2147483647", INT_MAX},
        {"$FFFFFFFF", -1},
        {"-0x10", -16},
        {"2147483648", 5},
        {"", 5},
        {"abc", 5},
        {"0x", 5},
        {"1.5", 5},
        {"12 \"", 5},
        {"\"12 \"", 5},
        {"\" 12\"", 12},
        {"  12  ", 12},
        {"$100000000", 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.toStdString());
        putFile("[Ap]\nk=" + c.stored + "\n");
        EXPECT_EQ(ReadIniInteger(base, "Ap", "k", 5), c.expected);
    }
}

TEST_F(IniSettingsTest, IntegersWrittenAsPlainDecimals) {
    for (const int value : {0, -8, 120, INT_MIN, INT_MAX}) {
        WriteIniInteger(base, "Ap", "k", value);
        EXPECT_EQ(fileContent(), "[Ap]\nk=" + QByteArray::number(value) + "\n");
        EXPECT_EQ(ReadIniInteger(base, "Ap", "k", 5), value);
    }
}

TEST_F(IniSettingsTest, YesNoValues) {
    struct Case {
        std::optional<QByteArray> stored;
        bool defaultValue = false;
        bool expected = false;
    };
    const Case cases[] = {
        {"1", false, true}, {"2", false, true},           {"-1", false, true},
        {"0", true, false}, {"true", false, false},       {"true", true, true},
        {"", true, true},   {std::nullopt, false, false}, {std::nullopt, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.value_or("(missing)").toStdString());
        putFile(c.stored ? "[View]\nSuica=" + *c.stored + "\n" : QByteArray("[View]\n"));
        EXPECT_EQ(ReadIniBoolean(base, "View", "Suica", c.defaultValue), c.expected);
    }

    WriteIniBoolean(base, "View", "Suica", true);
    WriteIniBoolean(base, "seikyo", "hoken", false);
    EXPECT_EQ(fileContent(), "[View]\nSuica=1\n[seikyo]\nhoken=0\n");
    EXPECT_TRUE(ReadIniBoolean(base, "View", "Suica", false));
    EXPECT_FALSE(ReadIniBoolean(base, "seikyo", "hoken", true));
}

class FakeControl : public PositionedControl {
public:
    FakeControl(int left, int top, QSize screen) : m_left(left), m_top(top), m_screen(screen) {}
    int left() const override { return m_left; }
    int top() const override {
        ++topReads;
        return m_top;
    }
    void setLeft(int left) override { m_left = left; }
    void setTop(int top) override { m_top = top; }
    QSize primaryScreenSize() const override { return m_screen; }

    mutable int topReads = 0;

private:
    int m_left;
    int m_top;
    QSize m_screen;
};

TEST_F(IniSettingsTest, PositionFoldedIntoThePrimaryScreen) {
    struct Case {
        const char* name;
        QByteArray stored; // lines of section [Ap]
        QSize screen;
        int left;
        int top;
    };
    // The control starts at (50, 60).
    const Case cases[] = {
        {"inside", "MainForm_left=100\nMainForm_top=200\n", {1920, 1080}, 100, 200},
        {"top beyond the height", "MainForm_left=0\nMainForm_top=2000\n", {1920, 1080}, 0, 920},
        {"top equal to the height", "MainForm_left=0\nMainForm_top=1080\n", {1920, 1080}, 0, 1080},
        {"left beyond the width", "MainForm_left=4000\nMainForm_top=0\n", {1920, 1080}, 160, 0},
        {"left on a second screen", "MainForm_left=2500\nMainForm_top=10\n", {1920, 1080}, 580, 10},
        {"negatives stay", "MainForm_left=-8\nMainForm_top=-5000\n", {1920, 1080}, -8, -5000},
        {"unreadable values keep the position",
         "MainForm_left=abc\nMainForm_top=\n",
         {1920, 1080},
         50,
         60},
        {"missing keys keep the position", "", {1920, 1080}, 50, 60},
        {"no screen size, no folding",
         "MainForm_left=4000\nMainForm_top=2000\n",
         {0, 0},
         4000,
         2000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        putFile("[Ap]\n" + c.stored);
        FakeControl form(50, 60, c.screen);
        ReadIniPosition(base, "Ap", "MainForm", form);
        EXPECT_EQ(form.left(), c.left);
        EXPECT_EQ(form.top(), c.top);
    }
}

TEST_F(IniSettingsTest, PositionWrittenLeftThenTop) {
    FakeControl form(-8, 1200, {1920, 1080});
    WriteIniPosition(base, "Ap", "MainForm", form);
    EXPECT_EQ(fileContent(), "[Ap]\nMainForm_left=-8\nMainForm_top=1200\n");

    FakeControl restored(0, 0, {1920, 1080});
    ReadIniPosition(base, "Ap", "MainForm", restored);
    EXPECT_EQ(restored.left(), -8);
    EXPECT_EQ(restored.top(), 120);
}

// The folder of the settings file is a regular file, so nothing can be written there.
TEST_F(IniSettingsTest, FailedWriteNamesTheFile) {
    {
        QFile blocker(dir.path() + "/notafolder");
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    const QString blockedBase = dir.path() + "/notafolder/Tallemo";
    const QString expected = dir.path() + "/notafolder/Tallemo.ini に書き込めません";

    const auto messageOf = [](const auto& write) -> QString {
        try {
            write();
        } catch (const AppError& e) {
            return e.message();
        }
        return "no error";
    };
    EXPECT_EQ(messageOf([&] { WriteIniString(blockedBase, "Spsheet", "URL", "x"); }), expected);
    EXPECT_EQ(messageOf([&] { WriteIniBoolean(blockedBase, "View", "Suica", true); }), expected);
    EXPECT_EQ(messageOf([&] { WriteIniInteger(blockedBase, "Ap", "k", 1); }), expected);

    FakeControl form(10, 20, {1920, 1080});
    EXPECT_EQ(messageOf([&] { WriteIniPosition(blockedBase, "Ap", "MainForm", form); }), expected);
    EXPECT_EQ(form.topReads, 0) << "the top is not written after a failed left write";

    EXPECT_EQ(ReadIniString(blockedBase, "Spsheet", "URL", "default"), "default");
}

// A value that could not be read back as written is refused, and the file stays as it was.
TEST_F(IniSettingsTest, LineBreakInAValueIsRefused) {
    putFile("[Spsheet]\nURL=https://x\n");
    try {
        WriteIniString(base, "Spsheet", "URL", "https://y\n[Ap]\nMainForm_left=9");
        ADD_FAILURE() << "no error";
    } catch (const AppError& e) {
        EXPECT_EQ(e.message(), iniPath + " に書き込めません");
    }
    EXPECT_EQ(fileContent(), "[Spsheet]\nURL=https://x\n");
}

// A full disk, made by a file size limit: the write fails and the old file stays whole.
TEST_F(IniSettingsTest, FullDiskKeepsTheOldFile) {
    const QByteArray before = "[Spsheet]\nURL=" + QByteArray(400, 'u') + "\n";
    putFile(before);

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 300; // room for the lock file, not for the new settings file
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    std::optional<QString> message;
    try {
        WriteIniString(base, "Spsheet", "URL", QString(500, u'v'));
    } catch (const AppError& e) {
        message = e.message();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(message, iniPath + " に書き込めません");
    EXPECT_EQ(fileContent(), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Tallemo.ini"})
        << "no temporary or lock file is left behind";
}

TEST(iniFileNameFor, CutsTheExtensionOfTheFileOnly) {
    const struct {
        QString program;
        QString settings;
    } cases[] = {
        {"/opt/tallemo/Tallemo", "/opt/tallemo/Tallemo"},
        {"/opt/tallemo/Tallemo.exe", "/opt/tallemo/Tallemo"},
        {"/opt/tallemo-1.0/Tallemo", "/opt/tallemo-1.0/Tallemo"},
        {"/opt/tallemo-1.0/Tallemo.bin", "/opt/tallemo-1.0/Tallemo"},
        {"/home/u/Tallemo.tar.gz", "/home/u/Tallemo.tar"},
        {"/home/u/Tallemo.", "/home/u/Tallemo"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(iniFileNameFor(c.program), c.settings) << c.program.toStdString();
}

} // namespace
} // namespace tallemo
