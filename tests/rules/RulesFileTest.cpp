// Rules files that cannot be read: each problem with its exact text and position, and the folders
// that hold them, where one broken file leaves the other kinds alone.
#include "rules/KindFolders.h"
#include "rules/RulesKind.h"

#include "support/QtText.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tallemo;
using namespace tallemo::rules;

using tallemo::testing_support::writeFile;

namespace {

const char* const kGoodEntryAndRow = "entry = ['Date: (?P<date>.+)']\nrow = ['{date|date}']\n";

struct BrokenCase {
    const char* fileName;
    QByteArray contents;
    int line;
    int column;
    const char* text;
};

void PrintTo(const BrokenCase& c, std::ostream* os) {
    *os << c.contents.toStdString();
}

QByteArray withHead(const char* id, const char* rest) {
    return QByteArray("id = '") + id + "'\ncaption = 'X'\n" + rest;
}

const std::vector<BrokenCase>& brokenCases() {
    static const std::vector<BrokenCase> cases = {
        // The quote that is never closed, not the line's end where the reader gave up.
        {"x.toml", "id = 'x'\ncaption = 'X\n", 2, 11,
         "引用符が閉じていません（行の終わりまでに閉じます）（Error while parsing literal string: "
         "control characters other than TAB (U+0009) are explicitly prohibited）"},
        {"x.toml", QByteArray("caption = 'X'\n") + kGoodEntryAndRow, 1, 1, "id がありません"},
        {"x.toml", withHead("X1", kGoodEntryAndRow), 1, 6,
         "id「X1」は小文字の英字で始め、小文字の英字、数字と「-」で書きます"},
        {"detect.toml", withHead("detect", kGoodEntryAndRow), 1, 6,
         "id「detect」は tallemo-convert のコマンド名なので使えません"},
        {"card.toml", withHead("card", kGoodEntryAndRow), 1, 6,
         "id「card」は組み込みの書式の名前なので使えません"},
        {"y.toml", withHead("x", kGoodEntryAndRow), 1, 6,
         "ファイル名は id に合わせて x.toml にします"},
        {"x.toml", withHead("x", "rows = []\n"), 3, 8,
         "知らないキー「rows」です（使えるのは id, caption, summary, skip-blank-lines, "
         "looks-like, entry, row, format, header, columns, repeats, remark, history, fill）"},
        {"x.toml", withHead("x", "looks-like = '(x'\nentry = ['A(?P<a>.*)']\nrow = ['{a}']\n"), 3,
         14, "パターンを読めません: missing ): (x"},
        {"x.toml", withHead("x", "entry = ['(?P<date>.+']\nrow = ['{date}']\n"), 3, 10,
         "パターンを読めません: missing ): (?P<date>.+"},
        {"x.toml", withHead("x", "entry = ['.*', '(?P<a>.+)']\nrow = ['{a}']\n"), 3, 9,
         "entry のパターンがどの行にも当てはまります: 少なくとも 1 "
         "行は見出しや日付など、その行にある文字を書きます"},
        {"x.toml",
         withHead("x", "entry = [{ line = 'A(?P<a>.*)', optional = true }]\nrow = ['{a}']\n"), 3, 9,
         "entry の行がすべて optional です: 少なくとも 1 行は必ずある行にします"},
        {"x.toml", withHead("x", "entry = ['A(?P<a>.*)']\nrow = ['{b}']\n"), 4, 8,
         "フィールド b は entry のどのパターンでも (?P<b>…) として取り出されていません"},
        {"x.toml", withHead("x", "entry = ['A(?P<a>.*)']\nrow = ['{a|upper}']\n"), 4, 8,
         "知らないフィルター「upper」です（使えるのは yen, date, width, trim, neg）"},
        {"x.toml", withHead("x", "entry = ['A(?P<a>.*)', 'B(?P<a>.*)']\nrow = ['{a}']\n"), 3, 24,
         "フィールド a を取り出すパターンが 2 つあります"},
        {"x.toml",
         withHead("x", "entry = [{ line = 'A(?P<a>.)', value = '(?P<b>.+)' }]\nrow = ['{b}']\n"), 3,
         19, "value のある行では、フィールドは value の中で取り出します"},
        {"x.toml", withHead("x", "entry = [{ line = 'A', value = '(?P<b>.+' }]\nrow = ['{b}']\n"),
         3, 32, "パターンを読めません: missing ): (?P<b>.+"},
        {"x.toml", withHead("x", "entry = ['A(?P<a>.*)']\nrow = ['{a']\n"), 4, 8,
         "「{」が「}」で閉じられていません（「{」そのものは「{{」と書きます）"},
        {"x.toml",
         withHead("x", "entry = ['A(?P<a>.*)', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', "
                       "'L', 'M', 'N', 'O', 'P', 'Q', 'R', 'S', 'T', 'U']\nrow = ['{a}']\n"),
         3, 9, "entry の行は 20 行までです（21 行あります）"},
        {"x.toml",
         withHead("x", "entry = ['A(?P<a>.*)\\pL{1000}\\pL{1000}\\pL{1000}']\n"
                       "row = ['{a}']\n"),
         3, 10, "パターンが大きすぎます: pattern too large - compile failed"},
        {"x.toml", QByteArray(kMaxFileSize + 1, '#'), 0, 0,
         "ファイルが大きすぎます（64 KiB まで）"},
        // Kana and CJK punctuation where the TOML reader asks whether they are whitespace.
        {"x.toml", "# コメント\nid = 'x'、\n", 2, 9,
         "TOML として読めません: Error while parsing key-value pair: expected a comment or "
         "whitespace, saw '、'"},
        {"x.toml", "id = 24_あ\n", 1, 9,
         "TOML として読めません: Error while parsing decimal integer: underscores must be "
         "followed by digits"},
        {"x.toml", "id = '\xf3\xb0\x80\x80'\n", 1, 7, "私用領域の文字 U+F0000 は使えません"},
        // The common faults explained in Japanese, the reader's words kept in brackets; an
        // unclosed bracket is shown where it opens, not on the line where the reader gave up.
        {"x.toml", withHead("x", "entry = ['A(?P<a>.*)'\nrow = ['{a}']\n"), 3, 9,
         "「[」が閉じていません（「]」がありません）（Error while parsing array: expected comma or "
         "closing ']', saw 'r'）"},
        {"x.toml", withHead("x", "entry = [\n  'A(?P<a>.*)',\nrow = ['{a}']\n"), 3, 9,
         "「[」が閉じていません（「]」がありません）（Error while parsing value: could not "
         "determine value type）"},
        {"x.toml", "id = 'x\ncaption = 'X'\n", 1, 6,
         "引用符が閉じていません（行の終わりまでに閉じます）（Error while parsing literal string: "
         "control characters other than TAB (U+0009) are explicitly prohibited）"},
        {"x.toml", "id = 'x'\ncaption =\n", 2, 10,
         "「caption =」のあとに値がありません（Error while parsing key-value pair: expected "
         "value, saw '\\n'）"},
        {"x.toml", "id = 'x'\ncaption = 'X'\nid = 'y'\n", 3, 1,
         "キー「id」が 1 行目にも書かれています（1 度だけ書きます）（Error while parsing "
         "key-value pair: cannot redefine existing string 'id'）"},
    };
    return cases;
}

class BrokenRulesFile : public testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenRulesFile, SaysWhatIsWrongAndWhere) {
    const BrokenCase& c = GetParam();
    const QString path = QStringLiteral("/kinds/") + QString::fromLatin1(c.fileName);
    const RulesKindOrProblem read = readRulesKind(path, c.contents, {QStringLiteral("card")});
    ASSERT_TRUE(std::holds_alternative<RulesProblem>(read));
    const auto& problem = std::get<RulesProblem>(read);
    EXPECT_EQ(problem.path, path);
    EXPECT_EQ(problem.text, QString::fromUtf8(c.text));
    EXPECT_EQ(problem.line, c.line);
    EXPECT_EQ(problem.column, c.column);
}

INSTANTIATE_TEST_SUITE_P(Cases, BrokenRulesFile, testing::ValuesIn(brokenCases()),
                         [](const testing::TestParamInfo<BrokenCase>& param) {
                             return "case" + std::to_string(param.index);
                         });

TEST(RulesProblemText, IsPathLineColumnAndText) {
    EXPECT_EQ((RulesProblem{QStringLiteral("/k/x.toml"), 3, 9, QStringLiteral("何か")}.toString()),
              QStringLiteral("/k/x.toml:3:9: 何か"));
}

QByteArray kindFile(const char* id, const char* caption) {
    return QByteArray("id = '") + id + "'\ncaption = '" + caption + "'\n" + kGoodEntryAndRow;
}

TEST(KindFolders, ReadBothFoldersAndAUserFileReplacesAShippedOne) {
    QTemporaryDir dir;
    const KindFolders folders{dir.filePath(QStringLiteral("user")),
                              dir.filePath(QStringLiteral("shipped"))};
    writeFile(folders.shipped + QStringLiteral("/mail.toml"), kindFile("mail", "メール（出荷）"));
    writeFile(folders.shipped + QStringLiteral("/bank.toml"), kindFile("bank", "銀行"));
    writeFile(folders.user + QStringLiteral("/mail.toml"), kindFile("mail", "メール（自分）"));
    writeFile(folders.user + QStringLiteral("/broken.toml"), "id = ");
    writeFile(folders.user + QStringLiteral("/card.toml"), kindFile("card", "偽のカード"));
    writeFile(folders.user + QStringLiteral("/notes.txt"), "not a rules file");

    const LoadedKinds loaded = loadKinds(folders);

    QStringList ids;
    for (const StatementKind& kind : loaded.registry->kinds())
        ids << kind.id + u'=' + kind.caption;
    EXPECT_EQ(ids, (QStringList{"card=楽天カード", "domestic=国内配当", "foreign=国外配当",
                                "view=View", "coop=生協", "mail=メール（自分）", "bank=銀行"}))
        << "the rules kinds follow the built-in ones in Japanese order, kana before kanji";
    EXPECT_EQ(loaded.registry->find(u"mail")->sourceFile,
              folders.user + QStringLiteral("/mail.toml"));
    ASSERT_EQ(loaded.problems.size(), 2U);
    EXPECT_EQ(loaded.problems[0].path, folders.user + QStringLiteral("/broken.toml"));
    EXPECT_EQ(loaded.problems[1].text,
              QStringLiteral("id「card」は組み込みの書式の名前なので使えません"));
    EXPECT_EQ(loaded.files.size(), 5);
}

TEST(KindFolders, MissingFoldersGiveTheBuiltInKinds) {
    const LoadedKinds loaded = loadKinds({QStringLiteral("/nonexistent/a"), QString()});
    EXPECT_EQ(loaded.registry->kinds().size(), 5U);
    EXPECT_TRUE(loaded.problems.empty());
}

TEST(KindFolders, AreBesideTheSettingsFileAndTheProgramsFolder) {
    const KindFolders folders = KindFolders::forProgram(
        QStringLiteral("/home/u/.config/Tallemo/Tallemo"), QStringLiteral("/usr/bin"));
    EXPECT_EQ(folders.user, QStringLiteral("/home/u/.config/Tallemo/kinds"));
    EXPECT_EQ(folders.shipped, QStringLiteral("/usr/share/tallemo/kinds"));
}

} // namespace
