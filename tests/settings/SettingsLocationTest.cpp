#include "settings/SettingsLocation.h"

#include "settings/IniSettings.h"
#include "support/QtText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace tallemo {
namespace {

class SettingsLocationTest : public ::testing::Test {
protected:
    QTemporaryDir programDir;
    QTemporaryDir homeDir;
    QString beside = programDir.path() + "/Tallemo";
    QString inConfig = homeDir.path() + "/config/Tallemo/Tallemo";
    std::vector<QString> askedFolders;

    SettingsPlaces places(bool writable, const QString& installedProgramFolder = {}) {
        return SettingsPlaces{[this, writable](const QString& folder) {
                                  askedFolders.push_back(folder);
                                  return writable;
                              },
                              homeDir.path() + "/config", installedProgramFolder};
    }
    void putBesideFile() {
        QFile f(beside + ".ini");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[View]\r\nSuica=1\r\n");
    }
};

TEST_F(SettingsLocationTest, StaysBesideTheProgramWhenItsFileExistsOrItsFolderIsWritable) {
    struct Case {
        const char* name;
        bool fileExists;
        bool folderWritable;
        bool expectBeside;
    };
    const Case cases[] = {
        {"portable copy, first start", false, true, true},
        {"portable copy with settings", true, true, true},
        {"settings file placed in a read-only folder", true, false, true},
        {"installed in a system folder", false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(beside + ".ini");
        if (c.fileExists)
            putBesideFile();
        askedFolders.clear();

        const QString path = settingsFileNameFor(beside, places(c.folderWritable));

        EXPECT_EQ(path, c.expectBeside ? beside : inConfig);
        for (const QString& folder : askedFolders)
            EXPECT_EQ(folder, programDir.path());
    }
}

// Root may write the installed program's folder; a file started there would become every user's.
TEST_F(SettingsLocationTest, TheInstalledProgramsFolderGetsNoNewFileEvenWhenWritable) {
    EXPECT_EQ(settingsFileNameFor(beside, places(true, programDir.path())), inConfig);
    EXPECT_EQ(
        settingsFileNameFor(beside, places(true, programDir.path() + "/../" +
                                                     QFileInfo(programDir.path()).fileName())),
        inConfig);
    putBesideFile();
    EXPECT_EQ(settingsFileNameFor(beside, places(true, programDir.path())), beside);
}

// A user's settings of an installed program: the folder and the file appear with the first
// write, and the next start finds them there again.
TEST_F(SettingsLocationTest, TheUsersFileIsMadeByTheFirstWriteAndReadBackAfterwards) {
    const QString path = settingsFileNameFor(beside, places(false));
    ASSERT_EQ(path, inConfig);
    EXPECT_FALSE(QFileInfo::exists(homeDir.path() + "/config"));
    EXPECT_EQ(ReadIniString(path, "Spsheet", "URL", "none"), "none");

    WriteIniString(path, "Spsheet", "URL", "https://example.com/sheet");

    EXPECT_TRUE(QFileInfo(inConfig + ".ini").isFile());
    EXPECT_EQ(settingsFileNameFor(beside, places(false)), inConfig);
    EXPECT_EQ(ReadIniString(path, "Spsheet", "URL", "none"), "https://example.com/sheet");
    EXPECT_FALSE(QFileInfo::exists(beside + ".ini"));
}

// The system's own check, on a folder it can decide without depending on who runs the test.
TEST_F(SettingsLocationTest, TheSystemCheckAcceptsATemporaryFolderAndRejectsAMissingOne) {
    const SettingsPlaces system = SettingsPlaces::system();
    EXPECT_TRUE(system.isWritableFolder(programDir.path()));
    EXPECT_FALSE(system.isWritableFolder(programDir.path() + "/missing"));
    EXPECT_EQ(settingsFileNameFor(programDir.path() + "/missing/Tallemo", system),
              system.userConfigFolder + "/Tallemo/Tallemo");

    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", homeDir.path().toUtf8() + "/xdg");
    EXPECT_EQ(SettingsPlaces::system().userConfigFolder, homeDir.path() + "/xdg");
    if (saved.isEmpty())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", saved);
}

} // namespace
} // namespace tallemo
