// Recognising what was pasted: every kind's recogniser against every kind's statements.
#include "converters/StatementKinds.h"
#include "AppError.h"
#include "converters/ConversionReport.h"
#include "text/LineModel.h"

#include "support/Notation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <gtest/gtest.h>

#include <vector>

using namespace tallemo;

namespace {

ConvertContext fixedContext() {
    return ConvertContext{Regional::fixed(QStringLiteral("2025/01/15")),
                          [](LineModel&) -> std::optional<double> { return 155.6; }, false};
}

// The rows a kind's converter makes of the text, or -1 when it ends in the error box.
int rowsMadeBy(const StatementKind& kind, const QString& text) {
    LineModel lines(text);
    try {
        const std::optional<OutputList> rows = kind.convert(lines, fixedContext());
        return rows ? rows->count() : 0;
    } catch (const AppError&) {
        return -1;
    }
}

QStringList rankedIds(const QString& text) {
    QStringList ids;
    for (const RankedKind& ranked : KindRegistry::builtIn()->rank(LineModel(text)))
        ids << ranked.kind->id;
    return ids;
}

struct Fixture {
    QString kind;
    QString name;
    QString text;
};

std::vector<Fixture> allFixtures() {
    std::vector<Fixture> fixtures;
    const QString root = qEnvironmentVariable("TALLEMO_FIXTURES");
    for (const StatementKind& kind : builtInKinds()) {
        const QDir dir(root + u'/' + kind.id);
        for (const QFileInfo& file : dir.entryInfoList({QStringLiteral("*.txt")}, QDir::Files)) {
            QFile in(file.filePath());
            if (in.open(QIODevice::ReadOnly))
                fixtures.push_back({kind.id, file.completeBaseName(),
                                    normaliseLineBreaks(QString::fromUtf8(in.readAll()))});
        }
    }
    return fixtures;
}

// Fixtures that hold no entry their converter would turn into a row, or only entries in a shape
// no web page gives them: they look like no kind at all.
const QSet<QString> kLookLikeNone = {
    QStringLiteral("card/no-marker"),
    // A notification mail: a kind of the rules files that come with the program.
    QStringLiteral("card/notification-mail-one-line"),
    QStringLiteral("card/odd-main-lines"),
    QStringLiteral("domestic/no-amount"),
    QStringLiteral("foreign/amount-in-first-three-lines"),
    QStringLiteral("foreign/no-amount"),
    QStringLiteral("view/last-block-needs-a-line-after"),
    QStringLiteral("view/odd-year-and-date-lines"),
};

TEST(Recognition, EveryFixtureLooksLikeItsOwnKindOnlyOrLikeNone) {
    const std::vector<Fixture> fixtures = allFixtures();
    ASSERT_GE(fixtures.size(), 20U) << "fixtures not found: is TALLEMO_FIXTURES set?";
    for (const Fixture& fixture : fixtures) {
        const QString name = fixture.kind + u'/' + fixture.name;
        const QStringList expected =
            kLookLikeNone.contains(name) ? QStringList() : QStringList{fixture.kind};
        EXPECT_EQ(rankedIds(fixture.text), expected) << name.toStdString();
    }
}

// The recogniser's count is what the user is told was found, so it must be the converter's.
TEST(Recognition, EntriesAreTheRowsTheConverterMakesOfEveryFixtureWithEveryKind) {
    for (const Fixture& fixture : allFixtures()) {
        for (const StatementKind& kind : builtInKinds()) {
            const int rows = rowsMadeBy(kind, fixture.text);
            if (rows < 0)
                continue; // an amount that is no number: the command ends in the error box
            EXPECT_EQ(kind.recognise(LineModel(fixture.text)).entries, rows)
                << kind.id.toStdString() << " on " << fixture.kind.toStdString() << '/'
                << fixture.name.toStdString();
        }
    }
}

TEST(Recognition, GeneratedStatementsAreRecognisedWithAllTheirEntries) {
    for (const StatementKind& kind : builtInKinds()) {
        const QString text = sampleStatement(kind, 25);
        const std::vector<RankedKind> ranked = KindRegistry::builtIn()->rank(LineModel(text));
        ASSERT_EQ(ranked.size(), 1U) << kind.id.toStdString();
        EXPECT_EQ(ranked[0].kind, &kind);
        EXPECT_EQ(ranked[0].recognition.entries, 25);
        EXPECT_EQ(rowsMadeBy(kind, text), 25) << kind.id.toStdString();
    }
}

// Copied from a page that lost its TABs, a statement converts into junk rows: it must not pass.
TEST(Recognition, StatementsWithSpacesInPlaceOfTabsLookLikeNothing) {
    for (const StatementKind& kind : builtInKinds()) {
        const QString text = sampleStatement(kind, 10);
        if (!text.contains(u'\t'))
            continue; // the dividend notices have no TABs to lose
        QString spaced = text;
        spaced.replace(u'\t', QStringLiteral("  "));
        EXPECT_EQ(rankedIds(spaced), QStringList()) << kind.id.toStdString();
    }
}

TEST(Recognition, MailsProseAndEmptyTextLookLikeNothing) {
    using notation::textOf;
    const std::vector<QString> texts = {
        QString(),
        QStringLiteral("\r\n\r\n"),
        textOf(
            {"いつもご利用ありがとうございます。", "本日は晴れ。", "2024年も宜しくお願いします。"}),
        // A card company's usage notification mail, not the usage statement page.
        textOf({"【楽天カード】カード利用のお知らせ", "■ご利用日：2024/11/03",
                "■ご利用先：SAMPLE STORE", "ご利用金額：1,500円", "支払方法：1回払い",
                "■ご利用者：本人", "", "2025年1月27日にお支払いとなります。"}),
        textOf({"■ご利用日：2024/11/03", "■ご利用金額：1,500円", "■支払方法：1回払い",
                "■ご利用日：2024/11/05", "■ご利用金額：480円", "■支払方法：1回払い"}),
    };
    for (const QString& text : texts)
        EXPECT_EQ(rankedIds(text), QStringList()) << text.toStdString();
}

TEST(Recognition, CardAndCoopStatementsAreToldApart) {
    const StatementKind& card = *findBuiltInKind(u"card");
    const StatementKind& coop = *findBuiltInKind(u"coop");
    // A card statement's main lines begin with "20" like the co-op's purchase lines.
    EXPECT_EQ(rankedIds(sampleStatement(card, 5) + sampleStatement(coop, 1)),
              QStringList{QStringLiteral("card")});
    EXPECT_EQ(rankedIds(sampleStatement(coop, 5)), QStringList{QStringLiteral("coop")});
}

struct MessageCase {
    const char* name;
    const char* kind;
    std::optional<int> rows;
    std::optional<QString> rateFailure;
    bool looksRight;
    const char* suggested;
    bool textChanged;
    QString window;
    QString commandLine;
};

class ConversionMessages : public testing::TestWithParam<MessageCase> {};

TEST_P(ConversionMessages, SayWhatHappenedInOneLine) {
    const MessageCase& c = GetParam();
    ConversionReport report;
    report.kind = findBuiltInKind(QString::fromUtf8(c.kind));
    report.rows = c.rows;
    report.rateFailure = c.rateFailure;
    report.looksRight = c.looksRight;
    report.suggested =
        c.suggested != nullptr ? findBuiltInKind(QString::fromUtf8(c.suggested)) : nullptr;
    report.textChanged = c.textChanged;
    EXPECT_EQ(conversionMessage(report), c.window);
    EXPECT_EQ(conversionMessage(report, true), c.commandLine);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConversionMessages,
    testing::Values(
        MessageCase{"Rows", "card", 12, std::nullopt, true, nullptr, true,
                    QStringLiteral("楽天カード: 12 行をクリップボードにコピーしました"),
                    QStringLiteral("楽天カード: 12 行をクリップボードにコピーしました")},
        MessageCase{"NoneWithSuggestion", "card", 0, std::nullopt, false, "coop", false,
                    QStringLiteral("楽天カードの明細が見つかりませんでした。生協の明細のようです"),
                    QStringLiteral("楽天カード (card) の明細が見つかりませんでした。生協 (coop) "
                                   "の明細のようです")},
        MessageCase{"NoneReplacedTheText", "view", 0, std::nullopt, false, nullptr, true,
                    QStringLiteral("Viewの明細が見つかりませんでした。Ctrl+Z で元に戻せます"),
                    QStringLiteral("View (view) の明細が見つかりませんでした")},
        MessageCase{"NoneAndTheClipboardKept", "foreign", std::nullopt, std::nullopt, false,
                    nullptr, true,
                    QStringLiteral("国外配当の明細が見つかりませんでした。クリップボードはそのまま"
                                   "です。Ctrl+Z で元に戻せます"),
                    QStringLiteral("国外配当 (foreign) の明細が見つかりませんでした。クリップボー"
                                   "ドはそのままです")},
        MessageCase{"RowsThatDoNotLookRight", "coop", 2, std::nullopt, false, "card", true,
                    QStringLiteral("生協: 2 行をクリップボードにコピーしました。ただし生協の明細に"
                                   "は見えません。楽天カードの明細のようです。Ctrl+Z で元に戻せま"
                                   "す"),
                    QStringLiteral("生協: 2 行をクリップボードにコピーしました。ただし生協 (coop) "
                                   "の明細には見えません。楽天カード (card) の明細のようです")},
        MessageCase{"RateFailure", "foreign", std::nullopt, QStringLiteral("時間切れです"), true,
                    nullptr, true,
                    QStringLiteral("為替レートを取得できませんでした（時間切れです）。クリップボー"
                                   "ドはそのままです"),
                    QStringLiteral("為替レートを取得できませんでした（時間切れです）。クリップボー"
                                   "ドはそのままです")}),
    [](const testing::TestParamInfo<MessageCase>& param) { return std::string(param.param.name); });

// Lines that looked like an entry but gave none follow what the conversion did, at most five
// named, whether rows were made or not.
TEST(ConversionMessages, NameTheLinesThatLookedLikeAnEntryButGaveNone) {
    ConversionReport report;
    report.kind = findBuiltInKind(u"card");
    report.looksRight = true;
    report.rows = 3;
    report.nearMisses = {21};
    EXPECT_EQ(
        conversionMessage(report),
        QStringLiteral("楽天カード: 3 行をクリップボードにコピーしました（明細の始まりに見えて"
                       "合わなかった行が 1 行あります: 22 行目）"));
    EXPECT_EQ(rowsNotice(report, true),
              QStringLiteral("（明細の始まりに見えて合わなかった行が 1 行あります: 22 行目）"));

    report.rows.reset();
    report.nearMisses = {0, 4, 9, 14, 19, 24};
    EXPECT_EQ(conversionMessage(report, true),
              QStringLiteral("楽天カード (card) の明細が見つかりませんでした（明細の始まりに見えて"
                             "合わなかった行が 6 行あります: 1 行目、5 行目、10 行目、15 行目、"
                             "20 行目、ほか）。クリップボードはそのままです"));
}

// The window makes the suggested kind's caption a link: the message says where it stands, after
// whatever lengthened the sentences before it.
TEST(ConversionMessages, SayWhereTheSuggestedKindIsNamed) {
    const StatementKind& card = *findBuiltInKind(u"card");
    const StatementKind& coop = *findBuiltInKind(u"coop");
    struct Case {
        const char* name;
        std::optional<int> rows;
        bool looksRight;
        std::optional<QString> rateFailure;
        std::vector<int> nearMisses;
        bool named;
    };
    const std::vector<Case> cases = {
        {"nothing found", 0, false, std::nullopt, {}, true},
        {"near misses lengthen the first sentence", 0, false, std::nullopt, {2, 7}, true},
        {"rows that do not look right", 3, false, std::nullopt, {4}, true},
        {"the text looks right", 3, true, std::nullopt, {}, false},
        {"the rate failed", std::nullopt, false, QStringLiteral("時間切れです"), {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConversionReport report;
        report.kind = &coop;
        report.rows = c.rows;
        report.looksRight = c.looksRight;
        report.rateFailure = c.rateFailure;
        report.suggested = &card;
        report.nearMisses = c.nearMisses;
        report.textChanged = true;
        report.historyNotices << QStringLiteral("履歴を old.sqlite に移しました");
        for (const bool forCommandLine : {false, true}) {
            const ConversionMessage message = describeConversion(report, forCommandLine);
            EXPECT_EQ(message.text, conversionMessage(report, forCommandLine));
            ASSERT_EQ(message.suggestion.has_value(), c.named) << message.text.toStdString();
            if (!c.named)
                continue;
            EXPECT_EQ(message.suggestion->kindId, QStringLiteral("card"));
            EXPECT_EQ(message.text.mid(message.suggestion->at, message.suggestion->length),
                      card.caption);
            EXPECT_TRUE(message.text.mid(message.suggestion->at + message.suggestion->length)
                            .startsWith(forCommandLine ? QStringLiteral(" (card) の明細のようです")
                                                       : QStringLiteral("の明細のようです")))
                << message.text.toStdString();
        }
    }
}

// Where nothing was found in a text with dates and amounts, the window says that a kind can be
// learned from it; the companion, which has no menu, does not.
TEST(ConversionMessages, OfferLearningOnlyWhereNothingWasFound) {
    ConversionReport report;
    report.kind = findBuiltInKind(u"view");
    report.rows = 0;
    report.textChanged = true;
    report.exampleInText = true;
    EXPECT_EQ(
        conversionMessage(report),
        QStringLiteral("Viewの明細が見つかりませんでした。例から書式を作れます（その他の書式 › "
                       "例から書式を作る…）。Ctrl+Z で元に戻せます"));
    EXPECT_EQ(conversionMessage(report, true),
              QStringLiteral("View (view) の明細が見つかりませんでした"));

    // Entries the kind found but could not read, and rows made, are no text without a kind.
    report.unreadableAmounts = 1;
    EXPECT_FALSE(conversionMessage(report).contains(kLearnFromExampleHint));
    report.unreadableAmounts = 0;
    report.rows = 2;
    EXPECT_FALSE(conversionMessage(report).contains(kLearnFromExampleHint));
}

} // namespace

namespace {

// The lines of the statement (0-based) each generated entry takes.
std::vector<EntryLines> sampleEntryLines(const StatementKind& kind, int n) {
    std::vector<EntryLines> spans;
    int line = 0;
    for (int i = 0; i < n; ++i) {
        const int lines = static_cast<int>(kind.sampleEntry(i).count(QStringLiteral("\r\n")));
        spans.push_back({line, line + lines - 1});
        line += lines;
    }
    return spans;
}

// A kind's scan is its conversion told entry by entry: the same rows in the same order, each
// with lines inside the entry it came from, and the text left as it was.
TEST(KindScan, EveryBuiltInKindGivesItsConversionsRowsWithTheLinesOfTheirEntries) {
    constexpr int kEntries = 6;
    for (const StatementKind& kind : builtInKinds()) {
        SCOPED_TRACE(kind.id.toStdString());
        const QString text = sampleStatement(kind, kEntries);
        const LineModel scanned(text);
        const KindScan scan = kind.scan(scanned, fixedContext());
        EXPECT_EQ(scanned.text(), text);

        LineModel converted(text);
        const std::optional<OutputList> rows = kind.convert(converted, fixedContext());
        ASSERT_TRUE(rows.has_value());
        QString scannedRows;
        for (const KindScan::Entry& entry : scan.entries) {
            EXPECT_FALSE(entry.skipped.has_value());
            scannedRows += entry.cells.join(u'\t') + QStringLiteral("\r\n");
        }
        EXPECT_EQ(scannedRows, rows->text());

        const std::vector<EntryLines> spans = sampleEntryLines(kind, kEntries);
        ASSERT_EQ(scan.entries.size(), spans.size());
        for (std::size_t k = 0; k < spans.size(); ++k) {
            EXPECT_GE(scan.entries[k].firstLine, spans[k].first) << k;
            EXPECT_LE(scan.entries[k].firstLine, scan.entries[k].lastLine) << k;
            EXPECT_LE(scan.entries[k].lastLine, spans[k].last) << k;
        }
        EXPECT_TRUE(scan.nearMisses.empty());
    }
}

// The card statement's converter deletes lines as it goes and drops a row that a later marker
// deletes: the scan still names the lines of the text it was given.
TEST(KindScan, CardEntriesKeepTheirLinesWhereTheConverterDeletesLinesAboveThem) {
    const StatementKind& card = *findBuiltInKind(u"card");
    const QString text = notation::text("見出し|2024/11/03→A→1,500␣円|支払方法→1回|本人|備考|"
                                        "2024/11/04→B→200␣円|支払方法→1回|本人|備考|"
                                        "メモ|支払方法→2回|x|y|");
    const KindScan scan = card.scan(LineModel(text), fixedContext());
    ASSERT_EQ(scan.entries.size(), 3U);
    const std::vector<std::pair<int, int>> lines = {{1, 4}, {5, 8}, {9, 12}};
    for (std::size_t k = 0; k < lines.size(); ++k) {
        EXPECT_EQ(scan.entries[k].firstLine, lines[k].first) << k;
        EXPECT_EQ(scan.entries[k].lastLine, lines[k].second) << k;
    }
    EXPECT_EQ(scan.entries[0].cells, QStringList({"2024/11/03", "A", "", "", "1,500"}));
    EXPECT_EQ(scan.entries[1].cells, QStringList({"2024/11/04", "B", "", "", "200"}));
}

} // namespace
