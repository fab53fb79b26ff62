// --new-only and the history command: the companion reads and updates the window's history of
// copied rows only when asked to.
#include "CliTestSupport.h"
#include "rules/KindFolders.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <functional>

#include <gtest/gtest.h>

#include <unistd.h>

namespace tallemo::testing_support {
namespace {

const QDateTime kDecemberFirst(QDate(2024, 12, 1), QTime(9, 30));

QByteArray cardStatement(const QList<QByteArray>& shops) {
    QByteArray text = "HEADER\r\n";
    int day = 1;
    for (const QByteArray& shop : shops)
        text += "2024/11/0" + QByteArray::number(day++) + '\t' + shop +
                "\t500 円\r\n支払方法\tAAA\r\nBBB\r\nCCC\r\n";
    return text + "FOOTER";
}

QByteArray cardRows(const QList<QByteArray>& shops) {
    QByteArray rows;
    int day = 1;
    for (const QByteArray& shop : shops)
        rows += "2024/11/0" + QByteArray::number(day++) + '\t' + shop + "\t\t\t500\r\n";
    return rows;
}

// Run in-process both as the program runs without --area (rows streamed as they are made) and
// with the rows handed back whole.
class NewOnlyOption : public ::testing::TestWithParam<bool> {
protected:
    NewOnlyOption() {
        environment.clock = [this] { return now; };
        if (GetParam()) {
            environment.keepAreaText = false;
            environment.writeRows = [this](QByteArrayView rows) { streamed += rows; };
        }
    }
    ConvertOutcome run(const QStringList& arguments, const QByteArray& input) {
        streamed.clear();
        ConvertOutcome outcome = runWithInput(arguments, input, environment);
        outcome.standardOutput.prepend(streamed);
        return outcome;
    }

    QTemporaryDir folder;
    ConvertEnvironment environment = testEnvironment(folder);
    QDateTime now = kDecemberFirst;
    QByteArray streamed;
};

TEST_P(NewOnlyOption, WritesOnlyNewRowsAndSaysHowManyWereLeftOut) {
    const QStringList newOnly = {QStringLiteral("card"), QStringLiteral("--new-only")};
    ConvertOutcome first = run(newOnly, cardStatement({"A", "B"}));
    EXPECT_EQ(first.standardOutput, cardRows({"A", "B"}));
    EXPECT_EQ(first.standardError, QString());
    EXPECT_EQ(first.exitCode, 0);

    ConvertOutcome more = run(newOnly, cardStatement({"A", "B", "C"}));
    EXPECT_EQ(more.standardOutput, cardRows({"A", "B", "C"}).sliced(cardRows({"A", "B"}).size()));
    EXPECT_EQ(
        more.standardError,
        QStringLiteral("tallemo-convert: 楽天カード (card): コピー済みの 2 行を除きました\n"));
    EXPECT_EQ(more.exitCode, 0);

    ConvertOutcome none = run(newOnly, cardStatement({"A", "B", "C"}));
    EXPECT_EQ(none.standardOutput, QByteArray());
    EXPECT_EQ(none.standardError,
              QStringLiteral("tallemo-convert: 楽天カード (card): 3 行はすべてコピー済みです\n"));
    EXPECT_EQ(none.exitCode, 0);

    // Without the option every row goes out and the history is not read.
    EXPECT_EQ(run({QStringLiteral("card")}, cardStatement({"A", "B", "C"})).standardOutput,
              cardRows({"A", "B", "C"}));
}

TEST_P(NewOnlyOption, AreaStillShowsEveryRow) {
    const QString area = folder.filePath(QStringLiteral("area.txt"));
    run({QStringLiteral("card"), QStringLiteral("--new-only")}, cardStatement({"A"}));
    const ConvertOutcome outcome =
        run({QStringLiteral("card"), QStringLiteral("--new-only"), QStringLiteral("--area"), area},
            cardStatement({"A", "B"}));
    EXPECT_EQ(outcome.standardOutput, cardRows({"A", "B"}).sliced(cardRows({"A"}).size()));
    QFile written(area);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readAll().contains(cardRows({"A", "B"})));
}

INSTANTIATE_TEST_SUITE_P(Streamed, NewOnlyOption, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "Streamed" : "Whole";
                         });

// Kinds read from rules files keep a history like the built-in ones: one that comes with the
// program, and one the user learned from an example, with two identical usages in one mail.
TEST(RulesKindHistory, KindsFromRulesFilesLeaveOutWhatWentBefore) {
    const QTemporaryDir folder;
    ConvertEnvironment environment = testEnvironment(folder);
    environment.clock = [] { return kDecemberFirst; };
    const auto mailLines = [](const QList<QByteArray>& shops) {
        QByteArray text = "Subject: usage\r\n\r\n";
        for (const QByteArray& shop : shops)
            text += "2024/11/03  " + shop + "  1,500円\r\n";
        return text + "\r\n-- footer\r\n";
    };
    const auto rows = [](const QList<QByteArray>& shops) {
        QByteArray text;
        for (const QByteArray& shop : shops)
            text += "2024/11/03\t" + shop + "\t\t\t1500\r\n";
        return text;
    };

    const QString learned = folder.filePath(QStringLiteral("example.txt"));
    writeFile(learned, "ご利用日 2024/11/03 ご利用先 SHOP A ご利用額 1,500円\n");
    const ConvertOutcome saved =
        runWithInput({QStringLiteral("learn"), learned, QStringLiteral("--row"),
                      QStringLiteral("2024/11/03\tSHOP A\t\t\t1500"), QStringLiteral("--id"),
                      QStringLiteral("my-card"), QStringLiteral("--save")},
                     {}, environment);
    ASSERT_EQ(saved.exitCode, 0) << saved.standardError.toStdString();
    environment.kinds = rules::loadKinds(environment.kindFolders).registry;
    const auto learnedMail = [](const QList<QByteArray>& shops) {
        QByteArray text;
        for (const QByteArray& shop : shops)
            text += "ご利用日 2024/11/03 ご利用先 " + shop + " ご利用額 1,500円\n";
        return text;
    };

    struct Case {
        QString kind;
        std::function<QByteArray(const QList<QByteArray>&)> statement;
    };
    for (const Case& c : {Case{QStringLiteral("card-mail-line"), mailLines},
                          Case{QStringLiteral("my-card"), learnedMail}}) {
        SCOPED_TRACE(c.kind.toStdString());
        const QStringList newOnly = {c.kind, QStringLiteral("--new-only")};
        const ConvertOutcome first =
            runWithInput(newOnly, c.statement({"SHOP A", "SHOP A"}), environment);
        EXPECT_EQ(first.standardOutput, rows({"SHOP A", "SHOP A"}));
        EXPECT_EQ(first.exitCode, 0) << first.standardError.toStdString();

        // The third SHOP A is a third coffee: the earlier mail held only two.
        const ConvertOutcome later = runWithInput(
            newOnly, c.statement({"SHOP A", "SHOP A", "SHOP A", "SHOP B"}), environment);
        EXPECT_EQ(later.standardOutput, rows({"SHOP A", "SHOP B"}));
        EXPECT_TRUE(
            later.standardError.endsWith(QStringLiteral("): コピー済みの 2 行を除きました\n")))
            << later.standardError.toStdString();
    }
    const ConvertOutcome listed = runWithInput({QStringLiteral("history")}, {}, environment);
    const QByteArray time = kDecemberFirst.toString(Qt::ISODate).toUtf8();
    // The one-line mail repeats the card statement's rows: the history knows them as the card's.
    EXPECT_EQ(listed.standardOutput, "card\t2\t" + time + "\nmy-card\t2\t" + time + "\n");
}

// A usage copied from the card company's mail is copied already when the statement brings it a
// few days later, whatever the two make of its date and amount ("1500" and "1,500").
TEST(RulesKindHistory, TheStatementKnowsTheRowsItsCardsMailsBroughtBefore) {
    const QTemporaryDir folder;
    ConvertEnvironment environment = testEnvironment(folder);
    environment.clock = [] { return kDecemberFirst; };
    environment.kinds = rules::loadKinds(environment.kindFolders).registry;
    const ConvertOutcome mail =
        runWithInput({QStringLiteral("card-mail-line"), QStringLiteral("--new-only")},
                     "2024/11/03  SHOP A  1,500円\r\n2024/11/04  SHOP B  800円\r\n", environment);
    ASSERT_EQ(mail.standardOutput,
              "2024/11/03\tSHOP A\t\t\t1500\r\n2024/11/04\tSHOP B\t\t\t800\r\n");

    const QByteArray statement = "2024/11/03\tSHOP A\t1,500 円\r\n支払方法\t1回払い\r\n-\r\n-\r\n"
                                 "2024/11/05\tSHOP C\t2,000 円\r\n支払方法\t1回払い\r\n-\r\n-\r\n";
    const ConvertOutcome card = runWithInput({QStringLiteral("card"), QStringLiteral("--new-only")},
                                             statement, environment);
    EXPECT_EQ(card.standardOutput, "2024/11/05\tSHOP C\t\t\t2,000\r\n");
    EXPECT_TRUE(card.standardError.endsWith(QStringLiteral("): コピー済みの 1 行を除きました\n")))
        << card.standardError.toStdString();
}

TEST(HistoryCommand, ListsEachKindWithItsRowsAndLastCopyAndMakesNoFile) {
    const QTemporaryDir folder;
    ConvertEnvironment environment = testEnvironment(folder);
    QDateTime now = kDecemberFirst;
    environment.clock = [&now] { return now; };

    ConvertOutcome empty = runWithInput({QStringLiteral("history")}, {}, environment);
    EXPECT_EQ(empty.standardOutput, QByteArray());
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_FALSE(QFileInfo::exists(environment.historyFile));

    runWithInput({QStringLiteral("card"), QStringLiteral("--new-only")}, cardStatement({"A", "B"}),
                 environment);
    now = now.addDays(2);
    runWithInput({QStringLiteral("card"), QStringLiteral("--new-only")},
                 cardStatement({"A", "B", "C"}), environment);

    const ConvertOutcome listed = runWithInput({QStringLiteral("history")}, {}, environment);
    EXPECT_EQ(listed.standardOutput, ("card\t3\t" + now.toString(Qt::ISODate) + "\n").toUtf8());
    EXPECT_EQ(listed.exitCode, 0);
}

TEST(HistoryCommand, OptionsThatDoNotApplyAreUsageErrors) {
    const QTemporaryDir folder;
    const ConvertEnvironment environment = testEnvironment(folder);
    for (const QStringList& arguments :
         {QStringList{QStringLiteral("domestic"), QStringLiteral("--new-only")},
          QStringList{QStringLiteral("foreign"), QStringLiteral("--new-only"),
                      QStringLiteral("--rate"), QStringLiteral("150")},
          QStringList{QStringLiteral("history"), QStringLiteral("--new-only")},
          QStringList{QStringLiteral("history"), QStringLiteral("file.txt")}}) {
        const ConvertOutcome outcome = runWithInput(arguments, {}, environment);
        EXPECT_EQ(outcome.exitCode, 2) << arguments.join(u' ').toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(environment.historyFile));
}

// The real program, copied into a folder of the test's own so that its settings and history are
// there and nowhere else.
class CopiedProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(programFolder()));
        ASSERT_TRUE(QFile::copy(QStringLiteral(TALLEMO_CONVERT_EXE), program()));
        QFile statement(statementFile());
        ASSERT_TRUE(statement.open(QIODevice::WriteOnly));
        statement.write(cardStatement({"A", "B"}));
    }
    QString programFolder() const { return folder.filePath(QStringLiteral("program")); }
    QString program() const { return programFolder() + QStringLiteral("/tallemo-convert"); }
    QString statementFile() const { return folder.filePath(QStringLiteral("statement.txt")); }

    QTemporaryDir folder;
};

// Rows that never reached standard output were not copied: they are not recorded.
TEST_F(CopiedProgram, RowsAreRecordedOnlyOnceStandardOutputIsWritten) {
    QProcess failing;
    failing.setStandardOutputFile(QStringLiteral("/dev/full"));
    failing.start(program(),
                  {QStringLiteral("card"), QStringLiteral("--new-only"), statementFile()});
    ASSERT_TRUE(failing.waitForFinished(60000));
    EXPECT_EQ(failing.exitCode(), 1);
    EXPECT_TRUE(failing.readAllStandardError().contains("cannot write standard output"));

    QProcess writing;
    writing.start(program(),
                  {QStringLiteral("card"), QStringLiteral("--new-only"), statementFile()});
    ASSERT_TRUE(writing.waitForFinished(60000));
    EXPECT_EQ(writing.exitCode(), 0);
    EXPECT_EQ(writing.readAllStandardOutput(), cardRows({"A", "B"}));
    // Beside the program, as Tallemo.ini is.
    EXPECT_TRUE(QFileInfo::exists(programFolder() + QStringLiteral("/history.sqlite")));
}

// A history that cannot be written: the rows come out all the same and the message says so. Root
// writes into read-only folders, so as root the program runs as nobody; the folders are then the
// program's (not writable for it: settings and history go to $XDG_CONFIG_HOME and $XDG_DATA_HOME)
// and a data folder nobody can write.
TEST_F(CopiedProgram, HistoryInAReadOnlyFolderLeavesTheConversionWorking) {
    const QString data = folder.filePath(QStringLiteral("data"));
    ASSERT_TRUE(QDir().mkpath(data));
    const QFileDevice::Permissions readOnly = QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                              QFileDevice::ReadGroup | QFileDevice::ExeGroup |
                                              QFileDevice::ReadOther | QFileDevice::ExeOther;
    for (const QString& path : {folder.path(), programFolder(), data})
        ASSERT_TRUE(QFile::setPermissions(path, readOnly));
    QFile::setPermissions(statementFile(), QFileDevice::ReadOwner | QFileDevice::ReadOther);

    QProcess convert;
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    variables.insert(QStringLiteral("XDG_DATA_HOME"), data);
    variables.insert(QStringLiteral("XDG_CONFIG_HOME"), folder.filePath(QStringLiteral("config")));
    variables.insert(QStringLiteral("HOME"), folder.path());
    // LeakSanitizer cannot run in a process that changed its user.
    variables.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    convert.setProcessEnvironment(variables);
    const QStringList arguments = {QStringLiteral("card"), QStringLiteral("--new-only"),
                                   statementFile()};
    if (::geteuid() == 0) {
        if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            GTEST_SKIP() << "running as root without setpriv: no way to lose the right to write";
        convert.start(QStringLiteral("setpriv"),
                      QStringList{QStringLiteral("--reuid=nobody"),
                                  QStringLiteral("--regid=nogroup"),
                                  QStringLiteral("--clear-groups"), program()} +
                          arguments);
    } else {
        convert.start(program(), arguments);
    }
    ASSERT_TRUE(convert.waitForFinished(60000));
    const QString said = QString::fromUtf8(convert.readAllStandardError());
    EXPECT_EQ(convert.exitCode(), 0) << said.toStdString();
    EXPECT_EQ(convert.readAllStandardOutput(), cardRows({"A", "B"}));
    EXPECT_TRUE(
        said.startsWith(QStringLiteral("tallemo-convert: コピー履歴を書き込めませんでした（") +
                        data + QStringLiteral("/Tallemo/history.sqlite")))
        << said.toStdString();
    EXPECT_EQ(said.count(u'\n'), 1) << said.toStdString();
    EXPECT_FALSE(QFileInfo::exists(data + QStringLiteral("/Tallemo")));

    for (const QString& path : {folder.path(), programFolder(), data})
        QFile::setPermissions(path, readOnly | QFileDevice::WriteOwner);
}

} // namespace
} // namespace tallemo::testing_support
