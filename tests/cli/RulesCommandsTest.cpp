// The companion's commands for rules files (kinds, check) and a rules kind converted like a
// built-in one.
#include "CliTestSupport.h"
#include "settings/IniSettings.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace tallemo;
using namespace tallemo::testing_support;

namespace {

const QByteArray kTotals = "id = 'totals'\ncaption = '合計 & 残高'\n"
                           "entry = ['(?P<date>\\S+) total (?P<amount>.+)']\n"
                           "row = ['{date|date}', '{amount|yen}']\n";

const QByteArray kStatement = notation::bytes("2024/11/03 total 1,500|11/04 total 2,000|"
                                              "2024/11/05 total 3,000|2024/11/06 total ?|");

class RulesCommands : public testing::Test {
protected:
    // The settings folder's kinds/ holds the user's files; re-read after writing them.
    ConvertEnvironment environment() const { return testEnvironment(dir); }
    QString userFile(const char* name) const {
        return dir.filePath(QStringLiteral("kinds/") + QString::fromLatin1(name));
    }

    QTemporaryDir dir;
};

TEST_F(RulesCommands, KindsListsEveryKindAndTheProblemsOfBrokenFiles) {
    writeFile(userFile("totals.toml"), kTotals);
    writeFile(userFile("broken.toml"),
              "id = 'broken'\ncaption = 'B'\nentry = ['(']\nrow = ['x']\n");

    const ConvertOutcome outcome = runWithInput({"kinds"}, {}, environment());

    EXPECT_EQ(outcome.exitCode, 1);
    const QString shipped = QStringLiteral(TALLEMO_SHIPPED_KINDS_DIR);
    EXPECT_EQ(
        QString::fromUtf8(outcome.standardOutput),
        QStringLiteral(
            "card\t楽天カード\tbuilt-in\n"
            "domestic\t国内配当\tbuilt-in\n"
            "foreign\t国外配当\tbuilt-in\n"
            "view\tView\tbuilt-in\n"
            "coop\t生協\tbuilt-in\n"
            "card-mail-jcb-arrival\tJCBカード ご利用のお知らせ（売上到着分）\t"
            "%1/card-mail-jcb-arrival.toml\n"
            "card-mail-jcb\tJCBカード ショッピングご利用のお知らせ\t"
            "%1/card-mail-jcb.toml\n"
            "card-mail-jcb-refund\tJCBカード ショッピング取消のお知らせ\t"
            "%1/card-mail-jcb-refund.toml\n"
            "vpass-csv\tVISA 系カード明細 CSV（Vpass）\t%1/vpass-csv.toml\n"
            "card-mail\tカード利用のお知らせ（楽天カード・三井住友カード・dカード）\t"
            "%1/card-mail.toml\n"
            "card-mail-pocket\tポケットカード カード利用のお知らせ（ZOZOCARD など）\t"
            "%1/card-mail-pocket.toml\n"
            "card-mail-life\tライフカード カードご利用のお知らせ\t"
            "%1/card-mail-life.toml\n"
            "card-mail-line\t楽天カード カード利用のお知らせ（1 行ずつ）\t"
            "%1/card-mail-line.toml\n"
            "card-csv\t楽天カード明細 CSV\t%1/card-csv.toml\n"
            "totals\t合計 & 残高\t%2\n"
            "card-mail-smbc\t三井住友カード ご利用のお知らせ（ご利用日時の下に利用先と金額）\t"
            "%1/card-mail-smbc.toml\n")
            .arg(shipped, userFile("totals.toml")));
    EXPECT_EQ(outcome.standardError,
              userFile("broken.toml") +
                  QStringLiteral(":3:10: パターンを読めません: missing ): (\n"));
}

TEST_F(RulesCommands, ARulesKindConvertsLikeABuiltInOneAndSaysWhatItLeftOut) {
    writeFile(userFile("totals.toml"), kTotals);

    const ConvertOutcome outcome =
        runWithInput({"totals", "--area", dir.filePath("area.txt")}, kStatement, environment());

    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.standardOutput, notation::bytes("2024/11/03→1500|2024/11/05→3000|"));
    EXPECT_EQ(outcome.areaText, outcome.standardOutput);
    EXPECT_EQ(outcome.standardError,
              QStringLiteral(
                  "tallemo-convert: 1 件は金額を読めませんでした。1 件は日付を読めませんでした\n"));
}

// A rules file declares what a built-in kind declares: a remarks cell switched by its own
// setting in Tallemo.ini (or --remark and --no-remark), as View's Suica is.
TEST_F(RulesCommands, ARulesKindsRemarksCellFollowsItsSettingAsViewsDoes) {
    writeFile(userFile("totals.toml"), kTotals + "remark = { cell = '保険' }\n");
    const QByteArray plain = notation::bytes("2024/11/03→1500|2024/11/05→3000|");
    const QByteArray withRemark = notation::bytes("2024/11/03→1500→保険|2024/11/05→3000→保険|");
    EXPECT_EQ(runWithInput({"totals"}, kStatement, environment()).standardOutput, plain);
    EXPECT_EQ(runWithInput({"totals", "--remark"}, kStatement, environment()).standardOutput,
              withRemark);
    WriteIniBoolean(environment().iniFileName, QStringLiteral("Remarks"), QStringLiteral("totals"),
                    true);
    EXPECT_EQ(runWithInput({"totals"}, kStatement, environment()).standardOutput, withRemark);
    EXPECT_EQ(runWithInput({"totals", "--no-remark"}, kStatement, environment()).standardOutput,
              plain);

    writeFile(userFile("totals.toml"), kTotals + "remark = '保険'\n");
    const ConvertOutcome broken = runWithInput({"kinds"}, {}, environment());
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_TRUE(broken.standardError.contains(QStringLiteral("remark は { cell = ")))
        << broken.standardError.toStdString();
}

TEST_F(RulesCommands, AKindWhoseFileIsBrokenIsUnknownWithTheFilesProblem) {
    writeFile(userFile("totals.toml"), "id = 'totals'\n");

    const ConvertOutcome outcome = runWithInput({"totals"}, kStatement, environment());

    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_TRUE(outcome.standardError.startsWith(
        QStringLiteral(
            "tallemo-convert: unknown statement kind 'totals'\n%1:1:1: caption がありません\n")
            .arg(userFile("totals.toml"))))
        << outcome.standardError.toStdString();
}

TEST_F(RulesCommands, CheckSaysWhatAFileGivesOrWhatIsWrongWithIt) {
    const QString rules = dir.filePath(QStringLiteral("elsewhere/totals.toml"));
    writeFile(rules, kTotals);
    const QString statement = dir.filePath(QStringLiteral("statement.txt"));
    writeFile(statement, kStatement);

    const ConvertOutcome clean = runWithInput({"check", rules}, {}, environment());
    EXPECT_EQ(clean.exitCode, 0);
    EXPECT_EQ(QString::fromUtf8(clean.standardOutput), QStringLiteral("totals\t合計 & 残高\n"));

    const ConvertOutcome rows = runWithInput({"check", rules, statement}, {}, environment());
    EXPECT_EQ(rows.exitCode, 0);
    EXPECT_EQ(rows.standardOutput, notation::bytes("2024/11/03→1500|2024/11/05→3000|"));
    EXPECT_EQ(rows.standardError,
              QStringLiteral("tallemo-convert: 4 件見つかりました。行にならなかったもの 2 件\n"
                             "tallemo-convert: 2 行目: 日付を読めませんでした\n"
                             "tallemo-convert: 4 行目: 金額を読めませんでした\n"));

    const ConvertOutcome none =
        runWithInput({"check", rules, "-"}, notation::bytes("nothing|here|"), environment());
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_TRUE(none.standardOutput.isEmpty());
    EXPECT_EQ(
        none.standardError,
        QStringLiteral("tallemo-convert: 合計 & 残高 (totals) の明細が見つかりませんでした\n"));

    writeFile(rules, "id = 'totals'\ncaption = 'T'\nentry = ['x(?P<a>.*)']\nrow = ['{b}']\n");
    const ConvertOutcome broken = runWithInput({"check", rules, statement}, {}, environment());
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_TRUE(broken.standardOutput.isEmpty());
    EXPECT_EQ(broken.standardError,
              rules +
                  QStringLiteral(":4:8: フィールド b は entry のどのパターンでも (?P<b>…) として"
                                 "取り出されていません\n"));
}

TEST_F(RulesCommands, CommandsTakeNoConversionOptionsAndHelpNamesBothFolders) {
    const ConvertOutcome withDate =
        runWithInput({"kinds", "--date", "2025/01/01"}, {}, environment());
    EXPECT_EQ(withDate.exitCode, 2);
    EXPECT_TRUE(withDate.standardError.startsWith(
        QStringLiteral("tallemo-convert: --date does not apply to kinds\n")));
    EXPECT_EQ(runWithInput({"check"}, {}, environment()).exitCode, 2);

    const ConvertEnvironment env = environment();
    const QString help = QString::fromUtf8(runWithInput({"help"}, {}, env).standardOutput);
    EXPECT_TRUE(help.contains(env.kindFolders.user)) << help.toStdString();
    EXPECT_TRUE(help.contains(env.kindFolders.shipped));
    EXPECT_TRUE(help.contains(QStringLiteral("card-mail-line")));
}

TEST_F(RulesCommands, LearnWritesARulesFileThatCheckTakesAndSaysWhatItFound) {
    const QString example = dir.filePath(QStringLiteral("example.txt"));
    writeFile(example, notation::bytes("■利用日: 2024/11/03|■利用先: SHOP A|■利用金額: 1,500 円|"));
    const QString statement = dir.filePath(QStringLiteral("statement.txt"));
    writeFile(statement,
              notation::bytes("お知らせ|■利用日: 2024/11/03|■利用先: SHOP A|■利用金額: 1,500 円|"
                              "■利用日: 2024/11/04|■利用先: 喫茶 B|■利用金額: 80 円|"
                              "■利用日: 2024/11/05|■備考: 取消|"));

    const ConvertOutcome learned =
        runWithInput({"learn", example, "--row", "2024/11/03\tSHOP A\tカード\t1500", "--literal",
                      "3", "--caption", "Sample Mail", statement},
                     {}, environment());

    EXPECT_EQ(learned.exitCode, 0) << learned.standardError.toStdString();
    EXPECT_TRUE(learned.standardOutput.contains("id = 'sample-mail'"));
    EXPECT_EQ(
        learned.standardError,
        QStringLiteral("tallemo-convert: 2 件見つかりました。行にならなかったもの 0 件\n"
                       "tallemo-convert: 8 行目「■利用日: 2024/11/05」は明細の始まりに見えま"
                       "したが、9 行目「■備考: 取消」が書式の 2 行目のパターンに合いません\n"));
    const QString rules = dir.filePath(QStringLiteral("sample-mail.toml"));
    writeFile(rules, learned.standardOutput);
    const ConvertOutcome checked = runWithInput({"check", rules, statement}, {}, environment());
    EXPECT_EQ(checked.standardOutput,
              notation::bytes("2024/11/03→SHOP A→カード→1500|2024/11/04→喫茶 B→カード→80|"));
}

// A bank's comma-separated file, taught by an income and a payment: the kind saved is a
// comma-separated kind that the folder takes and that gives every record's row with its sign.
TEST_F(RulesCommands, LearnsACommaSeparatedKindFromTwoExamplesOfABankFile) {
    const QString income = dir.filePath(QStringLiteral("income.csv"));
    writeFile(income, notation::bytes("2025/01/10,給与,,300000,398500,|"));
    const QString payment = dir.filePath(QStringLiteral("payment.csv"));
    writeFile(payment, notation::bytes("2025/01/12,SAMPLE STORE,1500,,397000,|"));
    const QString statement = dir.filePath(QStringLiteral("bank.csv"));
    const QByteArray bank =
        notation::bytes("日付,摘要,出金,入金,残高,メモ|2025/01/10,給与,,300000,398500,|"
                        "2025/01/12,SAMPLE STORE,1500,,397000,|2025/01/20,\"SAMPLE 電力, "
                        "口座\",8210,,388790,振替|");
    writeFile(statement, bank);

    const ConvertOutcome learned = runWithInput(
        {"learn", income, "--row", "2025/01/10\t給与\t\t\t300000", "--example", payment, "--row",
         "2025/01/12\tSAMPLE STORE\t\t\t-1500", "--id", "bank-csv", "--save", statement},
        {}, environment());
    EXPECT_EQ(learned.exitCode, 0) << learned.standardError.toStdString();
    EXPECT_EQ(learned.standardError,
              QStringLiteral("tallemo-convert: 3 件見つかりました。行にならなかったもの 0 件\n"
                             "tallemo-convert: %1 に保存しました\n")
                  .arg(userFile("bank-csv.toml")));
    QFile saved(userFile("bank-csv.toml"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll().contains("format = 'csv'"));

    const QByteArray rows = notation::bytes("2025/01/10→給与→→→300000|"
                                            "2025/01/12→SAMPLE STORE→→→-1500|"
                                            "2025/01/20→SAMPLE 電力, 口座→→→-8210|");
    EXPECT_EQ(runWithInput({"bank-csv"}, bank, environment()).standardOutput, rows);
    EXPECT_EQ(runWithInput({"check", userFile("bank-csv.toml"), statement}, {}, environment())
                  .standardOutput,
              rows);
}

TEST_F(RulesCommands, LearnSavesIntoTheKindsFolderButReplacesOnlyWhenForced) {
    const QByteArray example = notation::bytes("2024/11/03␣␣SHOP A␣␣1,500円|");
    const QStringList save = {"learn", "-", "--id", "shop-lines", "--save"};

    const ConvertOutcome first = runWithInput(save, example, environment());
    EXPECT_EQ(first.exitCode, 0) << first.standardError.toStdString();
    EXPECT_TRUE(first.standardOutput.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(userFile("shop-lines.toml")));
    // The saved kind is a kind of the next run.
    EXPECT_EQ(
        runWithInput({"shop-lines"}, notation::bytes("2024/12/01␣␣喫茶␣␣80円|"), environment())
            .standardOutput,
        notation::bytes("2024/12/01→喫茶→→→80|"));

    const ConvertOutcome again = runWithInput(save, example, environment());
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(again.standardError,
              QStringLiteral("tallemo-convert: %1 はもうあります。置き換えるときは --force を付けて"
                             "ください\n")
                  .arg(userFile("shop-lines.toml")));
    EXPECT_EQ(runWithInput(save + QStringList{"--force"}, example, environment()).exitCode, 0);
}

TEST_F(RulesCommands, CheckTakesAFileOfAnyNameAndSaysWhatTheFolderWillWant) {
    const QString rules = dir.filePath(QStringLiteral("draft.toml"));
    writeFile(rules, kTotals);
    const ConvertOutcome checked = runWithInput(
        {"check", rules, "-"}, notation::bytes("2024/11/03 total 1,500|"), environment());
    EXPECT_EQ(checked.exitCode, 0);
    EXPECT_EQ(checked.standardOutput, notation::bytes("2024/11/03→1500|"));
    EXPECT_EQ(checked.standardError,
              QStringLiteral("tallemo-convert: %1: kinds フォルダに入れるときは totals.toml という"
                             "名前にしてください\n"
                             "tallemo-convert: 1 件見つかりました。行にならなかったもの 0 件\n")
                  .arg(rules));
    // Without a statement too; the folder itself still refuses the file.
    const ConvertOutcome alone = runWithInput({"check", rules}, {}, environment());
    EXPECT_EQ(alone.exitCode, 0);
    EXPECT_TRUE(alone.standardError.contains(QStringLiteral("totals.toml という名前")));
}

// The ids the kinds folder refuses are refused before anything is written, with its words.
TEST_F(RulesCommands, LearnRefusesTheIdsTheKindsFolderRefuses) {
    const QByteArray example = notation::bytes("2024/11/03␣␣SHOP A␣␣1,500円|");
    struct Case {
        const char* id;
        const char* message;
    };
    for (const Case& c : {Case{"card", "id「card」は組み込みの書式の名前なので使えません"},
                          Case{"detect", "id「detect」は tallemo-convert のコマンド名なので使えま"
                                         "せん"},
                          Case{"Card-Mail", "id「Card-Mail」は小文字の英字で始め、小文字の英字、"
                                            "数字と「-」で書きます"}}) {
        const ConvertOutcome learned =
            runWithInput({"learn", "-", "--id", c.id, "--save"}, example, environment());
        EXPECT_EQ(learned.exitCode, 1) << c.id;
        EXPECT_EQ(learned.standardError,
                  QStringLiteral("tallemo-convert: ") + QString::fromUtf8(c.message) + u'\n');
        EXPECT_FALSE(QFileInfo::exists(userFile("card.toml")));
        EXPECT_TRUE(QDir(dir.filePath(QStringLiteral("kinds"))).isEmpty());
    }
    // A caption that spells a command's name gets another id.
    const ConvertOutcome fromCaption =
        runWithInput({"learn", "-", "--caption", "Help"}, example, environment());
    EXPECT_EQ(fromCaption.exitCode, 0) << fromCaption.standardError.toStdString();
    EXPECT_FALSE(fromCaption.standardOutput.contains("id = 'help'"));
}

TEST_F(RulesCommands, LearnWarnsOfACellThatBecomesFixedTextAndOfAProposalWithoutAnAmount) {
    const ConvertOutcome typo =
        runWithInput({"learn", "-", "--row", "2024/11/03\tSHOP B\t\t\t1500"},
                     notation::bytes("2024/11/03␣␣SHOP A␣␣1,500円|"), environment());
    EXPECT_EQ(typo.exitCode, 0);
    EXPECT_EQ(typo.standardError,
              QStringLiteral("tallemo-convert: セル 2「SHOP B」は例の中に見つかりません。どの行でも"
                             "「SHOP B」という決まった文字になります\n"));

    const ConvertOutcome noAmount = runWithInput(
        {"learn", "-"}, notation::bytes("■利用日: 2024/11/03|■利用先: SHOP A|"), environment());
    EXPECT_EQ(noAmount.exitCode, 0);
    EXPECT_EQ(noAmount.standardError,
              QStringLiteral("tallemo-convert: 例に金額が見つからないので、行に金額のセルが"
                             "ありません\n"));
}

TEST_F(RulesCommands, LearnFailsWithAReasonWhenNothingCanBeLearned) {
    const ConvertOutcome empty = runWithInput({"learn", "-"}, "\n\n", environment());
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_EQ(
        empty.standardError,
        QStringLiteral("tallemo-convert: 例の行がありません。明細の 1 件分の行を選んでください\n"));
    EXPECT_EQ(
        runWithInput({"learn", "-", "--row", "a\tb"}, "2024/11/03 x\n", environment()).exitCode, 1);
    EXPECT_EQ(runWithInput({"card", "--save"}, "", environment()).exitCode, 2);
    EXPECT_EQ(runWithInput({"learn", "-", "--literal", "0"}, "", environment()).exitCode, 2);
}

} // namespace
