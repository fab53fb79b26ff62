#include "CliTestSupport.h"

#include "converters/StatementKinds.h"
#include "settings/IniSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <string_view>

using namespace tallemo;
using namespace tallemo::testing_support;
using namespace std::string_view_literals;

namespace {

const QString kNoSetting;

template <class Case> std::string caseName(const testing::TestParamInfo<Case>& param) {
    return param.param.name;
}

struct RemarkCase {
    const char* name;
    const char* kind;
    QString section; // the setting stored before the run, if any
    QString key;
    bool stored;
    QStringList flags;
    bool expectRemark;
};

class RemarkSwitch : public testing::TestWithParam<RemarkCase> {};

TEST_P(RemarkSwitch, FollowsTheFlagOrTheWindowsSetting) {
    const RemarkCase& c = GetParam();
    QTemporaryDir dir;
    const ConvertEnvironment environment = testEnvironment(dir);
    if (!c.section.isEmpty())
        WriteIniBoolean(environment.iniFileName, c.section, c.key, c.stored);

    const bool view = QLatin1String(c.kind) == QLatin1String("view");
    const QByteArray statement = view ? notation::bytes("2024|12/01xx→CAFE→REF|1,500|END|")
                                      : notation::bytes("2024/12/05→MILK→1,280 円|");
    const QByteArray row = view ? notation::bytes("2024/12/01→CAFE→→→1,500")
                                : notation::bytes("2024/12/05→MILK→→→1,280");
    const QByteArray remark = view ? notation::bytes("→Suica|") : notation::bytes("→保険|");

    const ConvertOutcome outcome =
        runWithInput(QStringList{QLatin1String(c.kind)} + c.flags, statement, environment);
    EXPECT_EQ(outcome.exitCode, 0) << outcome.standardError.toStdString();
    EXPECT_EQ(outcome.standardOutput, row + (c.expectRemark ? remark : notation::bytes("|")));
}

INSTANTIATE_TEST_SUITE_P(
    Table, RemarkSwitch,
    testing::Values(
        RemarkCase{"ViewNoSettingsFile", "view", kNoSetting, kNoSetting, false, {}, false},
        RemarkCase{"ViewSettingOn", "view", "View", "Suica", true, {}, true},
        RemarkCase{"ViewSettingOnFlagOff", "view", "View", "Suica", true, {"--no-remark"}, false},
        RemarkCase{"ViewSettingOffFlagOn", "view", "View", "Suica", false, {"--remark"}, true},
        RemarkCase{"ViewIgnoresCoopSetting", "view", "seikyo", "hoken", true, {}, false},
        RemarkCase{"CoopNoSettingsFile", "coop", kNoSetting, kNoSetting, false, {}, false},
        RemarkCase{"CoopSettingOn", "coop", "seikyo", "hoken", true, {}, true},
        RemarkCase{"CoopSettingOnFlagOff", "coop", "seikyo", "hoken", true, {"--no-remark"}, false},
        RemarkCase{
            "CoopNoSettingsFileFlagOn", "coop", kNoSetting, kNoSetting, false, {"--remark"}, true},
        RemarkCase{"CoopIgnoresViewSetting", "coop", "View", "Suica", true, {}, false},
        RemarkCase{"LastFlagWins",
                   "coop",
                   kNoSetting,
                   kNoSetting,
                   false,
                   {"--remark", "--no-remark"},
                   false}),
    caseName<RemarkCase>);

const char* const kForeignStatement =
    "見本ホールディングス|数量 200株|1株あたり 0.50|入金額 100.00 USD|";

TEST(ForeignRate, IsFetchedWithTheWindowsApiKeyWhenNotGiven) {
    QTemporaryDir dir;
    HttpAnswer answer;
    answer.received = true;
    answer.status = 200;
    answer.contentType = "application/json";
    answer.body = R"({"success":true,"rates":{"JPY":161.8,"USD":1.04}})";
    QList<QUrl> requests;
    const ConvertEnvironment environment = testEnvironment(dir, answer, &requests);
    WriteIniString(environment.iniFileName, QStringLiteral("exchangeratesapi"),
                   QStringLiteral("APIKey"), QStringLiteral("k123"));

    const ConvertOutcome outcome = runWithInput({"foreign", "--date", "2025/01/15"},
                                                notation::bytes(kForeignStatement), environment);

    EXPECT_EQ(outcome.exitCode, 0) << outcome.standardError.toStdString();
    EXPECT_EQ(outcome.standardError, QString());
    const QByteArray row =
        notation::bytes("2025/01/15→配当米国→見本ホールディングス→→-15558→155.6|");
    EXPECT_EQ(outcome.standardOutput, row);
    EXPECT_EQ(outcome.areaText, notation::bytes(kForeignStatement) +
                                    R"({"success":true,"rates":{"JPY":161.8,"USD":1.04}})" +
                                    "\r\n" + row + "\r\n");
    ASSERT_EQ(requests.size(), 1);
    EXPECT_TRUE(requests[0].query().contains(QStringLiteral("access_key=k123")))
        << requests[0].toString().toStdString();
}

// The window only adds the failure line to the text; a script has to be told.
TEST(ForeignRate, FailedFetchIsAnErrorWithTheFailureLineAndWhy) {
    QTemporaryDir dir;
    const ConvertOutcome outcome =
        runWithInput({"foreign", "--date", "2025/01/15"}, notation::bytes(kForeignStatement),
                     testEnvironment(dir, HttpAnswer{}));
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.standardError,
              kRateFailureLine + QStringLiteral("\ntallemo-convert: 接続できません\n"));
    EXPECT_TRUE(outcome.standardOutput.isEmpty());
    EXPECT_EQ(outcome.areaText,
              notation::bytes(kForeignStatement) + kRateFailureLine.toUtf8() + "\r\n");
}

// --rate is always written with "."; amounts and the rate column follow the regional separator,
// also when --date replaces the date.
TEST(ForeignRate, GivenRateKeepsTheRegionalDecimalSeparator) {
    QTemporaryDir dir;
    ConvertEnvironment environment = testEnvironment(dir);
    environment.regional = Regional::fixed(QStringLiteral("15.01.2025"), QStringLiteral(","));
    const ConvertOutcome outcome =
        runWithInput({"foreign", "--date", "2025/01/15", "--rate", "150.5"},
                     notation::bytes("N|x|y|入金額 100,00 USD|"), environment);
    EXPECT_EQ(outcome.exitCode, 0) << outcome.standardError.toStdString();
    EXPECT_EQ(outcome.standardOutput, notation::bytes("2025/01/15→配当米国→N→→-15050→150,5|"));
}

struct InputCase {
    const char* name;
    std::string_view bytes;
    const char* area;
};

class StatementInput : public testing::TestWithParam<InputCase> {};

// A statement enters the text area as a paste would: cut at the first NUL, every kind of line
// break made CR LF.
TEST_P(StatementInput, EntersTheTextAreaAsAPaste) {
    const InputCase& c = GetParam();
    QTemporaryDir dir;
    const ConvertOutcome outcome =
        runWithInput({"card"}, QByteArray(c.bytes.data(), static_cast<qsizetype>(c.bytes.size())),
                     testEnvironment(dir));
    EXPECT_EQ(outcome.exitCode, 0) << outcome.standardError.toStdString();
    EXPECT_EQ(outcome.areaText, notation::bytes(c.area));
}

INSTANTIATE_TEST_SUITE_P(
    Table, StatementInput,
    testing::Values(InputCase{"Empty", ""sv, ""},
                    InputCase{"MixedBreaks", "a\rb\nc\r\nd\r\r\n"sv, "a|b|c|d||"},
                    InputCase{"CutAtFirstNul", "a\nb\0c\nd"sv, "a|b"},
                    InputCase{"ByteOrderMarkDropped", "\xEF\xBB\xBF支払\n"sv, "支払|"},
                    InputCase{"ParagraphSeparatorBreaks", "a\xE2\x80\xA9z"sv, "a|z"},
                    InputCase{"ShiftJis", "\x97\x98\x97\x70\x93\xfa\r\n\x87\x40\0x"sv, "利用日|①"},
                    InputCase{"Utf16WithItsMark", "\xFF\xFE\x2f\x65\x55\x62\r\0\n\0"sv, "支払|"}),
    caseName<InputCase>);

TEST(StatementInput, BytesNoEncodingTakesAreRefusedWithWhereUtf8Breaks) {
    QTemporaryDir dir;
    const QString areaPath = dir.filePath(QStringLiteral("area.txt"));
    // Shift_JIS until 0x80, which is no Windows-31J byte.
    const ConvertOutcome outcome =
        runWithInput({"card", "--area", areaPath}, "ok\n\x82\xa0\x80\n", testEnvironment(dir));
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.standardError,
              QStringLiteral("tallemo-convert: standard input: neither UTF-8 nor Windows-31J: "
                             "byte 3 (line 2) is not valid UTF-8\n"));
    EXPECT_TRUE(outcome.standardOutput.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(areaPath));
}

TEST(StatementInput, MissingFileIsAnError) {
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("missing.txt"));
    const ConvertOutcome outcome = runWithInput({"card", missing}, "", testEnvironment(dir));
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_TRUE(outcome.standardError.startsWith(
        QStringLiteral("tallemo-convert: cannot read %1: ").arg(missing)))
        << outcome.standardError.toStdString();
    EXPECT_TRUE(outcome.standardOutput.isEmpty());
}

TEST(AreaFile, UnwritableAreaIsAnErrorButTheRowsAreStillWritten) {
    QTemporaryDir dir;
    const QString areaPath = dir.filePath(QStringLiteral("no/such/folder/area.txt"));
    const ConvertOutcome outcome =
        runWithInput({"coop", "--no-remark", "--area", areaPath},
                     notation::bytes("2024/12/05→MILK→1,280 円"), testEnvironment(dir));
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_TRUE(outcome.standardError.startsWith(
        QStringLiteral("tallemo-convert: cannot write %1: ").arg(areaPath)))
        << outcome.standardError.toStdString();
    EXPECT_EQ(outcome.standardOutput, notation::bytes("2024/12/05→MILK→→→1,280|"));
}

// The program itself keeps no area text it is not asked for; --area still gets it.
// Without --area the rows go to the program's standard output while they are made, a stretch at a
// time, except where an error can still follow them: the US dividends wait for the last amount.
TEST(RowsAlone, AreWrittenAsTheyAreMadeWhereNoErrorCanFollowThem) {
    for (const StatementKind& kind : builtInKinds()) {
        QTemporaryDir dir;
        QStringList arguments{kind.id};
        if (kind.needsDate)
            arguments << QStringLiteral("--date") << QStringLiteral("2025/01/15");
        if (kind.needsRate)
            arguments << QStringLiteral("--rate") << QStringLiteral("150");
        // Rows of well over 64 KiB.
        const QByteArray statement = sampleStatement(kind, 5000).toUtf8();
        ConvertEnvironment kept = testEnvironment(dir);
        kept.keepAreaText = false;
        const ConvertOutcome whole = runWithInput(arguments, statement, kept);
        ASSERT_EQ(whole.exitCode, 0) << whole.standardError.toStdString();

        ConvertEnvironment writing = kept;
        QByteArray written;
        int writes = 0;
        writing.writeRows = [&](QByteArrayView rows) {
            written.append(rows);
            ++writes;
        };
        const ConvertOutcome streamed = runWithInput(arguments, statement, writing);

        EXPECT_EQ(streamed.exitCode, 0) << kind.id.toStdString();
        EXPECT_EQ(written + streamed.standardOutput, whole.standardOutput) << kind.id.toStdString();
        if (kind.canFailAfterRows)
            EXPECT_EQ(writes, 0) << kind.id.toStdString();
        else
            EXPECT_GT(writes, 1) << kind.id.toStdString();
    }
}

TEST(RowsAlone, NoneAreWrittenWhenTheLastDollarAmountIsNoNumber) {
    QTemporaryDir dir;
    ConvertEnvironment environment = testEnvironment(dir);
    environment.keepAreaText = false;
    QByteArray written;
    environment.writeRows = [&written](QByteArrayView rows) { written.append(rows); };
    const QByteArray statement =
        sampleStatement(*findBuiltInKind(u"foreign"), 5000).toUtf8() +
        u8("SAMPLE\n数量 1株\n1株あたり 0.50\n入金額 1.2.3 USD\n").toUtf8();

    const ConvertOutcome outcome =
        runWithInput({"foreign", "--date", "2025/01/15", "--rate", "150"}, statement, environment);

    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_TRUE(written.isEmpty());
    EXPECT_TRUE(outcome.standardOutput.isEmpty());
}

TEST(AreaFile, TheAreaTextIsMadeOnlyForAreaWhenTheEnvironmentDoesNotKeepIt) {
    QTemporaryDir dir;
    ConvertEnvironment environment = testEnvironment(dir);
    environment.keepAreaText = false;
    const QByteArray statement = notation::bytes("2024/12/05→MILK→1,280 円|TOTAL|");
    const ConvertOutcome quiet = runWithInput({"coop", "--no-remark"}, statement, environment);
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.standardOutput, notation::bytes("2024/12/05→MILK→→→1,280|"));
    EXPECT_TRUE(quiet.areaText.isEmpty());

    const QString areaPath = dir.filePath(QStringLiteral("area.txt"));
    const ConvertOutcome asked =
        runWithInput({"coop", "--no-remark", "--area", areaPath}, statement, environment);
    EXPECT_EQ(asked.standardOutput, quiet.standardOutput);
    EXPECT_EQ(asked.areaText, notation::bytes("2024/12/05→MILK→→→1,280|TOTAL|"));
    QFile area(areaPath);
    ASSERT_TRUE(area.open(QIODevice::ReadOnly));
    EXPECT_EQ(area.readAll(), asked.areaText);
}

struct ArgumentsCase {
    const char* name;
    QStringList arguments;
    const char* row; // standard output for the domestic statement on standard input
};

class ArgumentForms : public testing::TestWithParam<ArgumentsCase> {};

TEST_P(ArgumentForms, AreAccepted) {
    const ArgumentsCase& c = GetParam();
    QTemporaryDir dir;
    const ConvertOutcome outcome = runWithInput(
        c.arguments, notation::bytes("銘柄名　　　　　　：見本電機|入金額　　　　　　：820円"),
        testEnvironment(dir));
    EXPECT_EQ(outcome.exitCode, 0) << outcome.standardError.toStdString();
    EXPECT_EQ(outcome.standardOutput, notation::bytes(c.row));
}

INSTANTIATE_TEST_SUITE_P(Table, ArgumentForms,
                         testing::Values(ArgumentsCase{"DefaultDateFromRegionalSettings",
                                                       {"domestic"},
                                                       "(today)→配当国内→見本電機→→-820|"},
                                         ArgumentsCase{"DateSeparate",
                                                       {"domestic", "--date", "2025/02/01"},
                                                       "2025/02/01→配当国内→見本電機→→-820|"},
                                         ArgumentsCase{"DateAttachedBeforeKind",
                                                       {"--date=2025/02/01", "domestic", "-"},
                                                       "2025/02/01→配当国内→見本電機→→-820|"},
                                         ArgumentsCase{"DashDashEndsOptions",
                                                       {"domestic", "--date", "1", "--", "-"},
                                                       "1→配当国内→見本電機→→-820|"}),
                         caseName<ArgumentsCase>);

struct UsageCase {
    const char* name;
    QStringList arguments;
    const char* problem;
};

class UsageErrors : public testing::TestWithParam<UsageCase> {};

TEST_P(UsageErrors, PrintTheProblemAndTheUsage) {
    const UsageCase& c = GetParam();
    QTemporaryDir dir;
    const ConvertOutcome outcome = runWithInput(c.arguments, "", testEnvironment(dir));
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_TRUE(outcome.standardError.startsWith(
        QStringLiteral("tallemo-convert: %1\nUsage: ").arg(QString::fromUtf8(c.problem))))
        << outcome.standardError.toStdString();
    EXPECT_TRUE(outcome.standardOutput.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, UsageErrors,
    testing::Values(
        UsageCase{"NoKind", {}, "no statement kind given"},
        UsageCase{"UnknownKind", {"rakuten"}, "unknown statement kind 'rakuten'"},
        UsageCase{"TooManyArguments", {"card", "a", "b"}, "unexpected argument 'b'"},
        UsageCase{"UnknownOption", {"card", "--frobnicate"}, "Unknown option 'frobnicate'."},
        UsageCase{"MissingValue", {"card", "--area"}, "Missing value after '--area'."},
        UsageCase{
            "SwitchWithValue", {"view", "--remark=yes"}, "Unexpected value after '--remark'."},
        UsageCase{"DetectTakesNoConversionOptions",
                  {"detect", "--date", "x"},
                  "--date does not apply to detect"},
        UsageCase{"RateForOtherKind", {"card", "--rate", "150"}, "--rate applies to foreign only"},
        UsageCase{"RateNotANumber",
                  {"foreign", "--rate", "1,50"},
                  "--rate: '1,50' is not a positive number of yen per dollar"},
        UsageCase{"RateZero",
                  {"foreign", "--rate", "0"},
                  "--rate: '0' is not a positive number of yen per dollar"},
        UsageCase{"RateInfinite",
                  {"foreign", "--rate", "1e999"},
                  "--rate: '1e999' is not a positive number of yen per dollar"},
        UsageCase{"RemarkForOtherKind",
                  {"domestic", "--remark"},
                  "--remark and --no-remark apply to view and coop only"},
        UsageCase{"DateWithTab",
                  {"domestic", "--date", "2025\t01"},
                  "--date: the date text must not hold TABs or line breaks"}),
    caseName<UsageCase>);

TEST(Detect, ListsTheKindsTheTextLooksLikeBestFirstAndNothingForProse) {
    QTemporaryDir dir;
    const ConvertOutcome card =
        runWithInput({"detect"}, notation::bytes("2024/11/03→STORE→1,500 円|支払方法→1回払い|x|y|"),
                     testEnvironment(dir));
    EXPECT_EQ(card.exitCode, 0);
    EXPECT_EQ(card.standardOutput, QByteArray("card\t1\n"));

    const ConvertOutcome prose =
        runWithInput({"detect", "-"}, "hello\nworld\n", testEnvironment(dir));
    EXPECT_EQ(prose.exitCode, 0);
    EXPECT_EQ(prose.standardOutput, QByteArray());
    EXPECT_EQ(prose.standardError, QString());
}

TEST(Notice, AStatementConvertedByTheWrongKindNamesTheKindItLooksLike) {
    QTemporaryDir dir;
    const ConvertOutcome outcome = runWithInput(
        {"card"}, notation::bytes("STATEMENT|2024/12/05→MILK→1,280 円|2024/12/12→BREAD→640 円|"),
        testEnvironment(dir));
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.standardOutput, QByteArray());
    EXPECT_EQ(outcome.standardError,
              QStringLiteral("tallemo-convert: 楽天カード (card) の明細が見つかりませんでした。"
                             "生協 (coop) の明細のようです\n"));
}

// A file is recognised only when it gives no rows, and then read a second time; what the notice
// says must not depend on that.
TEST(Notice, IsTheSameForAFileAsForStandardInput) {
    QTemporaryDir dir;
    const QByteArray statement =
        notation::bytes("STATEMENT|2024/12/05→MILK→1,280 円|2024/12/12→BREAD→640 円|");
    const QString path = dir.filePath(QStringLiteral("statement.txt"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(statement), statement.size());
    file.close();
    const QStringList commands[] = {{"card"}, {"domestic", "--date", "d"}, {"view", "--no-remark"}};
    for (const QStringList& command : commands) {
        const ConvertOutcome fromFile =
            runWithInput(command + QStringList{path}, {}, testEnvironment(dir));
        const ConvertOutcome fromInput = runWithInput(command, statement, testEnvironment(dir));
        EXPECT_FALSE(fromFile.standardError.isEmpty()) << command.front().toStdString();
        EXPECT_EQ(fromFile.standardError, fromInput.standardError) << command.front().toStdString();
        EXPECT_EQ(fromFile.areaText, fromInput.areaText) << command.front().toStdString();
    }
}

TEST(Help, WinsOverEverythingElse) {
    QTemporaryDir dir;
    for (const QStringList& arguments :
         {QStringList{"--help"}, QStringList{"card", "-h"}, QStringList{"bogus", "--help"}}) {
        const ConvertEnvironment environment = testEnvironment(dir);
        const ConvertOutcome outcome = runWithInput(arguments, "", environment);
        EXPECT_EQ(outcome.exitCode, 0);
        EXPECT_EQ(outcome.standardOutput,
                  (convertHelpText(*environment.kinds, environment.kindFolders) +
                   QStringLiteral("\nSettings file used: %1\n")
                       .arg(dir.filePath(QStringLiteral("Tallemo.ini"))))
                      .toUtf8());
        EXPECT_TRUE(outcome.standardError.isEmpty());
    }
}

} // namespace
