// Learning a kind from its statement's first entry, for statements of many shapes: the learned
// kind must give every entry's row, whatever its values, and nothing from headers and footers.
#include "learn/Learner.h"

#include "rules/RulesKind.h"
#include "support/QtText.h"
#include "text/LineModel.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <functional>

using namespace tallemo;
using namespace tallemo::learn;

namespace {

// Values that differ from entry to entry: other dates, shops of other lengths and scripts,
// amounts of other widths, other users and ways of payment.
struct Usage {
    int year, month, day;
    QString shop;
    int amount;
    QString user;
    QString payment;
};

Usage usage(int i) {
    static const QStringList shops = {
        QStringLiteral("SAMPLE STORE"),
        QStringLiteral("ｻﾝﾌﾟﾙｺｰﾋｰ 渋谷店"),
        QStringLiteral("ファミリーマート 新宿三丁目店"),
        QStringLiteral("AMAZON.CO.JP"),
        QStringLiteral("東京電力"),
        QStringLiteral("Q"),
        QStringLiteral("JR東日本 モバイルSuica"),
    };
    static const QList<int> amounts = {1500, 80, 12800, 123456, 1234567, 5, 990};
    static const QStringList users = {QStringLiteral("本人"), QStringLiteral("家族")};
    static const QStringList payments = {QStringLiteral("1回"), QStringLiteral("分割3回"),
                                         QStringLiteral("リボ")};
    return {2024 + i / 300,
            1 + (i / 28) % 12,
            1 + i % 28,
            shops[i % shops.size()],
            amounts[i % amounts.size()],
            users[i % users.size()],
            payments[i % payments.size()]};
}

QString groupedYen(int amount) {
    return QLocale(QLocale::English).toString(amount);
}

QString slashDate(const Usage& u) {
    return QStringLiteral("%1/%2/%3")
        .arg(u.year)
        .arg(u.month, 2, 10, QLatin1Char('0'))
        .arg(u.day, 2, 10, QLatin1Char('0'));
}

QString fullWidth(const QString& text) {
    QString out;
    for (const QChar c : text) {
        if (c == u' ')
            out += QChar(0x3000);
        else if (c.unicode() > 0x20 && c.unicode() < 0x7F)
            out += QChar(c.unicode() - 0x20 + 0xFF00);
        else
            out += c;
    }
    return out;
}

struct Shape {
    const char* name;
    QString header;
    QString footer;
    // The lines of entry i, and the row it must give.
    std::function<QStringList(int)> entry;
    std::function<QStringList(int)> row;
    bool proposeRow = false; // learn without a wanted row
};

QStringList cardRow(const Usage& u, const QString& shop, int amount) {
    return {slashDate(u), shop, QString(), QString(), QString::number(amount)};
}

const std::vector<Shape>& shapes() {
    static const std::vector<Shape> table = {
        {"block of label lines, some entries without their payment line",
         QStringLiteral("件名: カードご利用のお知らせ\nSAMPLE CARD 会員様\n\nご利用内容:\n"),
         QStringLiteral("■お問い合わせ: 0120-000-000\n"),
         [](int i) {
             const Usage u = usage(i);
             QStringList lines = {QStringLiteral("■利用日: ") + slashDate(u),
                                  QStringLiteral("■利用先: ") + u.shop,
                                  QStringLiteral("■利用者: ") + u.user};
             if (i % 4 != 3)
                 lines << QStringLiteral("■支払方法: ") + u.payment;
             lines << QStringLiteral("■利用金額: %1 円").arg(groupedYen(u.amount))
                   << QStringLiteral("■支払月: %1/%2").arg(u.year).arg(u.month) << QString();
             return lines;
         },
         [](int i) { return cardRow(usage(i), usage(i).shop, usage(i).amount); }},
        {"the same block without a wanted row", QStringLiteral("カードご利用のお知らせ\n\n"),
         QStringLiteral("以上\n"),
         [](int i) {
             const Usage u = usage(i);
             return QStringList{QStringLiteral("■利用日: ") + slashDate(u),
                                QStringLiteral("■利用先: ") + u.shop,
                                QStringLiteral("■利用者: ") + u.user,
                                QStringLiteral("■利用金額: %1 円").arg(groupedYen(u.amount)),
                                QStringLiteral("■支払月: %1/%2").arg(u.year).arg(u.month)};
         },
         [](int i) { return cardRow(usage(i), usage(i).shop, usage(i).amount); }, true},
        {"one line with ｜ separators",
         QStringLiteral("カードご利用のお知らせ\nご利用日      ご利用先      ご利用金額\n"),
         QStringLiteral("合計    99,999円\n"),
         [](int i) {
             const Usage u = usage(i);
             return QStringList{QStringLiteral("%1    %2    %3円｜ 支払月：%4/%5 ｜ 利用者：%6")
                                    .arg(slashDate(u), u.shop, groupedYen(u.amount))
                                    .arg(u.year)
                                    .arg(u.month)
                                    .arg(u.user)};
         },
         [](int i) { return cardRow(usage(i), usage(i).shop, usage(i).amount); }},
        {"a web table's row with TABs",
         QStringLiteral("利用日\t利用店名\t利用者\t支払方法\t利用金額\t支払総額\n"),
         QStringLiteral("合計\t\t\t\t99,999\t99,999\n"),
         [](int i) {
             const Usage u = usage(i);
             return QStringList{
                 QStringLiteral("%1\t%2\t%3\t%4\t%5\t%5")
                     .arg(slashDate(u), u.shop, u.user, u.payment, groupedYen(u.amount))};
         },
         [](int i) { return cardRow(usage(i), usage(i).shop, usage(i).amount); }},
        {"three lines without labels, the amount before the shop", QStringLiteral("ご利用明細\n"),
         QStringLiteral("お支払い合計\n"),
         [](int i) {
             const Usage u = usage(i);
             return QStringList{QStringLiteral("%1円").arg(groupedYen(u.amount)), u.shop,
                                slashDate(u)};
         },
         [](int i) { return cardRow(usage(i), usage(i).shop, usage(i).amount); }},
        {"a date with a time after it", QStringLiteral("ご利用のお知らせ\n"),
         QStringLiteral("--\n"),
         [](int i) {
             const Usage u = usage(i);
             return QStringList{QStringLiteral("%1 %2:%3  %4  %5円")
                                    .arg(slashDate(u))
                                    .arg(i % 24, 2, 10, QLatin1Char('0'))
                                    .arg(i % 60, 2, 10, QLatin1Char('0'))
                                    .arg(u.shop, groupedYen(u.amount))};
         },
         [](int i) { return cardRow(usage(i), usage(i).shop, usage(i).amount); }},
        {"an amount with △ for minus", QStringLiteral("返品・取消のお知らせ\n"),
         QStringLiteral("以上\n"),
         [](int i) {
             const Usage u = usage(i);
             return QStringList{
                 QStringLiteral("%1  %2  △%3円").arg(slashDate(u), u.shop, groupedYen(u.amount))};
         },
         [](int i) { return cardRow(usage(i), usage(i).shop, -usage(i).amount); }},
        {"full-width digits and letters", QStringLiteral("ご利用明細\n"), QStringLiteral("以上\n"),
         [](int i) {
             const Usage u = usage(i);
             return QStringList{
                 fullWidth(QStringLiteral("%1年%2月%3日").arg(u.year).arg(u.month).arg(u.day)) +
                 QChar(0x3000) + fullWidth(u.shop) + QChar(0x3000) +
                 fullWidth(groupedYen(u.amount)) + QStringLiteral("円")};
         },
         [](int i) {
             const Usage u = usage(i);
             return cardRow(u, u.shop.normalized(QString::NormalizationForm_KC), u.amount);
         }},
        // The shapes of real card-usage mails, as the shipped kinds read them.
        {"JCB: 【label】　value, the amount before the shop",
         QStringLiteral("JCBカードのご利用がありましたのでご連絡します。\n\n"),
         QStringLiteral("▼ご留意点\n　・国内の加盟店の場合、【ご利用先】はカタカナ表示です。\n"),
         [](int i) {
             const Usage u = usage(i);
             return QStringList{QStringLiteral("【ご利用日時(日本時間)】　%1 %2:15")
                                    .arg(slashDate(u))
                                    .arg(i % 24, 2, 10, QLatin1Char('0')),
                                QStringLiteral("【ご利用金額】　%1円").arg(groupedYen(u.amount)),
                                QStringLiteral("【ご利用先】　") + u.shop, QString()};
         },
         [](int i) { return cardRow(usage(i), usage(i).shop, usage(i).amount); }},
        {"JCB's cancellation: 【金額】- 430円（取消）",
         QStringLiteral("JCBカードでのショッピングの取消がありましたので、ご連絡します。\n"),
         QString(),
         [](int i) {
             const Usage u = usage(i);
             return QStringList{QStringLiteral("【日時（日本時間）】　%1 03:20").arg(slashDate(u)),
                                QStringLiteral("【金額】- %1円（取消）").arg(groupedYen(u.amount)),
                                QStringLiteral("【ご利用先】　") + u.shop};
         },
         [](int i) { return cardRow(usage(i), usage(i).shop, -usage(i).amount); }},
        {"JCB's numbered blocks, indented with U+3000",
         QStringLiteral("（売上到着分）JCBカードのご利用がありましたのでご連絡します。\n\n"),
         QStringLiteral("▼ご留意点\n"),
         [](int i) {
             const Usage u = usage(i);
             return QStringList{
                 QStringLiteral("　◆ご利用%1").arg(fullWidth(QString::number(i + 1))),
                 QStringLiteral("　【ご利用日】　") + slashDate(u),
                 QStringLiteral("　【ご利用金額】　 %1円").arg(groupedYen(u.amount)),
                 QStringLiteral("　【ご利用先】　") + u.shop, QString()};
         },
         [](int i) { return cardRow(usage(i), usage(i).shop, usage(i).amount); }},
        {"三井住友カード: ◇label：value with the kind of usage",
         QStringLiteral("ご利用カード：SAMPLE VISA\n\n"), QString(),
         [](int i) {
             const Usage u = usage(i);
             return QStringList{QStringLiteral("◇利用日：%1 22:43").arg(slashDate(u)),
                                QStringLiteral("◇利用先：") + u.shop,
                                QStringLiteral("◇利用取引：買物"),
                                QStringLiteral("◇利用金額：%1円").arg(groupedYen(u.amount))};
         },
         [](int i) { return cardRow(usage(i), usage(i).shop, usage(i).amount); }},
        {"三井住友カード: a labelled date, then SHOP（買物）, then the amount",
         QStringLiteral("ご利用内容\n\n"), QStringLiteral("本メールはカードご利用の通知です。\n"),
         [](int i) {
             const Usage u = usage(i);
             return QStringList{QStringLiteral("ご利用日時：%1 13:00").arg(slashDate(u)),
                                u.shop + QStringLiteral("（買物）"),
                                QStringLiteral("%1円").arg(groupedYen(u.amount)), QString()};
         },
         [](int i) { return cardRow(usage(i), usage(i).shop, usage(i).amount); }},
        {"ライフカード: each label with its value on the next line",
         QStringLiteral("ご利用内容をお知らせいたします。\n"), QString(),
         [](int i) {
             const Usage u = usage(i);
             return QStringList{QStringLiteral("■ご利用日時"),
                                QStringLiteral("%1年%2月%3日 17:14")
                                    .arg(u.year)
                                    .arg(u.month, 2, 10, QLatin1Char('0'))
                                    .arg(u.day, 2, 10, QLatin1Char('0')),
                                QStringLiteral("■ご利用金額"),
                                QStringLiteral("%1円").arg(groupedYen(u.amount)),
                                QStringLiteral("■ご利用先"),
                                u.shop};
         },
         [](int i) { return cardRow(usage(i), usage(i).shop, usage(i).amount); }},
        {"ポケットカード: the same with the shop first and blank lines between",
         QStringLiteral("●カード利用のお知らせ●\n\n"), QString(),
         [](int i) {
             const Usage u = usage(i);
             return QStringList{QStringLiteral("■ご利用先"),
                                u.shop,
                                QString(),
                                QStringLiteral("■ご利用日時"),
                                slashDate(u) + QStringLiteral(" 00:05:08"),
                                QString(),
                                QStringLiteral("■ご利用金額"),
                                QStringLiteral("%1円").arg(groupedYen(u.amount)),
                                QString()};
         },
         [](int i) { return cardRow(usage(i), usage(i).shop, usage(i).amount); }},
        {"dカード: ■ご利用先など：",
         QStringLiteral("dカードをご利用いただきありがとうございます。\n\n"), QString(),
         [](int i) {
             const Usage u = usage(i);
             return QStringList{QStringLiteral("■ご利用日：") + slashDate(u),
                                QStringLiteral("■ご利用先など：") + u.shop,
                                QStringLiteral("■ご利用金額：%1円").arg(groupedYen(u.amount))};
         },
         [](int i) { return cardRow(usage(i), usage(i).shop, usage(i).amount); }},
    };
    return table;
}

void PrintTo(const Shape& shape, std::ostream* os) {
    *os << shape.name;
}

constexpr int kEntries = 60;

QString statementOf(const Shape& shape) {
    QString text = shape.header;
    for (int i = 0; i < kEntries; ++i)
        text += shape.entry(i).join(u'\n') + u'\n';
    return text + shape.footer;
}

class LearnedShape : public testing::TestWithParam<Shape> {};

TEST_P(LearnedShape, GivesEveryEntrysRowAndNothingFromHeadersOrFooters) {
    const Shape& shape = GetParam();
    LearnRequest request;
    request.exampleLines = shape.entry(0);
    request.statement = statementOf(shape);
    if (!shape.proposeRow)
        request.wantedCells = shape.row(0);

    const std::variant<LearnedKind, QString> learned = learnKind(request);
    ASSERT_TRUE(std::holds_alternative<LearnedKind>(learned))
        << std::get<QString>(learned).toStdString();
    const auto& kind = std::get<LearnedKind>(learned);
    EXPECT_EQ(kind.cells, shape.row(0));

    // The file loads, and its rows are the statement's.
    const rules::RulesKindOrProblem loaded = rules::readRulesKind(
        QStringLiteral("/k/") + kind.id + QStringLiteral(".toml"), kind.fileText.toUtf8(), {});
    ASSERT_TRUE(std::holds_alternative<StatementKind>(loaded))
        << std::get<rules::RulesProblem>(loaded).toString().toStdString() << "\n"
        << kind.fileText.toStdString();
    const rules::RulesScan scan = rules::scanWithRules(
        std::get<StatementKind>(loaded), LineModel::fromPastedText(request.statement));
    std::vector<QStringList> rows;
    for (const rules::RulesScan::Entry& entry : scan.entries) {
        if (!entry.skipped)
            rows.push_back(entry.cells);
    }
    std::vector<QStringList> expected;
    expected.reserve(kEntries);
    for (int i = 0; i < kEntries; ++i)
        expected.push_back(shape.row(i));
    ASSERT_EQ(rows.size(), expected.size()) << kind.fileText.toStdString();
    EXPECT_EQ(rows, expected) << kind.fileText.toStdString();
    EXPECT_EQ(kind.entries, kEntries);
    EXPECT_EQ(kind.rows, expected);

    // Learning twice gives the same file.
    const std::variant<LearnedKind, QString> again = learnKind(request);
    ASSERT_TRUE(std::holds_alternative<LearnedKind>(again));
    EXPECT_EQ(std::get<LearnedKind>(again).fileText, kind.fileText);
}

INSTANTIATE_TEST_SUITE_P(Shapes, LearnedShape, testing::ValuesIn(shapes()),
                         [](const testing::TestParamInfo<Shape>& param) {
                             return "shape" + std::to_string(param.index);
                         });

} // namespace

namespace {

LearnRequest requestFor(QStringList example, QStringList cells, QString statement = {}) {
    LearnRequest request;
    request.exampleLines = std::move(example);
    request.wantedCells = std::move(cells);
    request.statement = std::move(statement);
    return request;
}

TEST(Learner, SaysWhyNothingCanBeLearned) {
    const auto reason = [](const LearnRequest& request) {
        const std::variant<LearnedKind, QString> learned = learnKind(request);
        return std::holds_alternative<QString>(learned) ? std::get<QString>(learned) : QString();
    };
    EXPECT_EQ(reason(requestFor({"", "  "}, {})),
              QStringLiteral("例の行がありません。明細の 1 件分の行を選んでください"));
    QStringList many;
    for (int i = 0; i < 21; ++i)
        many << QStringLiteral("■項目%1: 値").arg(i);
    EXPECT_EQ(reason(requestFor(many, {})), QStringLiteral("例は 20 行までです（21 行あります）"));
    EXPECT_EQ(
        reason(requestFor({"2024/11/03  SHOP  1,500円"}, {"nowhere", "", "99"})),
        QStringLiteral("行のどのセルも例の中に見つかりません。例の行と行のセルを確かめてください"));
}

TEST(Learner, KeepsLiteralCellsAndTheTextAroundAFieldThatIsPartOfAValue) {
    LearnRequest request =
        requestFor({"■利用日: 2024/11/03", "■利用先: SAMPLE STORE（飲食）", "■利用金額: 1,500 円"},
                   {"2024/11/03", "SAMPLE STORE", "カード", "1500"},
                   QStringLiteral("■利用日: 2024/12/01\n■利用先: 喫茶 ルーム（飲食）\n"
                                  "■利用金額: 480 円\n"));
    const auto learned = learnKind(request);
    ASSERT_TRUE(std::holds_alternative<LearnedKind>(learned))
        << std::get<QString>(learned).toStdString();
    const auto& kind = std::get<LearnedKind>(learned);
    EXPECT_EQ(kind.rows,
              (std::vector<QStringList>{{"2024/12/01", "喫茶 ルーム", "カード", "480"}}));

    // The user wants "1500" typed, although the example has it: it stays that text.
    request.literalCells = {3};
    const auto literal = learnKind(request);
    ASSERT_TRUE(std::holds_alternative<LearnedKind>(literal));
    EXPECT_EQ(std::get<LearnedKind>(literal).rows,
              (std::vector<QStringList>{{"2024/12/01", "喫茶 ルーム", "カード", "1500"}}));
}

TEST(Learner, TakesTheValueWhoseLabelNamesItsClassAndSaysWhatElseItTried) {
    // The payment date comes first, but 利用日 names the date the row wants; 支払総額 and
    // 利用金額 are equal in the example.
    const auto learned = learnKind(
        requestFor({"■支払予定: 2024/11/03", "■利用日: 2024/11/03", "■支払総額: 1,500円",
                    "■利用金額: 1,500円"},
                   {"2024/11/03", "1500"},
                   QStringLiteral("■支払予定: 2024/12/27\n■利用日: 2024/11/20\n■支払総額: 1,530円\n"
                                  "■利用金額: 1,500円\n")));
    ASSERT_TRUE(std::holds_alternative<LearnedKind>(learned));
    const auto& kind = std::get<LearnedKind>(learned);
    EXPECT_EQ(kind.rows, (std::vector<QStringList>{{"2024/11/20", "1500"}}));
    EXPECT_EQ(kind.notes.size(), 2) << kind.notes.join(u'\n').toStdString();
}

TEST(Learner, ReportsTheLinesThatLookLikeAnEntryButBeginNone) {
    const auto learned = learnKind(
        requestFor({"■利用日: 2024/11/03", "■利用金額: 1,500 円"}, {"2024/11/03", "1500"},
                   QStringLiteral("■利用日: 2024/11/03\n■利用金額: 1,500 円\n■利用日: 2024/11/04\n"
                                  "■備考: 取消\n■利用日: 2024/11/05\n■利用金額: 80 円\n")));
    ASSERT_TRUE(std::holds_alternative<LearnedKind>(learned));
    const auto& kind = std::get<LearnedKind>(learned);
    EXPECT_EQ(kind.entries, 2);
    EXPECT_EQ(kind.unmatchedStarts, std::vector<int>{2});
}

// Without a wanted row: the description is the text that varies most between the statement's
// entries (the longest without a statement), and a balance is never the amount.
TEST(LearnerProposal, TakesTheTextThatVariesAndNeverABalance) {
    const QStringList block = {"■利用日: 2024/11/03", "■利用先: AB",
                               "■利用者: 本人会員（家族カード）", "■利用金額: 1,500 円"};
    QString statement;
    for (const char* shop : {"AB", "SAMPLE", "Q", "喫茶"}) {
        statement +=
            QStringLiteral("■利用日: 2024/11/03\n■利用先: %1\n■利用者: 本人会員（家族カード）\n"
                           "■利用金額: 1,500 円\n")
                .arg(QString::fromUtf8(shop));
    }
    const auto proposed = [](const QStringList& example, const QString& text) {
        const auto learned = learnKind(requestFor(example, {}, text));
        return std::holds_alternative<LearnedKind>(learned) ? std::get<LearnedKind>(learned).cells
                                                            : QStringList{};
    };
    EXPECT_EQ(proposed(block, statement), (QStringList{"2024/11/03", "AB", "", "", "1500"}));
    EXPECT_EQ(proposed(block, {}),
              (QStringList{"2024/11/03", "本人会員（家族カード）", "", "", "1500"}));

    // Label lines ("■ご利用先") head the value below them and are no description.
    const QStringList labelsAbove = {"■ご利用日時", "2025年09月02日 08:00", "■ご利用金額", "300円",
                                     "■ご利用先",   "SAMPLE TRANSIT"};
    EXPECT_EQ(proposed(labelsAbove,
                       labelsAbove.join(u'\n') + QStringLiteral("\n\n") +
                           QStringList(labelsAbove)
                               .replaceInStrings(QStringLiteral("TRANSIT"), QStringLiteral("HOTEL"))
                               .join(u'\n')),
              (QStringList{"2025/09/02", "SAMPLE TRANSIT", "", "", "300"}));

    EXPECT_EQ(proposed({"取引日時：2026/02/17 17:20", "残高：1,298円", "入金：1,000円"}, {}),
              (QStringList{"2026/02/17", "", "", "", "1000"}));
    EXPECT_EQ(proposed({"2025/01/10\t98,500\tSAMPLE STORE\t1,500"},
                       QStringLiteral(
                           "日付\t残高\t摘要\t金額\n2025/01/10\t98,500\tSAMPLE STORE\t1,500\n")),
              (QStringList{"2025/01/10", "SAMPLE STORE", "", "", "1500"}));
}

// A shop's name with one U+3000 inside ("ＡＢＣストア　渋谷店") is one name, as it is with one
// space: only two blanks or more, a TAB, a label's end or a bar part values, in the proposal and in
// the learned pattern alike.
TEST(LearnerProposal, TakesAShopNameWithOneU3000InsideWhole) {
    struct Case {
        const char* name;
        QStringList example;
        QString otherEntry;
    };
    const std::vector<Case> cases = {
        {"after a label in brackets",
         {"【ご利用日】　2025/01/05", "【ご利用金額】　1,200円",
          "【ご利用先】　ＡＢＣストア　渋谷店"},
         "【ご利用日】　2025/01/06\n【ご利用金額】　300円\n【ご利用先】　ＸＹＺ　新宿　東口店"},
        {"between a date and an amount parted by single U+3000s",
         {"2025/01/05　ＡＢＣストア　渋谷店　1,200円"},
         "2025/01/06　ＸＹＺ　新宿　東口店　300円"},
        {"between a date and an amount parted by two blanks",
         {"2025/01/05  ＡＢＣストア　渋谷店  1,200円"},
         "2025/01/06  ＸＹＺ　新宿　東口店  300円"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto learned = learnKind(requestFor(
            c.example, {}, c.example.join(u'\n') + QStringLiteral("\n\n") + c.otherEntry));
        ASSERT_TRUE(std::holds_alternative<LearnedKind>(learned))
            << std::get<QString>(learned).toStdString();
        const auto& kind = std::get<LearnedKind>(learned);
        EXPECT_EQ(kind.cells, (QStringList{"2025/01/05", "ＡＢＣストア　渋谷店", "", "", "1200"}));
        EXPECT_EQ(kind.rows,
                  (std::vector<QStringList>{{"2025/01/05", "ＡＢＣストア　渋谷店", "", "", "1200"},
                                            {"2025/01/06", "ＸＹＺ　新宿　東口店", "", "", "300"}}))
            << kind.fileText.toStdString();
    }
}

// A block mail's labels carry marks that change from mail to mail ("★利用日：" here, "◇利用日：" or
// "【利用日】" there): any mark converts; an entry that begins with the first label and still gives
// no row is named, in learning and in a conversion by the learned kind, never passed over.
TEST(LearnerMarks, ConvertsAnotherMarkAndNamesTheEntriesThatStillFail) {
    const QStringList example = {"★利用日：2025/02/01", "★利用先：SAMPLE STORE",
                                 "★利用金額：1,500円"};
    struct Case {
        const char* name;
        QString entry;
        std::vector<QStringList> rows; // after the example's own row
        std::vector<int> nearMisses;
    };
    const std::vector<Case> cases = {
        {"the same marks",
         "★利用日：2025/02/02\n★利用先：SAMPLE CAFE\n★利用金額：480円",
         {{"2025/02/02", "SAMPLE CAFE", "", "", "480"}},
         {}},
        {"other marks on every label",
         "◇利用日：2025/02/02\n■利用先：SAMPLE CAFE\n●利用金額：480円",
         {{"2025/02/02", "SAMPLE CAFE", "", "", "480"}},
         {}},
        {"a label in brackets",
         "【利用日】2025/02/02\n【利用先】SAMPLE CAFE\n【利用金額】480円",
         {{"2025/02/02", "SAMPLE CAFE", "", "", "480"}},
         {}},
        {"another mark, and an amount line that fails",
         "◇利用日：2025/02/02\n◇利用先：SAMPLE CAFE\n◇利用金額：未定",
         {},
         {4}},
        {"the first label without a mark",
         "利用日：2025/02/02\n★利用先：SAMPLE CAFE\n★利用金額：480円",
         {},
         {4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The entry stands after the example and a blank line: its first line is the 5th.
        const QString statement = example.join(u'\n') + QStringLiteral("\n\n") + c.entry + u'\n';
        const auto learned = learnKind(
            requestFor(example, {"2025/02/01", "SAMPLE STORE", "", "", "1500"}, statement));
        ASSERT_TRUE(std::holds_alternative<LearnedKind>(learned))
            << std::get<QString>(learned).toStdString();
        const auto& kind = std::get<LearnedKind>(learned);
        std::vector<QStringList> rows = {{"2025/02/01", "SAMPLE STORE", "", "", "1500"}};
        rows.insert(rows.end(), c.rows.begin(), c.rows.end());
        EXPECT_EQ(kind.rows, rows) << kind.fileText.toStdString();
        EXPECT_EQ(kind.unmatchedStarts, c.nearMisses) << kind.fileText.toStdString();
        for (const QString& nearMiss : kind.nearMisses)
            EXPECT_TRUE(nearMiss.startsWith(QStringLiteral("5 行目"))) << nearMiss.toStdString();

        // A conversion by the saved kind names the same lines.
        const rules::RulesKindOrProblem loaded = rules::readRulesKind(
            QStringLiteral("/k/") + kind.id + QStringLiteral(".toml"), kind.fileText.toUtf8(), {});
        ASSERT_TRUE(std::holds_alternative<StatementKind>(loaded));
        LineModel lines = LineModel::fromPastedText(statement);
        std::vector<int> nearMisses;
        ConvertContext context;
        context.nearMisses = &nearMisses;
        ASSERT_TRUE(std::get<StatementKind>(loaded).convert(lines, context).has_value());
        EXPECT_EQ(nearMisses, c.nearMisses);
    }
}

// Tables and separators learned from one entry: every TAB parts two cells, a cell empty in the
// example may hold a memo elsewhere, "｜" and "|" are one separator, and a line that looks like
// an entry but gives none is named rather than made into a wrong row.
struct TableCase {
    const char* name;
    QString example;
    QStringList wanted;
    QStringList statement;
    std::vector<QStringList> rows;
    std::vector<int> nearMisses;
};

void PrintTo(const TableCase& c, std::ostream* os) {
    *os << c.name;
}

class LearnedTable : public testing::TestWithParam<TableCase> {};

TEST_P(LearnedTable, KeepsEveryCellAndNamesTheLinesItCannotRead) {
    const TableCase& c = GetParam();
    const auto learned =
        learnKind(requestFor({c.example}, c.wanted, c.statement.join(QStringLiteral("\n"))));
    ASSERT_TRUE(std::holds_alternative<LearnedKind>(learned))
        << std::get<QString>(learned).toStdString();
    const auto& kind = std::get<LearnedKind>(learned);
    EXPECT_EQ(kind.rows, c.rows) << kind.fileText.toStdString();
    EXPECT_EQ(kind.unmatchedStarts, c.nearMisses) << kind.fileText.toStdString();
    EXPECT_EQ(kind.nearMisses.size(), c.nearMisses.size());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LearnedTable,
    testing::Values(
        // The example is an income: its 出金 cell is empty. A payment's amount stands one cell to
        // the left and must not become the 入金.
        TableCase{
            "a bank table whose example leaves 出金 empty",
            QStringLiteral("2025/01/10\t給与\t\t300,000\t398,500\t"),
            {"2025/01/10", "給与", "", "", "300000"},
            {"日付\t摘要\t出金\t入金\t残高\tメモ", "2025/01/10\t給与\t\t300,000\t398,500\t",
             "2025/01/12\tSAMPLE STORE\t1,500\t\t397,000\t",
             "2025/02/10\t給与\t\t310,000\t707,000\tボーナス込み"},
            {{"2025/01/10", "給与", "", "", "300000"}, {"2025/02/10", "給与", "", "", "310000"}},
            {2}},
        TableCase{"a memo column empty in the example",
                  QStringLiteral("2025/03/01\tSAMPLE CAFE\t1,480\t"),
                  {"2025/03/01", "SAMPLE CAFE", "", "", "1480"},
                  {"2025/03/01\tSAMPLE CAFE\t1,480\t", "2025/03/02\tSAMPLE BOOKS\t1,200\t立替"},
                  {{"2025/03/01", "SAMPLE CAFE", "", "", "1480"},
                   {"2025/03/02", "SAMPLE BOOKS", "", "", "1200"}},
                  {}},
        TableCase{"an amount without a comma in the example, with one in another entry",
                  QStringLiteral("2025/03/01\tSAMPLE CAFE\t480"),
                  {"2025/03/01", "SAMPLE CAFE", "", "", "480"},
                  {"2025/03/01\tSAMPLE CAFE\t480", "2025/03/02\tSAMPLE BOOKS\t1,200"},
                  {{"2025/03/01", "SAMPLE CAFE", "", "", "480"},
                   {"2025/03/02", "SAMPLE BOOKS", "", "", "1200"}},
                  {}},
        TableCase{"full-width brackets in the example, half-width in other mails",
                  QStringLiteral("ご利用（国内）  2025/06/12  SAMPLE STORE  1,500円"),
                  {"2025/06/12", "SAMPLE STORE", "", "", "1500"},
                  {"ご利用（国内）  2025/06/12  SAMPLE STORE  1,500円",
                   "ご利用(国内)  2025/06/13  SAMPLE BOOKS  200円"},
                  {{"2025/06/12", "SAMPLE STORE", "", "", "1500"},
                   {"2025/06/13", "SAMPLE BOOKS", "", "", "200"}},
                  {}},
        TableCase{"｜ in the example, | in other mails",
                  QStringLiteral(
                      "2025/04/01    SAMPLE STORE    1,000円｜ 支払月：2025/05 ｜ 利用者：本人"),
                  {"2025/04/01", "SAMPLE STORE", "", "", "1000"},
                  {"2025/04/01    SAMPLE STORE    1,000円｜ 支払月：2025/05 ｜ 利用者：本人",
                   "2025/04/02    SAMPLE MARKET    250円 | 支払月：2025/05 | 利用者：家族",
                   "2025/04/03    SAMPLE SHOP    年会費 | 支払月：2025/05 | 利用者：本人"},
                  {{"2025/04/01", "SAMPLE STORE", "", "", "1000"},
                   {"2025/04/02", "SAMPLE MARKET", "", "", "250"}},
                  {2}}),
    [](const testing::TestParamInfo<TableCase>& param) {
        return "case" + std::to_string(param.index);
    });

TEST(LearnedId, ComesFromTheCaptionsAsciiWordsElseIsNumbered) {
    EXPECT_EQ(idFromCaption(QStringLiteral("SAMPLE Card 利用通知 2"), {}),
              QStringLiteral("sample-card-2"));
    EXPECT_EQ(idFromCaption(QStringLiteral("カード利用通知"), {}), QStringLiteral("kind-1"));
    EXPECT_EQ(idFromCaption(QStringLiteral("カード"), {QStringLiteral("kind-1")}),
              QStringLiteral("kind-2"));
    EXPECT_EQ(idFromCaption(QStringLiteral("Card"), {}), QStringLiteral("kind-1"))
        << "a built-in id";
    EXPECT_EQ(idFromCaption(QStringLiteral("detect"), {}), QStringLiteral("kind-1"));
    EXPECT_EQ(idFromCaption(QStringLiteral("2024 Bank"), {}), QStringLiteral("kind-1"));
}

} // namespace

namespace {

const QStringList kBankStatement = {
    "日付\t摘要\t出金\t入金\t残高\tメモ",
    "2025/01/10\t給与\t\t300,000\t398,500\t",
    "2025/01/12\tSAMPLE STORE\t1,500\t\t397,000\t",
    "2025/01/20\tSAMPLE 電力\t8,210\t\t388,790\t口座振替",
    "2025/02/10\t給与\t\t310,000\t698,790\tボーナス込み",
};

LearnExample exampleOf(const QString& line, QStringList cells) {
    return LearnExample{{line}, std::move(cells), {}};
}

} // namespace

// A bank's payments and incomes stand in different columns: one kind gives both, the payment as
// a negative amount taken from 出金, the income from 入金, and never the balance.
TEST(LearnerExamples, TakesACellFromTheColumnEachExampleHasItIn) {
    struct Case {
        const char* name;
        std::vector<LearnExample> examples;
        std::vector<QStringList> rows;
    };
    const LearnExample income = exampleOf(QStringLiteral("2025/01/10\t給与\t\t300,000\t398,500\t"),
                                          {"2025/01/10", "給与", "", "", "300000"});
    const LearnExample payment =
        exampleOf(QStringLiteral("2025/01/12\tSAMPLE STORE\t1,500\t\t397,000\t"),
                  {"2025/01/12", "SAMPLE STORE", "", "", "-1500"});
    const std::vector<QStringList> allRows = {
        {"2025/01/10", "給与", "", "", "300000"},
        {"2025/01/12", "SAMPLE STORE", "", "", "-1500"},
        {"2025/01/20", "SAMPLE 電力", "", "", "-8210"},
        {"2025/02/10", "給与", "", "", "310000"},
    };
    const std::vector<Case> cases = {
        {"income first", {income, payment}, allRows},
        {"payment first", {payment, income}, allRows},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LearnRequest request;
        request.statement = kBankStatement.join(u'\n');
        const auto learned = learnKindFromExamples(c.examples, request);
        ASSERT_TRUE(std::holds_alternative<LearnedKind>(learned))
            << std::get<QString>(learned).toStdString();
        const auto& kind = std::get<LearnedKind>(learned);
        EXPECT_EQ(kind.rows, c.rows) << kind.fileText.toStdString();
        EXPECT_TRUE(kind.nearMisses.isEmpty()) << kind.nearMisses.join(u'\n').toStdString();
        EXPECT_TRUE(kind.fileText.contains(u';')) << kind.fileText.toStdString();
    }
}

TEST(LearnerExamples, AFurtherExampleTheFirstKindAlreadyReadsChangesNothing) {
    const std::vector<LearnExample> examples = {
        exampleOf(QStringLiteral("2025/03/01\tSAMPLE CAFE\t1,480"),
                  {"2025/03/01", "SAMPLE CAFE", "1480"}),
        exampleOf(QStringLiteral("2025/03/02\tSAMPLE BOOKS\t200"),
                  {"2025/03/02", "SAMPLE BOOKS", "200"}),
    };
    const auto several = learnKindFromExamples(examples, {});
    const auto one = learnKind(requestFor(examples.front().lines, examples.front().wantedCells));
    ASSERT_TRUE(std::holds_alternative<LearnedKind>(several));
    ASSERT_TRUE(std::holds_alternative<LearnedKind>(one));
    EXPECT_EQ(std::get<LearnedKind>(several).fileText, std::get<LearnedKind>(one).fileText);
}

TEST(LearnerExamples, SaysWhyTheExamplesGiveNoOneKind) {
    const LearnExample cafe = exampleOf(QStringLiteral("2025/03/01\tSAMPLE CAFE\t1,480"),
                                        {"2025/03/01", "SAMPLE CAFE", "1480"});
    struct Case {
        const char* name;
        std::vector<LearnExample> examples;
        QString reason;
    };
    const std::vector<Case> cases = {
        {"no examples", {}, QStringLiteral("例の行がありません")},
        {"a further example without its row",
         {cafe, exampleOf(QStringLiteral("2025/03/02\tSAMPLE BOOKS\t200"), {})},
         QStringLiteral("例 2 の行がありません")},
        {"rows of different widths",
         {cafe, exampleOf(QStringLiteral("2025/03/02\tSAMPLE BOOKS\t200"),
                          {"2025/03/02", "SAMPLE BOOKS"})},
         QStringLiteral("例 2 の行は 2 セル")},
        {"a further example of another shape",
         {cafe, exampleOf(QStringLiteral("ご利用日：2025/03/02 ご利用先：SAMPLE BOOKS 金額：200円"),
                          {"2025/03/02", "SAMPLE BOOKS", "200"})},
         QStringLiteral("例 2 の行を作れる書式になりませんでした")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto learned = learnKindFromExamples(c.examples, {});
        ASSERT_TRUE(std::holds_alternative<QString>(learned));
        EXPECT_TRUE(std::get<QString>(learned).startsWith(c.reason))
            << std::get<QString>(learned).toStdString();
    }
}

TEST(LearnedCaption, NamesTheIssuerFromTheHeadingAboveTheExampleElseIsNumbered) {
    const QStringList example = {QStringLiteral("■利用日: 2024/11/03")};
    struct Case {
        const char* name;
        QString statement;
        QStringList takenIds;
        QString caption;
    };
    const std::vector<Case> cases = {
        {"a mail's heading",
         "【JCBカードご利用のお知らせ】\r\nいつもありがとうございます\r\n■利用日: 2024/11/03\r\n",
         {},
         "JCBカードご利用のお知らせ"},
        {"a subject line",
         "件名: SAMPLEカード ご利用のお知らせ\n\n■利用日: 2024/11/03\n",
         {},
         "SAMPLEカード ご利用のお知らせ"},
        {"a heading below the example names another entry's mail",
         "■利用日: 2024/11/03\nSAMPLEカードご利用のお知らせ\n",
         {"kind-1"},
         "例から作った書式 2"},
        {"a line with a date is no heading",
         "2024/11/03 カードご利用分\n■利用日: 2024/11/03\n",
         {},
         "例から作った書式 1"},
        {"no text around the example", "", {}, "例から作った書式 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(proposeCaption(c.statement, example, c.takenIds), c.caption);
    }
    // The numbered caption's id is the kind-N it was numbered after.
    EXPECT_EQ(idFromCaption(proposeCaption({}, example, {"kind-1"}), {"kind-1"}),
              QStringLiteral("kind-2"));
}

// Whether a text could give an example: some line with a date and some line with an amount, as
// the learner reads them.
TEST(ExampleInText, NeedsADateAndAnAmountTheLearnerReads) {
    struct Case {
        const char* name;
        QString text;
        bool found;
    };
    const std::vector<Case> cases = {
        {"a mail, date and amount on lines of their own",
         "【ABCカード】ご利用のお知らせ\r\nご利用日時：2024/11/03 12:34\r\nご利用金額：1,500円\r\n",
         true},
        {"one line, full-width, the yen sign before", "２０２４年１１月３日　本屋　￥１，２００",
         true},
        {"a minus amount in a table row", "2024-11-03\tRefund\t-3,000", true},
        {"amounts only", "合計：1,500円\r\n送料：￥500\r\n", false},
        {"dates only", "お支払日：2024/12/10\r\n締め日：2024/11/30\r\n", false},
        {"a bare number is no amount", "2024/11/03 番号 1500", false},
        {"a day that does not exist is no date", "2024/02/30 1,500円", false},
        {"a month without a day is no date", "2024/11 分 1,500円", false},
        {"nothing", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(hasDatesAndAmounts(LineModel::fromPastedText(c.text)), c.found);
    }
}

namespace {

// A line of a comma-separated file is learned as a comma-separated kind: each cell a field by its
// column (the header's name where the text has a header line above the example), every field a
// field even when empty, so that a memo, a quoted comma or a value of another width never costs
// a row.
struct CsvCase {
    const char* name;
    QStringList examples; // one line each
    std::vector<QStringList> wanted;
    QStringList statement;
    std::vector<QStringList> rows;
    QString fileHas; // a sign of how the cells were learned
};

const QStringList kCardCsv = {
    "カード会員 様,****-****-****-1234",
    "",
    "利用日,利用店名,利用者,支払方法,利用金額,メモ",
    "2025/03/01,SAMPLE CAFE,本人,1回払い,\"1,480\",",
    "2025/03/02,\"SAMPLE BOOKS, 新宿店\",家族,1回払い,200,立替",
    "2025/03/03,Ｑ,本人,分割,\"12,800\",\"立替, 会社\"",
    "合計,,,,\"14,480\",",
};

const std::vector<QStringList> kCardCsvRows = {
    {"2025/03/01", "SAMPLE CAFE", "", "", "1480"},
    {"2025/03/02", "SAMPLE BOOKS, 新宿店", "", "", "200"},
    {"2025/03/03", "Ｑ", "", "", "12800"},
};

const QStringList kBankCsv = {
    "日付,摘要,出金,入金,残高,メモ",
    "2025/01/10,給与,,300000,398500,",
    "2025/01/12,SAMPLE STORE,1500,,397000,",
    "2025/01/20,SAMPLE 電力,8210,,388790,口座振替",
    "2025/02/10,給与,,310000,698790,ボーナス込み",
};

const std::vector<QStringList> kBankCsvRows = {
    {"2025/01/10", "給与", "", "", "300000"},
    {"2025/01/12", "SAMPLE STORE", "", "", "-1500"},
    {"2025/01/20", "SAMPLE 電力", "", "", "-8210"},
    {"2025/02/10", "給与", "", "", "310000"},
};

TEST(LearnedCsv, TakesEveryFieldByItsColumnAndGivesEveryRecordsRow) {
    const std::vector<CsvCase> cases = {
        {"a header line above: the columns by their names; a memo empty in the example",
         {"2025/03/01,SAMPLE CAFE,本人,1回払い,\"1,480\","},
         {{"2025/03/01", "SAMPLE CAFE", "", "", "1480"}},
         kCardCsv,
         kCardCsvRows,
         "{利用日|date}"},
        {"the memo into the row: empty in the first example, shown by the second",
         {"2025/03/01,SAMPLE CAFE,本人,1回払い,\"1,480\",",
          "2025/03/02,\"SAMPLE BOOKS, 新宿店\",家族,1回払い,200,立替"},
         {{"2025/03/01", "SAMPLE CAFE", "", "", "1480", ""},
          {"2025/03/02", "SAMPLE BOOKS, 新宿店", "", "", "200", "立替"}},
         kCardCsv,
         {{"2025/03/01", "SAMPLE CAFE", "", "", "1480", ""},
          {"2025/03/02", "SAMPLE BOOKS, 新宿店", "", "", "200", "立替"},
          {"2025/03/03", "Ｑ", "", "", "12800", "立替, 会社"}},
         "{メモ|trim}"},
        {"every field quoted, the header's names too",
         {R"("2025/03/01","SAMPLE CAFE","1,480")"},
         {{"2025/03/01", "SAMPLE CAFE", "", "", "1480"}},
         {R"("利用日","ご利用先","ご利用金額")", R"("2025/03/01","SAMPLE CAFE","1,480")",
          R"("2025/03/02","""Q"" STORE","200")"},
         {{"2025/03/01", "SAMPLE CAFE", "", "", "1480"},
          {"2025/03/02", "\"Q\" STORE", "", "", "200"}},
         "{ご利用金額|yen}"},
        {"no header: the columns by their numbers, only records as wide as the example",
         {"2024/07/03,ＳＨＯＰ,1500,１,１,1500,"},
         {{"2024/07/03", "SHOP", "", "", "1500"}},
         {"山田 様,****-****-****-1234,ＶＩＳＡ", "2024/07/03,ＳＨＯＰ,1500,１,１,1500,",
          "2024/07/09,ＣＡＦＥ　ＡＢＣ,\"1,200\",１,１,\"1,200\",", ",,,,,2700"},
         {{"2024/07/03", "SHOP", "", "", "1500"}, {"2024/07/09", "CAFE ABC", "", "", "1200"}},
         "{2|width|trim}"},
        {"no wanted row: the date, the text that varies and the amount, never the balance",
         {"2025/01/12,SAMPLE STORE,1500,,397000,"},
         {{}},
         {"日付,摘要,出金,入金,残高,メモ", "2025/01/12,SAMPLE STORE,1500,,397000,",
          "2025/01/20,SAMPLE 電力,8210,,388790,口座振替"},
         {{"2025/01/12", "SAMPLE STORE", "", "", "1500"},
          {"2025/01/20", "SAMPLE 電力", "", "", "8210"}},
         "{出金|yen}"},
        {"two examples of a bank: the amount from 出金 or 入金, whichever holds one",
         {"2025/01/10,給与,,300000,398500,", "2025/01/12,SAMPLE STORE,1500,,397000,"},
         {{"2025/01/10", "給与", "", "", "300000"},
          {"2025/01/12", "SAMPLE STORE", "", "", "-1500"}},
         kBankCsv,
         kBankCsvRows,
         "{入金|yen; 出金|neg}"},
        {"the same with the payment first",
         {"2025/01/12,SAMPLE STORE,1500,,397000,", "2025/01/10,給与,,300000,398500,"},
         {{"2025/01/12", "SAMPLE STORE", "", "", "-1500"},
          {"2025/01/10", "給与", "", "", "300000"}},
         kBankCsv,
         kBankCsvRows,
         "{出金|neg; 入金|yen}"},
    };
    for (const CsvCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<LearnExample> examples;
        for (qsizetype e = 0; e < c.examples.size(); ++e)
            examples.push_back(exampleOf(c.examples[e], c.wanted[static_cast<std::size_t>(e)]));
        LearnRequest request;
        request.statement = c.statement.join(u'\n');
        const auto learned = learnKindFromExamples(examples, request);
        ASSERT_TRUE(std::holds_alternative<LearnedKind>(learned))
            << std::get<QString>(learned).toStdString();
        const auto& kind = std::get<LearnedKind>(learned);
        EXPECT_EQ(kind.rows, c.rows) << kind.fileText.toStdString();
        EXPECT_TRUE(kind.skippedEntries.empty()) << kind.fileText.toStdString();
        EXPECT_TRUE(kind.fileText.contains(QStringLiteral("format = 'csv'")));
        EXPECT_TRUE(kind.fileText.contains(c.fileHas)) << kind.fileText.toStdString();

        // The kinds folder takes the file as it takes a shipped comma-separated kind.
        const rules::RulesKindOrProblem loaded =
            rules::readRulesKind(QStringLiteral("/kinds/") + kind.id + QStringLiteral(".toml"),
                                 kind.fileText.toUtf8(), {});
        ASSERT_TRUE(std::holds_alternative<StatementKind>(loaded))
            << std::get<rules::RulesProblem>(loaded).toString().toStdString();
        LineModel lines = LineModel::fromPastedText(request.statement);
        const std::optional<OutputList> converted =
            std::get<StatementKind>(loaded).convert(lines, ConvertContext{});
        ASSERT_TRUE(converted.has_value());
        QString expected;
        for (const QStringList& row : c.rows)
            expected += row.join(u'\t') + QStringLiteral("\r\n");
        EXPECT_EQ(converted->text(), expected);
    }
}

TEST(LearnedCsv, SaysInJapaneseWhereEachCellCameFromAndWhatBecameFixedText) {
    const QString example = QStringLiteral("2025/03/01,SAMPLE CAFE,\"1,480\",\"1,480\"");
    const auto learned =
        learnKind(requestFor({example}, {"2025/03/01", "SAMPLE CAFE", "カード", "", "1480"},
                             QStringLiteral("利用日,利用店名,利用金額,支払総額\n") + example));
    ASSERT_TRUE(std::holds_alternative<LearnedKind>(learned))
        << std::get<QString>(learned).toStdString();
    const auto& kind = std::get<LearnedKind>(learned);
    EXPECT_EQ(kind.warnings, QStringList{"セル 3「カード」は例の中に見つかりません。どの行でも"
                                         "「カード」という決まった文字になります"});
    EXPECT_EQ(kind.notes, QStringList{"セル 5「1480」は例の 3 列目（利用金額）から取りました。"
                                      "4 列目（支払総額）の「1,480」からも作れます"});
    EXPECT_EQ(kind.rows,
              (std::vector<QStringList>{{"2025/03/01", "SAMPLE CAFE", "カード", "", "1480"}}));
}

TEST(LearnedCsv, TakesAMailsLineWithCommasForALineNotARecord) {
    struct Case {
        const char* name;
        QString example;
        QStringList statement;
    };
    const std::vector<Case> cases = {
        {"a grouped amount after a blank", "2025/03/01 SAMPLE, INC. 1,480円", {}},
        {"a grouped amount after a comma", "2025/03/01,SAMPLE STORE,1,480円", {}},
        {"a quote inside a field, not around it",
         "ご利用先：\"SAMPLE\" 東京,2025/03/01,1480円",
         {}},
        {"text after a closing quote", "\"SAMPLE\" STORE,2025/03/01,1480円", {}},
        {"three fields, but the text around has no other line as wide",
         "ご利用先：SAMPLE, INC., TOKYO",
         {"■ご利用日：2025/03/01", "ご利用先：SAMPLE, INC., TOKYO", "■ご利用金額：1480円"}},
        {"a TAB table's line with commas in it", "2025/03/01\tSAMPLE, INC., TOKYO\t1480", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto learned = learnKind(requestFor({c.example}, {}, c.statement.join(u'\n')));
        ASSERT_TRUE(std::holds_alternative<LearnedKind>(learned))
            << std::get<QString>(learned).toStdString();
        EXPECT_FALSE(std::get<LearnedKind>(learned).fileText.contains(QStringLiteral("'csv'")));
    }
}

} // namespace
