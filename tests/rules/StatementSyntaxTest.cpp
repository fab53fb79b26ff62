// The one definition of blanks, dates and amounts: the readers of the `date` and `yen` filters,
// the pattern fragments the learner writes, and the patterns of the shipped rules files must
// accept the same texts.
#include "text/StatementSyntax.h"
#include "rules/CellFilters.h"
#include "support/QtText.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>
#include <re2/re2.h>

#include <optional>
#include <string>
#include <vector>

namespace tallemo::syntax {
namespace {

using testing_support::u8;

bool re2Matches(const QString& pattern, const QString& text) {
    const RE2 expression(pattern.toStdString());
    EXPECT_TRUE(expression.ok()) << pattern.toStdString() << ": " << expression.error();
    return RE2::FullMatch(text.toStdString(), expression);
}

// The learner finds dates and amounts with QRegularExpression: it must read the fragments as RE2
// does.
bool qtMatches(const QString& pattern, const QString& text) {
    const QRegularExpression expression(QRegularExpression::anchoredPattern(pattern));
    EXPECT_TRUE(expression.isValid()) << pattern.toStdString();
    return expression.match(text).hasMatch();
}

TEST(Blanks, AreTheSpacesOfHtmlMailsAndFullWidthTextAndATab) {
    struct Case {
        char16_t unit;
        bool blank;
        bool space;
    };
    const std::vector<Case> cases = {
        {u' ', true, true},        {u'\u00A0', true, true},   {u'\u3000', true, true},
        {u'\t', true, false},      {u'\n', false, false},     {u'\r', false, false},
        {u'\u2009', false, false}, {u'\uFEFF', false, false}, {u'a', false, false},
        {u'_', false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.unit));
        EXPECT_EQ(isBlank(c.unit), c.blank);
        EXPECT_EQ(isSpace(c.unit), c.space);
    }
    EXPECT_TRUE(isBlankLine(u8("  \t\u00A0\u3000")));
    EXPECT_TRUE(isBlankLine(QString()));
    EXPECT_FALSE(isBlankLine(u8("\u00A0x")));
}

TEST(Blanks, ThePatternsTakeExactlyTheUnitsTheFunctionsTake) {
    const RE2 blank(blankPattern().toStdString());
    const RE2 space(spacePattern().toStdString());
    ASSERT_TRUE(blank.ok() && space.ok());
    for (char32_t unit = 1; unit < 0x10000; ++unit) {
        if (unit >= 0xD800 && unit < 0xE000)
            continue;
        const std::string text = QString(QChar(static_cast<char16_t>(unit))).toStdString();
        ASSERT_EQ(RE2::FullMatch(text, blank), isBlank(static_cast<char16_t>(unit)))
            << static_cast<unsigned>(unit);
        ASSERT_EQ(RE2::FullMatch(text, space), isSpace(static_cast<char16_t>(unit)))
            << static_cast<unsigned>(unit);
    }
}

// A date as statements write it, whether the shared pattern takes it (with a time or weekday
// after it), and what the date filter reads.
struct DateSample {
    const char* text;
    bool written;
    std::optional<const char*> read;
};

const std::vector<DateSample>& dateSamples() {
    static const std::vector<DateSample> samples = {
        {"2024/6/5", true, "2024/06/05"},
        {"2024/06/05", true, "2024/06/05"},
        {"２０２４/６/５", true, "2024/06/05"},
        {"２０２４／０６／０５", true, "2024/06/05"},
        {"2024-06-05", true, "2024/06/05"},
        {"2024－06－05", true, "2024/06/05"},
        {"2024.06.05", true, "2024/06/05"},
        {"2024年6月5日", true, "2024/06/05"},
        {"2024年6月5", true, "2024/06/05"},
        {"2024/11/03 12:34", true, "2024/11/03"},
        {"2024/11/03\u00A012:34:56", true, "2024/11/03"},
        {"2024/11/03\u300012：34", true, "2024/11/03"},
        {"2024-11-03T12:34", true, "2024/11/03"},
        {"2024/11/03(日)", true, "2024/11/03"},
        {"2024/11/03 （日）", true, "2024/11/03"},
        {"2024年11月3日 12:34", true, "2024/11/03"},
        // Written as a date, but no day of the calendar.
        {"2024/02/30", true, std::nullopt},
        {"2024/13/01", true, std::nullopt},
        // No date: without a year, a day or digits, apart by blanks, or a year of five digits.
        {"06/05", false, std::nullopt},
        {"2024/12", false, std::nullopt},
        {"2024 / 6 / 5", false, std::nullopt},
        {"2024/6-5", false, std::nullopt},
        {"20240/6/5", false, std::nullopt},
        {"2024/123/5", false, std::nullopt},
        {"令和6年6月5日", false, std::nullopt},
        {"abc", false, std::nullopt},
    };
    return samples;
}

// An amount without its "円", the same way.
struct AmountSample {
    const char* text;
    bool written;
    std::optional<const char*> read;
};

const std::vector<AmountSample>& amountSamples() {
    static const std::vector<AmountSample> samples = {
        {"1500", true, "1500"},
        {"1,500", true, "1500"},
        {"１，５００", true, "1500"},
        {"¥1,500", true, "1500"},
        {"￥ 1,500", true, "1500"},
        {"¥\u00A01,500", true, "1500"},
        {"-430", true, "-430"},
        {"- 430", true, "-430"},
        {"−430", true, "-430"},
        {"－４３０", true, "-430"},
        {"△300", true, "-300"},
        {"▲1,200", true, "-1200"},
        {"+1500", true, "1500"},
        {"1,500.00", true, "1500"},
        {"0", true, "0"},
        // Written as an amount, but no whole yen.
        {"1500.5", true, std::nullopt},
        // No amount.
        {"abc", false, std::nullopt},
        {"", false, std::nullopt},
        {"1,500ドル", false, std::nullopt},
        {"--430", false, std::nullopt},
    };
    return samples;
}

std::optional<QString> expectedReading(std::optional<const char*> read) {
    if (!read)
        return std::nullopt;
    return u8(*read);
}

QString dateWithSuffix() {
    return datePattern() + dateSuffixPattern();
}

TEST(DateSyntax, ThePatternAndTheDateFilterAgreeOnTheSamples) {
    for (const DateSample& sample : dateSamples()) {
        const QString text = u8(sample.text);
        SCOPED_TRACE(sample.text);
        EXPECT_EQ(re2Matches(dateWithSuffix(), text), sample.written);
        EXPECT_EQ(qtMatches(dateWithSuffix(), text), sample.written);
        const std::optional<QString> read = rules::readDate(text);
        EXPECT_EQ(read, expectedReading(sample.read));
    }
    // A date alone, without what follows it, is what the pattern's first part takes.
    EXPECT_TRUE(re2Matches(datePattern(), u8("2024年6月5日")));
    EXPECT_FALSE(re2Matches(datePattern(), u8("2024/11/03 12:34")));
    // Blanks before a date, a time or weekday after it: the filter reads past them.
    EXPECT_EQ(rules::readDate(u8("\u00A0\u30002024/6/5 12:34")), u8("2024/06/05"));
}

TEST(AmountSyntax, ThePatternAndTheYenFilterAgreeOnTheSamples) {
    for (const AmountSample& sample : amountSamples()) {
        const QString text = u8(sample.text);
        SCOPED_TRACE(sample.text);
        EXPECT_EQ(re2Matches(amountNumberPattern(), text), sample.written);
        EXPECT_EQ(qtMatches(amountNumberPattern(), text), sample.written);
        const std::optional<QString> read = rules::readYen(text);
        EXPECT_EQ(read, expectedReading(sample.read));
        // The "円" after it, after any spaces, is the amount's too.
        if (sample.written) {
            for (const char* yen : {"円", " 円", "\u00A0円", "\u3000円"}) {
                const QString withYen = text + u8(yen);
                EXPECT_TRUE(re2Matches(amountPattern(), withYen)) << yen;
                EXPECT_EQ(rules::readYen(withYen), read) << yen;
            }
        }
    }
    EXPECT_FALSE(re2Matches(amountNumberPattern(), u8("1,500円")));
}

// ---- The shipped rules files ----

struct ShippedFile {
    QString name;
    QString text;
};

std::vector<ShippedFile> shippedFiles() {
    std::vector<ShippedFile> files;
    const QDir folder(QStringLiteral(TALLEMO_SHIPPED_KINDS_DIR));
    for (const QString& name : folder.entryList({QStringLiteral("*.toml")}, QDir::Files)) {
        QFile file(folder.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        files.push_back({name, QString::fromUtf8(file.readAll())});
    }
    EXPECT_FALSE(files.empty());
    return files;
}

// Where the group or class that opens at `open` closes, past its closing bracket. The files
// write their patterns as TOML literal strings, so the text is the pattern.
qsizetype pastClosing(const QString& text, qsizetype open) {
    int depth = 0;
    bool inClass = false;
    for (qsizetype k = open; k < text.size(); ++k) {
        const QChar c = text[k];
        if (c == u'\\') {
            ++k;
        } else if (inClass) {
            inClass = c != u']';
            if (!inClass && text[open] == u'[')
                return k + 1;
        } else if (c == u'[') {
            inClass = true;
        } else if (c == u'(') {
            ++depth;
        } else if (c == u')' && --depth == 0) {
            return k + 1;
        }
    }
    return -1;
}

// The sub-patterns of the named captures of a file: what `(?P<name>…)` holds.
QStringList capturesNamed(const QString& text, const QString& name) {
    QStringList captures;
    const QString opening = QStringLiteral("(?P<%1>").arg(name);
    for (qsizetype at = text.indexOf(opening); at >= 0; at = text.indexOf(opening, at + 1)) {
        const qsizetype end = pastClosing(text, at);
        EXPECT_GT(end, at) << text.mid(at, 40).toStdString();
        if (end > at)
            captures << text.mid(at + opening.size(), end - 1 - at - opening.size());
    }
    return captures;
}

// A capture may hold exactly the shared syntax, or take the rest of its line for the filter to
// read: either way a sample gives a row from it exactly when it gives one from the shared
// pattern.
TEST(ShippedRulesFiles, TheirDatesAndAmountsAcceptWhatTheSharedSyntaxAccepts) {
    int captures = 0;
    for (const ShippedFile& file : shippedFiles()) {
        SCOPED_TRACE(file.name.toStdString());
        for (const QString& capture : capturesNamed(file.text, QStringLiteral("date"))) {
            ++captures;
            for (const DateSample& sample : dateSamples()) {
                const QString text = u8(sample.text);
                const bool readable = rules::readDate(text).has_value();
                EXPECT_EQ(re2Matches(capture, text) && readable,
                          re2Matches(dateWithSuffix(), text) && readable)
                    << capture.toStdString() << " on " << sample.text;
            }
        }
        for (const QString& capture : capturesNamed(file.text, QStringLiteral("amount"))) {
            ++captures;
            for (const AmountSample& sample : amountSamples()) {
                const QString text = u8(sample.text);
                const bool readable = rules::readYen(text).has_value();
                EXPECT_EQ(re2Matches(capture, text) && readable,
                          re2Matches(amountNumberPattern(), text) && readable)
                    << capture.toStdString() << " on " << sample.text;
            }
        }
    }
    // The card mails' files name a date and an amount each.
    EXPECT_GE(captures, 16);
}

// Every class of blanks in the shipped files (those that name U+3000) takes the spaces of HTML
// mails too.
TEST(ShippedRulesFiles, TheirBlanksAreTheSharedSpaces) {
    for (const ShippedFile& file : shippedFiles()) {
        SCOPED_TRACE(file.name.toStdString());
        for (qsizetype at = file.text.indexOf(u'['); at >= 0;
             at = file.text.indexOf(u'[', at + 1)) {
            if (at > 0 && file.text[at - 1] == u'\\')
                continue;
            const qsizetype end = pastClosing(file.text, at);
            const QString cls = file.text.mid(at, end - at);
            if (end < 0 || !cls.contains(QStringLiteral("\\x{3000}")))
                continue;
            const bool negated = cls.startsWith(QStringLiteral("[^"));
            for (const char16_t unit : {u' ', u'\u00A0', u'\u3000'})
                EXPECT_NE(re2Matches(cls, QString(QChar(unit))), negated)
                    << cls.toStdString() << " on U+" << std::hex << static_cast<int>(unit);
        }
    }
}

} // namespace
} // namespace tallemo::syntax
