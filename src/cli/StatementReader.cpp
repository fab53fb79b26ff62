#include "cli/StatementReader.h"

#include "text/HugePages.h"
#include "text/Utf8.h"

#include <QByteArray>
#include <QIODevice>

#include <algorithm>
#include <cstring>

namespace tallemo {

namespace {

constexpr qsizetype kBlock = qsizetype{1024} * 1024;

// The 1-based number of the first line of block that is not UTF-8. A line break byte never
// occurs inside a multi-byte sequence, so each line can be checked on its own.
qsizetype firstLineNotUtf8(QByteArrayView block) {
    QString units;
    qsizetype number = 1;
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = block.indexOf('\n', start);
        const QByteArrayView line = block.sliced(start, (end < 0 ? block.size() : end) - start);
        units.resize(line.size());
        if (decodeUtf8(line, units.data()) == nullptr || end < 0)
            return number;
        ++number;
        start = end + 1;
    }
}

// Appends the UTF-16 of bytes, whole lines, to text; false when they are not UTF-8. Only the
// first block may begin with a byte-order mark, which is dropped: a U+FEFF starting a later line
// is text.
bool appendDecoded(QString& text, QByteArrayView bytes, bool firstBlock) {
    if (firstBlock && bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    const qsizetype old = text.size();
    // Never more UTF-16 code units than bytes; the added units are uninitialised until written.
    text.resize(old + bytes.size());
    const QChar* const end = decodeUtf8(bytes, text.data() + old);
    text.truncate(end == nullptr ? old : end - text.constData());
    return end != nullptr;
}

} // namespace

std::variant<StatementText, StatementProblem> readStatement(QIODevice& device) {
    QString text;
    // A file's size bounds its UTF-16 length; reserved pages cost nothing until written.
    if (!device.isSequential()) {
        text.reserve(std::max<qint64>(device.size() - device.pos(), 0) + 1);
        adviseHugePages(text.data(), static_cast<std::size_t>(text.capacity()) * sizeof(QChar));
    }
    QByteArray block(kBlock, Qt::Uninitialized);
    qsizetype held = 0; // bytes read into block and not decoded yet
    bool firstBlock = true;
    // Once a NUL has ended the text, later blocks are only checked, and their lines counted for
    // a message; until then the lines are counted in the text when a message needs them.
    bool cut = false;
    qsizetype linesAfterCut = 0;
    QString checked;
    for (;;) {
        if (held == block.size())
            // A line longer than the block: the block grows until it holds the whole line.
            block.resize(block.size() * 2);
        const qint64 n = device.read(block.data() + held, block.size() - held);
        if (n < 0)
            return StatementProblem{device.errorString()};
        // Only the bytes just read can hold a break: the ones kept from before hold none.
        const qsizetype fresh = held;
        held += n;
        const bool atEnd = n == 0;
        const qsizetype lastBreak = QByteArrayView(block.constData() + fresh, n).lastIndexOf('\n');
        const qsizetype complete = atEnd ? held : (lastBreak < 0 ? 0 : fresh + lastBreak + 1);
        if (complete == 0) {
            if (atEnd)
                break;
            continue;
        }
        const QByteArrayView lines(block.constData(), complete);
        // The text ends at the first NUL, which is a zero byte: no multi-byte sequence holds
        // one. What follows it is only checked.
        const qsizetype nul = cut ? 0 : lines.indexOf('\0');
        const QByteArrayView kept = nul < 0 ? lines : lines.first(nul);
        const qsizetype from = text.size();
        bool wellFormed = kept.isEmpty() || appendDecoded(text, kept, firstBlock);
        if (wellFormed && nul >= 0) {
            wellFormed = appendDecoded(checked, lines.sliced(nul), false);
            checked.resize(0);
        }
        if (!wellFormed) {
            const qsizetype before =
                cut ? linesAfterCut : QStringView(text).first(from).count(u'\n');
            return StatementProblem{QString(), before + firstLineNotUtf8(lines)};
        }
        if (cut)
            linesAfterCut += lines.count('\n');
        else if (nul >= 0)
            linesAfterCut = QStringView(text).first(from).count(u'\n') + lines.count('\n');
        cut = cut || nul >= 0;
        if (atEnd)
            break;
        firstBlock = false;
        held -= complete;
        std::memmove(block.data(), block.constData() + complete, static_cast<std::size_t>(held));
    }
    return StatementText{std::move(text)};
}

} // namespace tallemo
