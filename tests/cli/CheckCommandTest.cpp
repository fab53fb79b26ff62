// `check` on any kind: a rules file, or a kind by its id (built-in or read from the folders),
// through the one scan every kind answers.
#include "CliTestSupport.h"
#include "cli/CommandNames.h"
#include "rules/RulesKind.h"
#include "support/TestFiles.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace tallemo;
using namespace tallemo::testing_support;

namespace {

class CheckCommand : public testing::Test {
protected:
    ConvertEnvironment environment() const { return testEnvironment(dir); }
    QString statementFile(const char* notated) const {
        QString path = dir.filePath(QStringLiteral("statement.txt"));
        writeFile(path, notation::bytes(notated));
        return path;
    }

    QTemporaryDir dir;
};

// A built-in kind's check gives the rows its conversion gives, and with --lines the statement's
// lines each row's entry took.
TEST_F(CheckCommand, ABuiltInKindGivesItsConversionsRowsAndTheLinesOfTheirEntries) {
    struct Case {
        const char* kind;
        const char* statement;
        const char* lines; // the --lines prefixes of the rows, in order
    };
    const std::vector<Case> cases = {
        {"card",
         "ご利用明細|2024/11/03→SAMPLE␣STORE→1,500␣円|支払方法→1回払い|本人|備考|"
         "2024/11/04→BOOKS→2,300␣円|支払方法→1回払い|本人|備考|以上|",
         "2-5|6-9|"},
        {"view", "2024|12/01xx→CAFE→REF|1,500|2024|12/03xx→BOOKS→REF|2,300|以上|", "1-3|4-6|"},
        {"coop", "明細|2024/12/01→MILK→398␣円|合計|2024/12/03→EGGS→220␣円|", "2|4|"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        const QString statement = statementFile(c.statement);
        const ConvertOutcome converted = runWithInput({c.kind, statement}, {}, environment());
        ASSERT_EQ(converted.exitCode, 0) << converted.standardError.toStdString();

        const ConvertOutcome checked =
            runWithInput({"check", c.kind, statement}, {}, environment());
        EXPECT_EQ(checked.exitCode, 0);
        EXPECT_EQ(checked.standardOutput, converted.standardOutput);
        EXPECT_EQ(
            checked.standardError,
            QStringLiteral("tallemo-convert: 2 件見つかりました。行にならなかったもの 0 件\n"));

        const ConvertOutcome withLines =
            runWithInput({"check", "--lines", c.kind, statement}, {}, environment());
        const QStringList rows =
            QString::fromUtf8(converted.standardOutput).split(QStringLiteral("\r\n"));
        const QStringList lines = QString::fromUtf8(c.lines).split(u'|');
        QString expected;
        for (qsizetype k = 0; k + 1 < lines.size(); ++k)
            expected += lines[k] + u'\t' + rows[k] + QStringLiteral("\r\n");
        EXPECT_EQ(QString::fromUtf8(withLines.standardOutput), expected);
    }
}

TEST_F(CheckCommand, AKindByIdAloneIsNamedAndAStatementOfNoneOfItsEntriesSaysSo) {
    const ConvertOutcome named = runWithInput({"check", "view"}, {}, environment());
    EXPECT_EQ(named.exitCode, 0);
    EXPECT_EQ(named.standardOutput, QByteArray("view\tView\n"));

    const ConvertOutcome none =
        runWithInput({"check", "card", "-"}, notation::bytes("nothing|here|"), environment());
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_TRUE(none.standardOutput.isEmpty());
    EXPECT_EQ(none.standardError,
              QStringLiteral("tallemo-convert: 楽天カード (card) の明細が見つかりませんでした\n"));

    // A shipped rules kind by its id, with the lines of each entry's block.
    const ConvertOutcome mail = runWithInput(
        {"check", "--lines", "card-mail", "-"},
        notation::bytes("■利用日:␣2024/11/03|■利用先:␣SAMPLE␣STORE|■利用金額:␣1,500␣円||"
                        "■利用日:\u00A02024/11/04|■利用先:\u00A0BOOKS|■利用金額:\u00A0980円|"),
        environment());
    EXPECT_EQ(mail.exitCode, 0) << mail.standardError.toStdString();
    EXPECT_EQ(mail.standardOutput,
              notation::bytes("1-3→2024/11/03→SAMPLE␣STORE→→→1500|5-7→2024/11/04→BOOKS→→→980|"));
}

// Mails turned from HTML into text put U+00A0 where the mail showed a space: every shipped kind
// takes it as a blank, here between a label and its value.
TEST_F(CheckCommand, ShippedKindsTakeTheNoBreakSpaceOfHtmlMailsAsABlank) {
    const ConvertOutcome jcb = runWithInput(
        {"check", "card-mail-jcb", "-"},
        notation::bytes("【ご利用日時(日本時間)】\u00A02024/11/03\u00A012:34|"
                        "【ご利用金額】\u00A0\u00A01,500円|【ご利用先】\u00A0SAMPLE␣STORE|"),
        environment());
    EXPECT_EQ(jcb.standardOutput, notation::bytes("2024/11/03→SAMPLE␣STORE→→→1500|"))
        << jcb.standardError.toStdString();
    const ConvertOutcome line = runWithInput(
        {"check", "card-mail-line", "-"},
        notation::bytes("\u00A02024/11/03\u00A0\u00A0SAMPLE␣STORE\u00A0\u00A0¥1,500円｜␣支払月"),
        environment());
    EXPECT_EQ(line.standardOutput, notation::bytes("2024/11/03→SAMPLE␣STORE→→→1500|"))
        << line.standardError.toStdString();
}

// The file wins over a kind of the same name: a rules file may be checked under any name.
TEST_F(CheckCommand, AFileNamedAfterAKindIsCheckedAsARulesFile) {
    writeFile(dir.filePath(QStringLiteral("card")),
              "id = 'totals'\ncaption = 'T'\nentry = ['total (?P<a>.+)']\nrow = ['{a}']\n");
    const QString here = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const ConvertOutcome checked = runWithInput({"check", "card"}, {}, environment());
    QDir::setCurrent(here);
    EXPECT_EQ(checked.standardOutput, QByteArray("totals\tT\n"))
        << checked.standardError.toStdString();
}

// No rules file may take a command's name as its id, and the list the rules files are refused by
// is the companion's own.
TEST_F(CheckCommand, EveryCommandNameIsRefusedAsAKindsId) {
    QStringList commands = subcommandNames();
    QStringList reserved = companion::commandNames();
    commands.sort();
    reserved.sort();
    EXPECT_EQ(commands, reserved);
    for (const QString& name : reserved)
        EXPECT_TRUE(rules::idProblem(name, {}).has_value()) << name.toStdString();
}

} // namespace
