// The real program: its streams, exit statuses and files, as a script sees them.
#include "CliTestSupport.h"

#include "converters/StatementKinds.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

using namespace tallemo::testing_support;

namespace {

struct ProgramRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

ProgramRun runProgram(const QStringList& arguments, const QByteArray& input = {},
                      const QString& program = QStringLiteral(TALLEMO_CONVERT_EXE)) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    ProgramRun run;
    if (!process.waitForStarted(10000)) {
        ADD_FAILURE() << "cannot start " << program.toStdString();
        return run;
    }
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "tallemo-convert did not end normally";
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

TEST(Program, ConvertsStandardInputToStandardOutputAndTheAreaFile) {
    QTemporaryDir dir;
    const QString areaPath = dir.filePath(QStringLiteral("area.txt"));
    const ProgramRun run = runProgram({"card", "--area", areaPath},
                                      "HEAD\r2024/11/03\tSTORE\t1,500 円\r支払方法\rx\ry\rTAIL");
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, tallemo::notation::bytes("2024/11/03→STORE→→→1,500|"));
    EXPECT_TRUE(run.err.isEmpty());
    QFile area(areaPath);
    ASSERT_TRUE(area.open(QIODevice::ReadOnly));
    EXPECT_EQ(area.readAll(), tallemo::notation::bytes("HEAD|2024/11/03→STORE→→→1,500|TAIL"));
}

// Rows written while they are made, or at the end: a full disk is a failure either way, never a
// quiet success with rows missing.
TEST(Program, AStandardOutputThatCannotBeWrittenIsAFailure) {
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full here";
    QTemporaryDir dir;
    QFile statement(dir.filePath(QStringLiteral("card.txt")));
    ASSERT_TRUE(statement.open(QIODevice::WriteOnly));
    statement.write(sampleStatement(*tallemo::findBuiltInKind(u"card"), 5000).toUtf8());
    statement.close();
    for (const QStringList& arguments :
         {QStringList{"card", statement.fileName()},
          QStringList{"card", "--area", dir.filePath("area.txt"), statement.fileName()}}) {
        QProcess process;
        process.setStandardOutputFile(QStringLiteral("/dev/full"));
        process.start(QStringLiteral(TALLEMO_CONVERT_EXE), arguments);
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), 1) << arguments.join(u' ').toStdString();
        EXPECT_EQ(process.readAllStandardError(),
                  QByteArray("tallemo-convert: cannot write standard output\n"));
    }
}

TEST(Program, ReportsTheErrorBoxTextOnStandardError) {
    const ProgramRun run = runProgram({"foreign", "--date", "2025/01/15", "--rate", "150", "-"},
                                      tallemo::notation::bytes("N|x|y|入金額 1,000.00 USD"));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(run.err, QByteArray("'1,000.00' は浮動小数点数ではありません.\n"));
}

TEST(Program, ExitStatusTellsUsageErrorsFromFailures) {
    QTemporaryDir dir;
    QFile shiftJis(dir.filePath(QStringLiteral("sjis.txt")));
    ASSERT_TRUE(shiftJis.open(QIODevice::WriteOnly));
    // Shift_JIS up to a byte that no encoding takes.
    shiftJis.write("\x93\xfa\x95\x74\n\xff\n");
    shiftJis.close();

    const ProgramRun usage = runProgram({"card", "--bogus"});
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_TRUE(usage.out.isEmpty());
    EXPECT_TRUE(usage.err.contains("Usage: tallemo-convert")) << usage.err.toStdString();

    const ProgramRun help = runProgram({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: tallemo-convert KIND [FILE]"));

    const ProgramRun notUtf8 = runProgram({"card", shiftJis.fileName()});
    EXPECT_EQ(notUtf8.exitCode, 1);
    EXPECT_EQ(notUtf8.err, QStringLiteral("tallemo-convert: %1: neither UTF-8 nor Windows-31J: "
                                          "byte 0 (line 1) is not valid UTF-8\n")
                               .arg(shiftJis.fileName())
                               .toUtf8());
}

// The companion shares the window program's settings: Tallemo.ini beside it, whatever the
// companion's own file is called.
TEST(Program, ReadsTheWindowsSettingsFileBesideIt) {
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("tallemo-convert"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(TALLEMO_CONVERT_EXE), program));
    QFile ini(dir.filePath(QStringLiteral("Tallemo.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[View]\r\nSuica=1\r\n");
    ini.close();

    const ProgramRun run =
        runProgram({"view"}, tallemo::notation::bytes("2024|12/01xx→CAFE→REF|1,500|END"), program);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, tallemo::notation::bytes("2024/12/01→CAFE→→→1,500→Suica|"));

    const ProgramRun help = runProgram({"--help"}, {}, program);
    EXPECT_TRUE(help.out.endsWith(
        QStringLiteral("\nSettings file used: %1\n").arg(ini.fileName()).toUtf8()))
        << help.out.toStdString();
}

} // namespace
