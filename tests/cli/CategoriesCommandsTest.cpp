// The companion's categories commands, in-process, on real files in a temporary folder.
#include "cli/CategoriesCommands.h"
#include "cli/CliTestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

namespace tallemo {
namespace {

using testing_support::runWithInput;
using testing_support::testEnvironment;
using testing_support::u8;

const QByteArray kSheet = "日付\t内容\t大項目\t小項目\t金額\n"
                          "2025/06/01\tローソン 町田店\t食費\tコンビニ\t540\n"
                          "2025/06/02\tローソン 渋谷店\t食費\tコンビニ\t320\n"
                          "2025/06/03\t東京電力\t水道光熱費\t電気\t5,000\n"
                          "2025/06/04\tドトール\t\t\t300\n";

TEST(CategoriesCommandsTest, LearnListFillAndForget) {
    const QTemporaryDir folder;
    const ConvertEnvironment environment = testEnvironment(folder);
    const struct {
        QStringList arguments;
        QByteArray input;
        int exitCode;
        const char* output;
        const char* error;
    } steps[] = {
        {{"categories"}, {}, 0, "", ""},
        {{"categories", "learn"},
         "header only\n",
         1,
         "",
         "分類: 分類の入った表の行がありませんでした"
         "。表の行でない 1 行は飛ばしました\n"},
        {{"categories", "learn", "-"},
         kSheet,
         0,
         "",
         "分類: 3 行から覚えました（新しい説明 3 件、変わった分類 0 件）。分類のない 1 行と表の行で"
         "ない 1 行は飛ばしました\n"},
        {{"categories"},
         {},
         0,
         "ローソン 渋谷店\t食費\tコンビニ\t1\t2025-06-02\nローソン 町田店\t食費\tコンビニ\t1\t2025-"
         "06-01\n東京電力\t水道光熱費\t電気\t1\t2025-06-03\n",
         ""},
        {{"fill"},
         "2025/07/01\tﾛ-ｿﾝ 99\t\t\t100\r\n2025/07/02\tスタバ\t\t\t500\r\nメモ\r\n",
         0,
         "2025/07/01\tﾛ-ｿﾝ 99\t食費\tコンビニ\t100\r\n2025/07/02\tスタバ\t\t\t500\r\nメモ\r\n",
         "分類: 1 行に分類を入れました。1 行は確かでないので空欄です\n"},
        {{"categories", "forget", "東京電力"},
         {},
         0,
         "",
         "分類: 「東京電力」を忘れました（1 行）\n"},
        {{"categories", "forget", "東京電力"}, {}, 1, "", "分類: 「東京電力」は覚えていません\n"},
        {{"categories", "forget"}, {}, 0, "", "分類: 覚えた分類をすべて忘れました\n"},
        {{"categories"}, {}, 0, "", ""},
        {{"categories", "unlearn"}, {}, 2, "", nullptr},
        {{"fill", "a", "b"}, {}, 2, "", nullptr},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.arguments.join(u' ').toStdString());
        const ConvertOutcome outcome = runWithInput(step.arguments, step.input, environment);
        EXPECT_EQ(outcome.exitCode, step.exitCode) << outcome.standardError.toStdString();
        EXPECT_EQ(outcome.standardOutput, QByteArray(step.output));
        if (step.error != nullptr) {
            EXPECT_EQ(outcome.standardError, u8(step.error));
        }
    }
}

// The user's rules come first, and a broken rules file is said while what was learned fills.
TEST(CategoriesCommandsTest, RulesFirstAndABrokenRulesFileLeavesLearningWorking) {
    const QTemporaryDir folder;
    const ConvertEnvironment environment = testEnvironment(folder);
    ASSERT_EQ(runWithInput({"categories", "learn"}, kSheet, environment).exitCode, 0);
    const QByteArray rows = "2025/07/01\tﾛｰｿﾝ 町田店 0123\t\t\t100\n";
    const auto writeRules = [&](const QByteArray& text) {
        QFile rules(environment.categoryRulesFile);
        ASSERT_TRUE(rules.open(QIODevice::WriteOnly | QIODevice::Truncate));
        rules.write(text);
    };
    writeRules("[[rule]]\nmatch = 'ローソン'\ncells = [\"食費\", \"おやつ\"]\n");
    EXPECT_EQ(runWithInput({"fill"}, rows, environment).standardOutput,
              QByteArray("2025/07/01\tﾛｰｿﾝ 町田店 0123\t食費\tおやつ\t100\n"));
    writeRules("[[rule]]\nmatch = 'ローソン('\ncells = [\"食費\", \"おやつ\"]\n");
    const ConvertOutcome broken = runWithInput({"fill"}, rows, environment);
    EXPECT_EQ(broken.standardOutput,
              QByteArray("2025/07/01\tﾛｰｿﾝ 町田店 0123\t食費\tコンビニ\t100\n"));
    EXPECT_TRUE(
        broken.standardError.startsWith(environment.categoryRulesFile + QStringLiteral(":2:9: ")))
        << broken.standardError.toStdString();
}

TEST(CategoriesCommandsTest, FillFollowsTheOptionOrTheWindowsSetting) {
    const QTemporaryDir folder;
    const ConvertEnvironment environment = testEnvironment(folder);
    EXPECT_TRUE(fillWanted(std::nullopt, environment.iniFileName));
    EXPECT_FALSE(fillWanted(false, environment.iniFileName));
    QFile ini(environment.iniFileName + QStringLiteral(".ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Categories]\r\nFill=0\r\n");
    ini.close();
    EXPECT_FALSE(fillWanted(std::nullopt, environment.iniFileName));
    EXPECT_TRUE(fillWanted(true, environment.iniFileName));
}

} // namespace
} // namespace tallemo
