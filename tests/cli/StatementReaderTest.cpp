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

TEST(ReadStatement, RefusesBytesThatAreNotUtf8WithTheirLine) {
    EXPECT_EQ(badLineOf(readFromFile("\x82\xa0")), 1);
    EXPECT_EQ(badLineOf(readFromFile("ok\r\nok\n\x82\xa0\x82\xa2\n")), 3);
    EXPECT_EQ(badLineOf(readFromFile("ok\n\xE6\x94")), 2); // cut short at the end of the file
    // After the text's first NUL the bytes are still checked.
    EXPECT_EQ(badLineOf(readFromFile(QByteArray("a\n\0\nb\n\xFF\n", 8))), 4);

    // Far into a long file, in a later block.
    const QByteArray bytes = longStatement();
    const qsizetype lines = bytes.count('\n');
    EXPECT_EQ(badLineOf(readFromFile(bytes + "x\xC0\x80\n")), lines + 1);
    EXPECT_EQ(badLineOf(readFromFile(bytes + QByteArray("\0\n", 2) + bytes + "\xED\xA0\x80")),
              2 * lines + 2);
    TrickleDevice pipe(bytes + "\xF5", 777777);
    EXPECT_EQ(badLineOf(readStatement(pipe)), lines + 1);
}

} // namespace
