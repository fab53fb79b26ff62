// One conversion through the window and through the companion: both only gather their input and
// show what the core's pipeline gives, so the rows on the clipboard and on standard output are the
// same, and so are the counts their messages give of copied rows and filled categories.
#include "../app/WindowHarness.h"
#include "../cli/CliTestSupport.h"

#include "settings/IniSettings.h"

#include <QCommandLinkButton>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tallemo::testing {
namespace {

using testing_support::runWithInput;
using testing_support::testEnvironment;

QString card(const QStringList& usages) {
    QString text = QStringLiteral("ご利用明細\r\n");
    for (const QString& usage : usages)
        text += usage + QStringLiteral("\r\n支払方法\t1回払い\r\n-\r\n-\r\n");
    return text + QStringLiteral("以上\r\n");
}

struct Case {
    const char* name;
    QString kind;
    QString statement;
    QByteArray sheet;          // spreadsheet rows learned before, or empty
    QByteArray rules;          // categories.toml, or empty
    QString earlier;           // a conversion of the same kind before, or empty
    QByteArray rows;           // what both deliver
    std::vector<QString> says; // what both messages say
};

void prepare(const Case& c, const QTemporaryDir& folder) {
    const ConvertEnvironment environment = testEnvironment(folder);
    WriteIniBoolean(environment.iniFileName, QStringLiteral("History"), QStringLiteral("NewOnly"),
                    true);
    if (!c.sheet.isEmpty()) {
        ASSERT_EQ(runWithInput({QStringLiteral("categories"), QStringLiteral("learn")}, c.sheet,
                               environment)
                      .exitCode,
                  0);
    }
    if (!c.rules.isEmpty()) {
        QFile rules(environment.categoryRulesFile);
        ASSERT_TRUE(rules.open(QIODevice::WriteOnly));
        rules.write(c.rules);
    }
    if (!c.earlier.isEmpty()) {
        ASSERT_EQ(
            runWithInput({c.kind, QStringLiteral("--new-only")}, c.earlier.toUtf8(), environment)
                .exitCode,
            0);
    }
}

TEST(FrontEnds, WindowAndCompanionGiveTheSameRowsAndCounts) {
    const QString cafe = QStringLiteral("2024/11/03\tCAFE ｺｰﾋｰ 123\t480 円");
    const QString books = QStringLiteral("2024/11/04\tBOOKS 5\t1,200 円");
    const QString shop = QStringLiteral("2024/11/05\tUNKNOWN SHOP\t300 円");
    const QByteArray sheet = "日付\t内容\t大分類\t小分類\t金額\n"
                             "2024/10/01\tCAFE ｺｰﾋｰ 77\t食費\t外食\t450\n"
                             "2024/10/08\tCAFE ｺｰﾋｰ 77\t食費\t外食\t500\n"
                             "2024/10/09\tBOOKS 2\t教養\t書籍\t900\n";
    const std::vector<Case> cases = {
        {"nothing learned: the rows as ever",
         QStringLiteral("card"),
         card({cafe, books}),
         {},
         {},
         {},
         "2024/11/03\tCAFE ｺｰﾋｰ 123\t\t\t480\r\n2024/11/04\tBOOKS 5\t\t\t1,200\r\n",
         {QStringLiteral("2 行")}},
        {"learned shops filled, a new one left empty",
         QStringLiteral("card"),
         card({cafe, shop}),
         sheet,
         {},
         {},
         "2024/11/03\tCAFE ｺｰﾋｰ 123\t食費\t外食\t480\r\n2024/11/05\tUNKNOWN SHOP\t\t\t300\r\n",
         {QStringLiteral("1 行に分類を入れました"),
          QStringLiteral("1 行は確かでないので空欄です")}},
        {"a shop with no known word filled by an amount only one choice explains",
         QStringLiteral("card"),
         card({QStringLiteral("2024/11/06\tﾗｳﾄ ﾌﾟﾛﾊﾟﾃｨ\t80,000 円"), shop}),
         sheet + "2024/09/27\tRIVERBANK\t住居\t家賃\t80000\n"
                 "2024/10/27\tRIVERBANK\t住居\t家賃\t80000\n",
         {},
         {},
         "2024/11/06\tﾗｳﾄ ﾌﾟﾛﾊﾟﾃｨ\t住居\t家賃\t80,000\r\n2024/11/05\tUNKNOWN SHOP\t\t\t300\r\n",
         {QStringLiteral("1 行に分類を入れました"),
          QStringLiteral("1 行は確かでないので空欄です")}},
        {"a rule before what was learned",
         QStringLiteral("card"),
         card({cafe}),
         sheet,
         "[[rule]]\nmatch = 'cafe'\ncells = ['交際費', 'カフェ']\n",
         {},
         "2024/11/03\tCAFE ｺｰﾋｰ 123\t交際費\tカフェ\t480\r\n",
         {QStringLiteral("1 行に分類を入れました")}},
        {"copied before: left out, the new row filled",
         QStringLiteral("card"),
         card({cafe, books}),
         sheet,
         {},
         card({cafe}),
         "2024/11/04\tBOOKS 5\t教養\t書籍\t1,200\r\n",
         {QStringLiteral("コピー済みの 1 行を除きました"),
          QStringLiteral("1 行に分類を入れました")}},
        {"a mail's usage is copied when the statement brings it",
         QStringLiteral("card"),
         card({cafe, books}),
         {},
         {},
         {},
         "2024/11/04\tBOOKS 5\t\t\t1,200\r\n",
         {QStringLiteral("コピー済みの 1 行を除きました")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The last case's earlier conversion is a mail of another kind.
        const Case& given = c;
        const bool fromMail = QByteArray(c.name).startsWith("a mail");

        const QTemporaryDir windowFolder;
        prepare(given, windowFolder);
        const QTemporaryDir companionFolder;
        prepare(given, companionFolder);
        if (fromMail) {
            for (const QTemporaryDir* folder : {&windowFolder, &companionFolder})
                ASSERT_EQ(
                    runWithInput({QStringLiteral("card-mail-line"), QStringLiteral("--new-only")},
                                 "2024/11/03  CAFE ｺｰﾋｰ 123  480円\r\n", testEnvironment(*folder))
                        .exitCode,
                    0);
        }

        MemoryClipboard clipboard;
        WindowHarness harness(&clipboard, windowFolder.path());
        harness.setText(c.statement);
        harness.window->Button1->click(); // the card statement's button
        const QString message = harness.window->message();

        const ConvertOutcome companion =
            runWithInput({c.kind, QStringLiteral("--new-only")}, c.statement.toUtf8(),
                         testEnvironment(companionFolder));
        EXPECT_EQ(companion.exitCode, 0) << companion.standardError.toStdString();
        EXPECT_EQ(clipboard.content().value_or(QString()).toUtf8(), c.rows)
            << message.toStdString();
        EXPECT_EQ(companion.standardOutput, c.rows) << companion.standardError.toStdString();
        for (const QString& said : c.says) {
            EXPECT_TRUE(message.contains(said)) << message.toStdString();
            if (!said.endsWith(u"行")) {
                EXPECT_TRUE(companion.standardError.contains(said))
                    << companion.standardError.toStdString();
            }
        }
    }
}

} // namespace
} // namespace tallemo::testing
