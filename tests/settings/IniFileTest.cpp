#include "settings/IniFile.h"

#include "support/QtText.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>

namespace tallemo {
namespace {

struct ReadCase {
    const char* name;
    QByteArray content;
    QString section;
    QString ident;
    std::optional<QString> expected;
};

TEST(IniFileRead, FindsValues) {
    const ReadCase cases[] = {
        {"plain", "[Ap]\nMainForm_left=120\n", "Ap", "MainForm_left", "120"},
        {"names ignore ASCII case", "[SPSHEET]\nurl=x\n", "Spsheet", "URL", "x"},
        {"blanks around names and value", "  [ Spsheet ]  \n  URL =  http://a  \n", "Spsheet",
         "URL", "http://a"},
        {"tabs are blanks", "[S]\n\tk\t=\tv\t\n", "S", "k", "v"},
        {"one pair of quotes goes", "[S]\nk=\" a \"\n", "S", "k", " a "},
        {"only one pair of quotes goes", "[S]\nk=\"\"x\"\"\n", "S", "k", "\"x\""},
        {"a lone quote stays", "[S]\nk=\"\n", "S", "k", "\""},
        {"CR LF line ends", "[S]\r\nk=v\r\nj=w\r\n", "S", "k", "v"},
        {"byte-order mark, no final line end", "\xEF\xBB\xBF[S]\nk=v", "S", "k", "v"},
        {"byte-order mark before a key", "\xEF\xBB\xBFk=v\n", "", "k", "v"},
        {"key before any section", "top=1\n[S]\nk=v\n", "S", "k", "v"},
        {"key before any section has no named section", "top=1\n[S]\nk=v\n", "S", "top", {}},
        {"key before any section read without a section", "top=1\n[S]\n", "", "top", "1"},
        {"the key of another section", "[A]\nk=1\n[B]\nk=2\n", "B", "k", "2"},
        {"a section named twice", "[S]\na=1\n[T]\nb=0\n[S]\nb=2\n", "S", "b", "2"},
        {"first of two equal keys", "[S]\nk=1\nK=2\n", "S", "k", "1"},
        {"comments are no keys", "[S]\n;k=1\n  #k=2\nk=3\n", "S", "k", "3"},
        {"text after a header", "[S] ; note\nk=v\n", "S", "k", "v"},
        {"a second = belongs to the value", "[S]\nk=a=b\n", "S", "k", "a=b"},
        {"UTF-8 text", "[S]\nk=スプシ の URL\n", "S", "k", "スプシ の URL"},
        {"non-ASCII names match exactly", "[設定]\nキー=1\n", "設定", "キー", "1"},
        {"present but empty", "[S]\nk=\n", "S", "k", ""},
        {"missing key", "[S]\nj=1\n", "S", "k", {}},
        {"missing section", "[T]\nk=1\n", "S", "k", {}},
        {"empty text", "", "S", "k", {}},
        {"a line without = is no key", "[S]\nk\n", "S", "k", {}},
        {"CR-only line ends", "[A]\rk=1\r[S]\rk=v\rj=w\r", "S", "k", "v"},
        {"a lone CR inside LF lines", "[S]\nj=1\rk=v\n", "S", "k", "v"},
        {"a lone CR ends the value", "[S]\nk=v\rw\n", "S", "k", "v"},
        {"a value may begin with U+FEFF", "[S]\nk=\xEF\xBB\xBFv\n", "S", "k",
         QStringLiteral("\uFEFFv")},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IniFile::readValue(c.content, c.section, c.ident), c.expected);
    }
}

struct WriteCase {
    const char* name;
    QByteArray before;
    QString section;
    QString ident;
    QString value;
    QByteArray after;
};

// A user's file is kept byte for byte except for the one line the write is about.
TEST(IniFileWrite, ChangesOnlyItsOwnLine) {
    const QByteArray userFile = "; my settings\n"
                                "[Spsheet]\n"
                                "URL = https://old\n"
                                "note=\x83\x65\x83\x58\x83\x67\n" // Shift-JIS bytes, not UTF-8
                                "\n"
                                "; the card\n"
                                "[View]\n"
                                "Suica=0";
    const WriteCase cases[] = {
        {"replace keeps the key's spelling and blanks", userFile, "spsheet", "url", "https://new",
         "; my settings\n[Spsheet]\nURL = https://new\nnote=\x83\x65\x83\x58\x83\x67\n\n"
         "; the card\n[View]\nSuica=0"},
        {"append after the section's last key", userFile, "Spsheet", "Extra", "1",
         "; my settings\n[Spsheet]\nURL = https://old\nnote=\x83\x65\x83\x58\x83\x67\nExtra=1\n\n"
         "; the card\n[View]\nSuica=0"},
        {"append after a last line without line end", userFile, "View", "Other", "1",
         "; my settings\n[Spsheet]\nURL = https://old\nnote=\x83\x65\x83\x58\x83\x67\n\n"
         "; the card\n[View]\nSuica=0\nOther=1\n"},
        {"new section at the end", userFile, "Ap", "MainForm_left", "-8",
         "; my settings\n[Spsheet]\nURL = https://old\nnote=\x83\x65\x83\x58\x83\x67\n\n"
         "; the card\n[View]\nSuica=0\n[Ap]\nMainForm_left=-8\n"},
        {"CR LF file", "\xEF\xBB\xBF[A]\r\nk=1\r\n[B]\r\nk=2\r\n", "A", "j", "3",
         "\xEF\xBB\xBF[A]\r\nk=1\r\nj=3\r\n[B]\r\nk=2\r\n"},
        {"CR LF file, new section", "[A]\r\nk=1", "B", "k", "2", "[A]\r\nk=1\r\n[B]\r\nk=2\r\n"},
        {"CR LF line kept when replaced", "[A]\r\nk=1\r\n", "A", "k", "22", "[A]\r\nk=22\r\n"},
        {"section without keys", "[A]\n\n[B]\n", "A", "k", "1", "[A]\nk=1\n\n[B]\n"},
        {"header as the last line", "[A]", "A", "k", "1", "[A]\nk=1\n"},
        {"empty file", "", "Ap", "MainForm_top", "120", "[Ap]\nMainForm_top=120\n"},
        {"only a byte-order mark", "\xEF\xBB\xBF", "A", "k", "1", "\xEF\xBB\xBF[A]\nk=1\n"},
        {"names are trimmed", "", " A ", " k ", "1", "[A]\nk=1\n"},
        {"key of the first of two equal sections", "[A]\na=1\n[B]\n[A]\nb=2\n", "a", "b", "3",
         "[A]\na=1\n[B]\n[A]\nb=3\n"},
        {"new key into the first of two equal sections", "[A]\na=1\n[B]\n[A]\nb=2\n", "A", "c", "3",
         "[A]\na=1\nc=3\n[B]\n[A]\nb=2\n"},
        {"key before any section", "top=1\n[A]\n", "", "top", "2", "top=2\n[A]\n"},
        {"new key before any section", "\xEF\xBB\xBF[A]\n", "", "top", "2",
         "\xEF\xBB\xBFtop=2\n[A]\n"},
        {"value that needs quotes", "[A]\nk=1\n", "A", "k", " padded", "[A]\nk=\" padded\"\n"},
        {"value in quotes gets another pair", "", "A", "k", "\"q\"", "[A]\nk=\"\"q\"\"\n"},
        {"an empty value", "[A]\nk = 1\n", "A", "k", "", "[A]\nk = \n"},
    };
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray after = IniFile::writeValue(c.before, c.section, c.ident, c.value);
        EXPECT_EQ(after, c.after);
        EXPECT_EQ(IniFile::readValue(after, c.section, c.ident), c.value);
    }
}

// Every value that can be written reads back unchanged, whatever was there before.
TEST(IniFileWrite, ValuesReadBackUnchanged) {
    const QString values[] = {
        "",
        "plain",
        " leading",
        "trailing ",
        "\tboth\t",
        "   ",
        "\"quoted\"",
        "\"",
        "\"half",
        "half\"",
        "a \"b\" c",
        "\" \"",
        "https://docs.google.com/spreadsheets/d/abc/edit?usp=sharing#gid=0",
        "日本語　テキスト", // with U+3000, which is no blank here
        "a;b#c[d]=e",
        "[notasection]",
        "😀 surrogate pairs",
        // QString::fromUtf8 would drop a leading U+FEFF as a byte-order mark.
        QStringLiteral("\uFEFFafter a byte-order mark"),
        QStringLiteral("\uFEFF\uFEFF"),
        QString(3000, u'x'),
    };
    for (const QByteArray& start : {QByteArray(), QByteArray("[S]\nk=old\n"),
                                    QByteArray("[S]\r\n  k  =  \"old\"  \r\n[T]\r\nk=other\r\n")}) {
        QByteArray content = start;
        for (const QString& value : values) {
            SCOPED_TRACE(value.left(40).toStdString());
            content = IniFile::writeValue(content, "S", "k", value);
            EXPECT_EQ(IniFile::readValue(content, "S", "k"), value);
        }
        if (start.contains("[T]")) {
            EXPECT_EQ(IniFile::readValue(content, "T", "k"), "other");
        }
    }
}

// A value written reads back and every other key keeps its value, whatever line ends the file
// has, also when its last line ends in a lone CR (where a new key used to be glued onto that line).
TEST(IniFileWrite, KeepsEveryKeyWhateverTheLineEnds) {
    const QByteArray files[] = {
        "[Ap]\r\nMainForm_left=120\r",
        "[Ap]\rMainForm_left=120\r",
        "[Ap]\rMainForm_left=120",
        "[Ap]\nMainForm_left=120\r",
        "[Ap]\r\nMainForm_left=120\r\n[View]\rSuica=1\r",
        "[Ap]\rMainForm_left=120\r\r[View]\r\nSuica=1\n\r",
        "\xEF\xBB\xBF[View]\rSuica=1\r\n[Ap]\nMainForm_left=120\r",
    };
    for (const QByteArray& before : files) {
        SCOPED_TRACE(before.toStdString());
        const bool hasView = before.contains("[View]");
        for (const char* key : {"MainForm_top", "MainForm_left"}) {
            for (const char* section : {"Ap", "New"}) {
                const QByteArray after = IniFile::writeValue(before, section, key, "0");
                EXPECT_EQ(IniFile::readValue(after, section, key), "0");
                if (QByteArray(section) != "Ap" || QByteArray(key) != "MainForm_left") {
                    EXPECT_EQ(IniFile::readValue(after, "Ap", "MainForm_left"), "120");
                }
                if (hasView) {
                    EXPECT_EQ(IniFile::readValue(after, "View", "Suica"), "1");
                }
            }
        }
    }
    // The file keeps its bytes; the new line takes the first line's CR LF.
    EXPECT_EQ(IniFile::writeValue("[Ap]\r\nMainForm_left=120\r", "Ap", "MainForm_top", "0"),
              "[Ap]\r\nMainForm_left=120\rMainForm_top=0\r\n");
    // A CR-only file stays one.
    EXPECT_EQ(IniFile::writeValue("[Ap]\rMainForm_left=120\r", "S", "k", "v"),
              "[Ap]\rMainForm_left=120\r[S]\rk=v\r");
}

// What could not be read back as written is refused rather than written into the file.
TEST(IniFileWrite, RefusesWhatWouldNotReadBack) {
    struct Case {
        const char* name;
        QString section;
        QString ident;
        QString value;
    };
    const Case cases[] = {
        {"LF in the value", "S", "k", "a\nb"},
        {"CR in the value", "S", "k", "a\r"},
        {"CR LF in the value", "S", "k", "a\r\n[S]\r\nk=evil"},
        {"half a surrogate pair", "S", "k", QString(QChar(0xD83D))},
        {"line break in the section", "S\nk=v", "k", "1"},
        {"] in the section", "a]b", "k", "1"},
        {"= in the key", "S", "a=b", "1"},
        {"key like a header", "S", " [k", "1"},
        {"key like a comment", "S", ";k", "1"},
        {"key like another comment", "S", "#k", "1"},
        {"line break in the key", "S", "k\nj", "1"},
        {"key starting with a byte-order mark", "", " \uFEFF;k", "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_THROW(IniFile::writeValue("[S]\nk=1\n", c.section, c.ident, c.value),
                     std::invalid_argument);
    }
}

} // namespace
} // namespace tallemo
