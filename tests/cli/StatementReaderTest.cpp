// The companion reads a statement in blocks of whole lines and decodes each as it comes. The text
// must be what decoding the whole file at once gives (a byte-order mark dropped only at the very
// start, cut at the first NUL), whatever the sizes of the reads and however the lines fall on
// the blocks, and a file that is not UTF-8 must be refused with the number of its first bad line.
#include "cli/StatementReader.h"
#include "support/QtText.h"

#include <QBuffer>
#include <QStringDecoder>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

using namespace tallemo;
using namespace tallemo::testing_support;

namespace {

// A pipe: no size known up front, and reads that stop after a few bytes.
class TrickleDevice : public QIODevice {
public:
    TrickleDevice(QByteArray bytes, qint64 chunk) : m_bytes(std::move(bytes)), m_chunk(chunk) {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const qint64 n = std::min({maxSize, m_chunk, m_bytes.size() - m_at});
        std::memcpy(data, m_bytes.constData() + m_at, static_cast<std::size_t>(n));
        m_at += n;
        return n;
    }
    qint64 writeData(const char* /*data*/, qint64 /*size*/) override { return -1; }

private:
    QByteArray m_bytes;
    qint64 m_chunk;
    qint64 m_at = 0;
};

std::variant<StatementText, StatementProblem> readFromFile(const QByteArray& bytes) {
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    return readStatement(buffer);
}

QString textOf(const std::variant<StatementText, StatementProblem>& read) {
    if (const auto* text = std::get_if<StatementText>(&read))
        return text->text;
    ADD_FAILURE() << "refused, line " << std::get<StatementProblem>(read).firstLineNotUtf8;
    return {};
}

qsizetype badLineOf(const std::variant<StatementText, StatementProblem>& read) {
    if (const auto* problem = std::get_if<StatementProblem>(&read))
        return problem->firstLineNotUtf8;
    ADD_FAILURE() << "taken as UTF-8";
    return 0;
}

// What Qt makes of the whole file at once, cut at the first NUL.
QString decodedWhole(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

// Lines of every length from 0 to 40 units, Japanese and ASCII, each starting with U+FEFF (text
// everywhere but at the very start), until the file passes several megabytes.
QByteArray longStatement() {
    QByteArray bytes;
    for (int i = 0; bytes.size() < qsizetype{3} * 1024 * 1024; ++i)
        bytes += "\xEF\xBB\xBF" + QByteArray(i % 41, 'x') +
                 u8("支払方法\t").toUtf8().repeated(i % 3) + (i % 2 == 0 ? "\n" : "\r\n");
    return bytes;
}

TEST(ReadStatement, SmallFilesAsAPasteTakesThem) {
    struct Case {
        const char* bytes;
        const char* text;
    };
    for (const Case& c : {
             Case{"", ""},
             Case{"\xEF\xBB\xBF", ""},
             Case{"\xEF\xBB\xBF\xE6\x94\xAF\n\xEF\xBB\xBFz", "支\n\xEF\xBB\xBFz"},
             Case{"no break at the end", "no break at the end"},
         }) {
        EXPECT_EQ(textOf(readFromFile(c.bytes)), u8(c.text)) << c.bytes;
    }
    EXPECT_EQ(textOf(readFromFile(QByteArray("a\nb\0c\nd", 7))), QStringLiteral("a\nb"));
}

TEST(ReadStatement, ALongFileIsTheSameAsDecodedWhole) {
    const QByteArray bytes = longStatement();
    EXPECT_EQ(textOf(readFromFile(bytes)), decodedWhole(bytes));
    const QByteArray start = bytes.first(bytes.indexOf('\n', 100000) + 1);
    for (const qint64 chunk : {qint64{1}, qint64{4093}, qint64{1} << 20, qint64{3} << 20}) {
        const QByteArray& piped = chunk == 1 ? start : bytes;
        TrickleDevice pipe(piped, chunk);
        EXPECT_EQ(textOf(readStatement(pipe)), decodedWhole(piped)) << "reads of " << chunk;
    }
}

TEST(ReadStatement, ALineLongerThanABlockIsReadWhole) {
    const QByteArray line = u8("支払方法 1回払い ").toUtf8().repeated(200000);
    const QByteArray bytes = "first\n" + line + "\n" + line;
    EXPECT_EQ(textOf(readFromFile(bytes)), decodedWhole(bytes));
    TrickleDevice pipe(bytes, 65536);
    EXPECT_EQ(textOf(readStatement(pipe)), decodedWhole(bytes));
}

// A UTF-8 file with a byte UTF-8 refuses is read again as Windows-31J, from its first byte,
// also from a pipe, whose bytes cannot be read twice.
TEST(ReadStatement, ReadsShiftJisAgainFromTheStart) {
    QByteArray bytes;
    for (int i = 0; bytes.size() < qsizetype{3} * 1024 * 1024; ++i)
        bytes += "2025/07/03,\x83\x4a\x81\x5b\x83\x68 " + QByteArray::number(i) + "\r\n";
    bytes += "\x87\x40\n";
    const QString expected = QStringDecoder("windows-31j").decode(bytes);
    const auto fromFile = readFromFile(bytes);
    EXPECT_EQ(textOf(fromFile), expected);
    EXPECT_EQ(std::get<StatementText>(fromFile).encoding, TextEncoding::Windows31J);
    TrickleDevice pipe(bytes, 65536);
    const auto fromPipe = readStatement(pipe);
    EXPECT_EQ(textOf(fromPipe), expected);
    EXPECT_EQ(std::get<StatementText>(fromPipe).encoding, TextEncoding::Windows31J);
    // Cut at the first NUL as UTF-8 is.
    EXPECT_EQ(textOf(readFromFile(QByteArray("\x82\xa0\n\0\x82\xa2", 6))), u8("あ\n"));
}

TEST(ReadStatement, TellsTheEncodingByTheMarkFirst) {
    struct Case {
        QByteArray bytes;
        const char* text;
        TextEncoding encoding;
    };
    for (const Case& c : {
             Case{"abc", "abc", TextEncoding::Utf8},
             Case{"\xEF\xBB\xBF\xE6\x94\xAF", "支", TextEncoding::Utf8WithBom},
             Case{QByteArray("\xFF\xFE\x2f\x65\n\0\0\0z\0", 10), "支\n", TextEncoding::Utf16Le},
             Case{QByteArray("\xFE\xFF\x65\x2f\0\n", 6), "支\n", TextEncoding::Utf16Be},
         }) {
        const auto read = readFromFile(c.bytes);
        EXPECT_EQ(textOf(read), u8(c.text)) << c.bytes.toHex().toStdString();
        EXPECT_EQ(std::get<StatementText>(read).encoding, c.encoding)
            << c.bytes.toHex().toStdString();
        TrickleDevice pipe(c.bytes, 1);
        EXPECT_EQ(textOf(readStatement(pipe)), u8(c.text)) << c.bytes.toHex().toStdString();
    }
    // A UTF-16 file cut in the middle of a code unit.
    const auto odd = readFromFile(QByteArray("\xFF\xFEz", 3));
    ASSERT_TRUE(std::holds_alternative<StatementProblem>(odd));
    EXPECT_FALSE(std::get<StatementProblem>(odd).readError.isEmpty());
}

// Refused: neither UTF-8 nor Windows-31J, with the line and offset of the first byte that is not
// UTF-8 (0x80 and 0xFF are no Windows-31J bytes; 0x82 0x0A is a lead byte without its second).
TEST(ReadStatement, RefusesBytesNoEncodingTakesWithWhereUtf8Breaks) {
    struct Case {
        QByteArray bytes;
        qsizetype line;
        qsizetype offset;
    };
    const QByteArray bytes = longStatement();
    const qsizetype lines = bytes.count('\n');
    for (const Case& c : {
             Case{"\x80", 1, 0},
             Case{"ok\r\nok\n\x82\xa0\x82\xa2\x80\n", 3, 7},
             Case{"ok\n\x82", 2, 3}, // cut short at the end of the file
             // After the text's first NUL the bytes are still checked.
             Case{QByteArray("a\n\0\nb\n\xFF\n", 8), 4, 6},
             // A UTF-8 mark: a later Shift_JIS line is refused, not reread.
             Case{"\xEF\xBB\xBFok\n\x82\xa0", 2, 6},
             // Far into a long file, in a later block.
             Case{bytes + "x\xC0\x80\n", lines + 1, bytes.size() + 1},
             Case{bytes + QByteArray("\0\n", 2) + bytes + "\xED\xA0\x80", 2 * lines + 2,
                  2 * bytes.size() + 2},
         }) {
        EXPECT_EQ(badLineOf(readFromFile(c.bytes)), c.line)
            << c.bytes.left(40).toHex().toStdString();
        const auto read = readFromFile(c.bytes);
        if (const auto* problem = std::get_if<StatementProblem>(&read)) {
            EXPECT_EQ(problem->firstByteNotUtf8, c.offset);
        }
        TrickleDevice pipe(c.bytes, 777777);
        EXPECT_EQ(badLineOf(readStatement(pipe)), c.line);
    }
}

// A text longer than the line model takes is refused in every encoding, from a file and from a
// pipe, once the text before its first NUL passes the limit (here 10 units); what follows a NUL
// never counts.
TEST(ReadStatement, RefusesATextLongerThanALineModelTakes) {
    struct Case {
        const char* name;
        QByteArray bytes;
        bool refused;
    };
    const QByteArray sjis("\x82\xa0", 2); // あ
    const QByteArray nul(1, '\0');
    const QByteArray utf16Unit("a\0", 2);
    const std::vector<Case> cases = {
        {"UTF-8 at the limit", QByteArray(10, 'a'), false},
        {"UTF-8 beyond", QByteArray(11, 'a'), true},
        {"UTF-8 beyond only after a NUL", "abc" + nul + QByteArray(50, 'a'), false},
        {"Windows-31J at the limit", sjis.repeated(10), false},
        {"Windows-31J beyond", sjis.repeated(11), true},
        {"Windows-31J beyond only after a NUL", sjis.repeated(3) + nul + sjis.repeated(20), false},
        {"UTF-16 at the limit", "\xFF\xFE" + utf16Unit.repeated(10), false},
        {"UTF-16 beyond", "\xFF\xFE" + utf16Unit.repeated(11), true},
        {"UTF-16 beyond only after a NUL",
         "\xFF\xFE" + utf16Unit + QByteArray(2, '\0') + utf16Unit.repeated(20), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray data = c.bytes;
        QBuffer file(&data);
        file.open(QIODevice::ReadOnly);
        TrickleDevice pipe(c.bytes, 3);
        for (QIODevice* device : {static_cast<QIODevice*>(&file), static_cast<QIODevice*>(&pipe)}) {
            const auto read = readStatement(*device, 10);
            if (c.refused) {
                ASSERT_TRUE(std::holds_alternative<StatementProblem>(read));
                EXPECT_TRUE(std::get<StatementProblem>(read).readError.contains(u"10 characters"));
            } else {
                EXPECT_LE(textOf(read).size(), 10);
            }
        }
    }
}

} // namespace
