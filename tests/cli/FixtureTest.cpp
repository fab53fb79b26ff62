// Golden-file tests: every statement in tests/fixtures/KIND/NAME.txt goes through the companion,
// and what it writes must equal NAME.rows (standard output), NAME.area (the --area file),
// NAME.err (standard error, exit status 1) or NAME.notice (standard error, exit status 0) and
// NAME.detect (what `detect` prints), byte for byte. NAME.args holds extra arguments. On a
// mismatch the output is written into the build folder as KIND/NAME.rows.actual (.area.actual,
// .detect.actual) under TALLEMO_FIXTURE_ACTUALS_DIR, and the failure message says where.
#include "CliTestSupport.h"

#include "converters/StatementKinds.h"
#include "text/LineModel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <ostream>
#include <string>
#include <vector>

using namespace tallemo;
using namespace tallemo::testing_support;

namespace {

QString fixturesRoot() {
    const QString fromEnvironment = qEnvironmentVariable("TALLEMO_FIXTURES");
    return fromEnvironment.isEmpty() ? QStringLiteral(TALLEMO_FIXTURES_DIR) : fromEnvironment;
}

struct FixtureCase {
    QString kind;
    QString name;

    QString path(const char* extension) const {
        return fixturesRoot() + u'/' + kind + u'/' + name + QLatin1String(extension);
    }
    // Where the output goes when it differs from the expected file.
    QString actualPath(const char* extension) const {
        return QStringLiteral(TALLEMO_FIXTURE_ACTUALS_DIR) + u'/' + kind + u'/' + name +
               QLatin1String(extension) + QStringLiteral(".actual");
    }
};

void PrintTo(const FixtureCase& c, std::ostream* os) {
    *os << (c.kind + u'/' + c.name).toStdString();
}

// The built-in kinds and those that come with the program.
std::span<const StatementKind> fixtureKinds() {
    static const QTemporaryDir settingsDir;
    static const ConvertEnvironment environment = testEnvironment(settingsDir);
    return environment.kinds->kinds();
}

std::vector<FixtureCase> discoverCases() {
    std::vector<FixtureCase> cases;
    for (const StatementKind& statementKind : fixtureKinds()) {
        const QString& kind = statementKind.id;
        const QDir dir(fixturesRoot() + u'/' + kind);
        for (const QString& file :
             dir.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name))
            cases.push_back({kind, QFileInfo(file).completeBaseName()});
    }
    return cases;
}

std::string caseName(const testing::TestParamInfo<FixtureCase>& info) {
    std::string name = (info.param.kind + u'_' + info.param.name).toStdString();
    for (char& c : name) {
        if (std::isalnum(static_cast<unsigned char>(c)) == 0)
            c = '_';
    }
    return name;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// TABs and CRs made visible, so that a diff of rows says what differs.
QString visible(QString text) {
    return text.replace(u'\t', QStringLiteral("→")).replace(u'\r', QStringLiteral("␍"));
}

QString unifiedDiff(const QString& expectedPath, const QString& actualPath) {
    QProcess diff;
    diff.start(QStringLiteral("diff"), {QStringLiteral("-u"), expectedPath, actualPath});
    if (diff.waitForFinished(10000) && diff.exitStatus() == QProcess::NormalExit)
        return visible(QString::fromUtf8(diff.readAllStandardOutput()));
    // No diff program: show both texts whole.
    return QStringLiteral("--- expected\n%1\n+++ actual\n%2\n")
        .arg(visible(QString::fromUtf8(readFile(expectedPath))),
             visible(QString::fromUtf8(readFile(actualPath))));
}

void expectMatchesGolden(const FixtureCase& c, const char* extension, const QByteArray& actual) {
    const QString expectedPath = c.path(extension);
    const QString actualPath = c.actualPath(extension);
    if (readFile(expectedPath) == actual) {
        QFile::remove(actualPath);
        return;
    }
    QFile out(actualPath);
    if (!QDir().mkpath(QFileInfo(actualPath).path()) || !out.open(QIODevice::WriteOnly) ||
        out.write(actual) != actual.size()) {
        ADD_FAILURE() << "cannot write " << actualPath.toStdString();
        return;
    }
    out.close();
    ADD_FAILURE() << expectedPath.toStdString() << " differs; the output is in "
                  << actualPath.toStdString() << "\n"
                  << unifiedDiff(expectedPath, actualPath).toStdString();
}

// NAME.args: the options the statement is converted with.
QStringList extraArguments(const FixtureCase& c) {
    return QString::fromUtf8(readFile(c.path(".args")))
        .split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

class Fixture : public testing::TestWithParam<FixtureCase> {};

TEST_P(Fixture, ConvertsAsExpected) {
    const FixtureCase& c = GetParam();
    ASSERT_TRUE(QFileInfo::exists(c.path(".rows"))) << "missing " << c.path(".rows").toStdString();
    ASSERT_TRUE(QFileInfo::exists(c.path(".area"))) << "missing " << c.path(".area").toStdString();

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString areaPath = dir.filePath(QStringLiteral("area.txt"));
    QStringList arguments{c.kind, c.path(".txt"), QStringLiteral("--area"), areaPath};
    arguments += extraArguments(c);

    const ConvertOutcome outcome = runWithInput(arguments, {}, testEnvironment(dir));

    // NAME.err is a failure's message (exit status 1), NAME.notice what is said when no entries
    // are found (exit status 0).
    const QString expectedError = QString::fromUtf8(readFile(c.path(".err")));
    const QString expectedNotice = QString::fromUtf8(readFile(c.path(".notice")));
    EXPECT_EQ(outcome.standardError.toStdString(), (expectedError + expectedNotice).toStdString());
    EXPECT_EQ(outcome.exitCode, expectedError.isEmpty() ? 0 : 1);
    const QByteArray area = readFile(areaPath);
    EXPECT_EQ(area, outcome.areaText) << "the --area file is not the text area's text";
    expectMatchesGolden(c, ".rows", outcome.standardOutput);
    expectMatchesGolden(c, ".area", area);
}

// Without --area the converters keep the rows in UTF-8 and may leave the text area's lines as
// they are: the rows and the messages must not differ by a byte.
TEST_P(Fixture, WritesTheSameRowsWithoutTheTextArea) {
    const FixtureCase& c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QStringList arguments{c.kind, c.path(".txt")};
    arguments += extraArguments(c);
    ConvertEnvironment environment = testEnvironment(dir);
    environment.keepAreaText = false;

    const ConvertOutcome outcome = runWithInput(arguments, {}, environment);

    EXPECT_EQ(
        outcome.standardError.toStdString(),
        QString::fromUtf8(readFile(c.path(".err")) + readFile(c.path(".notice"))).toStdString());
    EXPECT_TRUE(outcome.areaText.isEmpty());
    expectMatchesGolden(c, ".rows", outcome.standardOutput);
}

// NAME.detect: what `detect` makes of the statement, the kinds it looks like with their entries.
TEST_P(Fixture, IsDetectedAsExpected) {
    const FixtureCase& c = GetParam();
    ASSERT_TRUE(QFileInfo::exists(c.path(".detect")))
        << "missing " << c.path(".detect").toStdString();
    QTemporaryDir dir;
    const ConvertOutcome outcome =
        runWithInput({QStringLiteral("detect"), c.path(".txt")}, {}, testEnvironment(dir));
    EXPECT_EQ(outcome.exitCode, 0) << outcome.standardError.toStdString();
    expectMatchesGolden(c, ".detect", outcome.standardOutput);
}

INSTANTIATE_TEST_SUITE_P(Statements, Fixture, testing::ValuesIn(discoverCases()), caseName);

// A wrong fixtures path would otherwise leave the table above quietly empty.
TEST(Fixtures, EveryKindHasCases) {
    for (const StatementKind& statementKind : fixtureKinds()) {
        const QString& kind = statementKind.id;
        int count = 0;
        for (const FixtureCase& c : discoverCases())
            count += c.kind == kind ? 1 : 0;
        EXPECT_GE(count, 2) << "too few fixtures in "
                            << (fixturesRoot() + u'/' + kind).toStdString();
    }
}

} // namespace

// Every kind against every other kind's fixtures: a kind that finds an entry in a statement of
// another shape would take it when recognition picks the kind, and give wrong rows. The card
// statement's one-line mail fixture is the one-line mail kind's own shape, kept there to show
// that the card statement leaves it alone. The built-in kinds among themselves weigh signs
// against the entries instead (their odd fixtures may look like a few entries of another).
TEST(Fixtures, NoKindFindsEntriesInAnotherKindsStatements) {
    const auto isItsOwnShape = [](const QString& kind, const FixtureCase& c) {
        return kind == QLatin1String("card-mail-line") && c.kind == QLatin1String("card") &&
               c.name == QLatin1String("notification-mail-one-line");
    };
    const auto isBuiltIn = [](const QString& kind) {
        const std::span<const StatementKind> kinds = fixtureKinds();
        return std::any_of(kinds.begin(), kinds.end(), [&](const StatementKind& k) {
            return k.id == kind && k.sourceFile.isEmpty();
        });
    };
    const std::vector<FixtureCase> cases = discoverCases();
    for (const StatementKind& statementKind : fixtureKinds()) {
        for (const FixtureCase& c : cases) {
            if (c.kind == statementKind.id || isItsOwnShape(statementKind.id, c))
                continue;
            if (statementKind.isBuiltIn() && isBuiltIn(c.kind))
                continue;
            const LineModel Lines =
                LineModel::fromPastedText(QString::fromUtf8(readFile(c.path(".txt"))));
            EXPECT_EQ(statementKind.engine->recognise(Lines).entries, 0)
                << statementKind.id.toStdString() << " finds entries in "
                << (c.kind + u'/' + c.name).toStdString();
        }
    }
}
