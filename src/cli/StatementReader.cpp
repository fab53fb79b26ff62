#include "cli/StatementReader.h"

#include "text/HugePages.h"
#include "text/Utf8.h"

#include <QByteArray>
#include <QIODevice>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <optional>

namespace tallemo {

namespace {

constexpr qsizetype kBlock = qsizetype{1024} * 1024;

// Hands out a device's bytes in blocks of whole lines (the last one may lack its break). A line
// break byte never occurs inside a UTF-8 or a Windows-31J character, so each block decodes on
// its own.
class LineBlocks {
public:
    explicit LineBlocks(QIODevice& device) : m_device(device), m_block(kBlock, Qt::Uninitialized) {}

    // The next block, empty at the end; nothing when the device fails (errorString() says why).
    std::optional<QByteArrayView> next() {
        m_offset += m_handed;
        m_held -= m_handed;
        std::memmove(m_block.data(), m_block.constData() + m_handed,
                     static_cast<std::size_t>(m_held));
        m_handed = 0;
        for (;;) {
            if (m_atEnd) {
                m_handed = m_held;
                return QByteArrayView(m_block.constData(), m_handed);
            }
            if (m_held == m_block.size())
                // A line longer than the block: the block grows until it holds the whole line.
                m_block.resize(m_block.size() * 2);
            const qint64 n = m_device.read(m_block.data() + m_held, m_block.size() - m_held);
            if (n < 0)
                return std::nullopt;
            // Only the bytes just read can hold a break: the ones kept from before hold none.
            const qsizetype fresh = m_held;
            m_held += n;
            if (n == 0) {
                m_atEnd = true;
                continue;
            }
            const qsizetype lastBreak =
                QByteArrayView(m_block.constData() + fresh, n).lastIndexOf('\n');
            if (lastBreak >= 0) {
                m_handed = fresh + lastBreak + 1;
                return QByteArrayView(m_block.constData(), m_handed);
            }
        }
    }
    // Where the block last handed out starts in the device's bytes.
    qsizetype offset() const { return m_offset; }
    // The bytes read after the block last handed out.
    QByteArrayView rest() const { return {m_block.constData() + m_handed, m_held - m_handed}; }

private:
    QIODevice& m_device;
    QByteArray m_block;
    qsizetype m_held = 0;   // bytes read into the block
    qsizetype m_handed = 0; // of which the last block handed out
    qsizetype m_offset = 0;
    bool m_atEnd = false;
};

// The 1-based number of the first line of block that is not UTF-8. A line break byte never
// occurs inside a multi-byte sequence, so each line can be checked on its own.
qsizetype firstLineNotUtf8(QByteArrayView block) {
    return block.first(firstByteNotUtf8(block)).count('\n') + 1;
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

StatementProblem readProblem(const QIODevice& device) {
    return StatementProblem{device.errorString()};
}

StatementProblem tooLong(qsizetype maxLength) {
    return StatementProblem{
        QStringLiteral("it is longer than the %1 characters a statement may have").arg(maxLength)};
}

// Appends the text decoded from each block until the first NUL, which ends it; after that the
// blocks are still decoded (into a scratch string), so that a file is refused or taken whole
// as before. Fails when the text outgrows maxLength.
class NulCutText {
public:
    NulCutText(QString& text, qsizetype maxLength) : m_text(text), m_maxLength(maxLength) {}

    // Where the next block's text goes.
    QString& target() { return m_cut ? m_scratch : m_text; }
    // After a block was appended to target(), from its size before; false when the text is now
    // too long.
    bool appended(qsizetype from) {
        if (m_cut) {
            m_scratch.resize(0);
            return true;
        }
        if (const qsizetype nul = QStringView(m_text).sliced(from).indexOf(QChar(u'\0'));
            nul >= 0) {
            m_text.truncate(from + nul);
            m_cut = true;
        }
        return m_text.size() <= m_maxLength;
    }

private:
    QString& m_text;
    QString m_scratch;
    qsizetype m_maxLength;
    bool m_cut = false;
};

// The rest of a file whose first block began with a UTF-16 byte-order mark.
std::variant<StatementText, StatementProblem> readUtf16(LineBlocks& blocks, QByteArrayView first,
                                                        TextEncoding encoding, QString text,
                                                        const QIODevice& device,
                                                        qsizetype maxLength) {
    // Stateful: a line feed byte may stand in any half of a code unit, so the blocks do not end
    // on whole units.
    QStringDecoder decoder(encoding == TextEncoding::Utf16Le ? QStringDecoder::Utf16LE
                                                             : QStringDecoder::Utf16BE);
    NulCutText cutText(text, maxLength);
    const auto append = [&](QByteArrayView bytes) {
        QString& target = cutText.target();
        const qsizetype from = target.size();
        target += decoder.decode(bytes);
        return cutText.appended(from);
    };
    if (!append(first.sliced(2)))
        return tooLong(maxLength);
    qsizetype size = first.size();
    for (;;) {
        const std::optional<QByteArrayView> block = blocks.next();
        if (!block)
            return readProblem(device);
        if (block->isEmpty())
            break;
        if (!append(*block))
            return tooLong(maxLength);
        size += block->size();
    }
    if (size % 2 != 0)
        return StatementProblem{QStringLiteral("it ends in half a UTF-16 code unit")};
    return StatementText{std::move(text), encoding};
}

} // namespace

std::variant<StatementText, StatementProblem> readStatement(QIODevice& device,
                                                            qsizetype maxLength) {
    const qint64 start = device.pos();
    const bool sequential = device.isSequential();
    QString text;
    // A file's size bounds its UTF-16 length; reserved pages cost nothing until written.
    if (!sequential) {
        // A block of room beyond the limit: the text is checked after each block, and a buffer
        // that had to grow for the last one would copy all of it.
        text.reserve(std::clamp<qint64>(device.size() - start, 0, maxLength + kBlock) + 1);
        adviseHugePages(text.data(), static_cast<std::size_t>(text.capacity()) * sizeof(QChar));
    }
    // A pipe cannot be read twice: its bytes are kept in case it is not UTF-8.
    QByteArray kept;
    LineBlocks blocks(device);
    bool firstBlock = true;
    bool marked = false; // the file began with a UTF-8 byte-order mark
    // Once a NUL has ended the text, later blocks are only checked, and their lines counted for
    // a message; until then the lines are counted in the text when a message needs them.
    bool cut = false;
    qsizetype linesAfterCut = 0;
    QString checked;
    std::optional<StatementProblem> notUtf8;
    for (;;) {
        const std::optional<QByteArrayView> block = blocks.next();
        if (!block)
            return readProblem(device);
        const QByteArrayView lines = *block;
        if (lines.isEmpty())
            break;
        if (firstBlock) {
            if (lines.startsWith("\xFF\xFE"))
                return readUtf16(blocks, lines, TextEncoding::Utf16Le, std::move(text), device,
                                 maxLength);
            if (lines.startsWith("\xFE\xFF"))
                return readUtf16(blocks, lines, TextEncoding::Utf16Be, std::move(text), device,
                                 maxLength);
            marked = lines.startsWith("\xEF\xBB\xBF");
        }
        if (sequential)
            kept += lines;
        // The text ends at the first NUL, which is a zero byte: no multi-byte sequence holds
        // one. What follows it is only checked.
        const qsizetype nul = cut ? 0 : lines.indexOf('\0');
        const QByteArrayView beforeNul = nul < 0 ? lines : lines.first(nul);
        const qsizetype from = text.size();
        bool wellFormed = beforeNul.isEmpty() || appendDecoded(text, beforeNul, firstBlock);
        if (wellFormed && nul >= 0) {
            wellFormed = appendDecoded(checked, lines.sliced(nul), false);
            checked.resize(0);
        }
        if (!wellFormed) {
            const qsizetype before =
                cut ? linesAfterCut : QStringView(text).first(from).count(u'\n');
            notUtf8 = StatementProblem{QString(), before + firstLineNotUtf8(lines),
                                       blocks.offset() + firstByteNotUtf8(lines)};
            break;
        }
        if (!cut && text.size() > maxLength)
            return tooLong(maxLength);
        if (cut)
            linesAfterCut += lines.count('\n');
        else if (nul >= 0)
            linesAfterCut = QStringView(text).first(from).count(u'\n') + lines.count('\n');
        cut = cut || nul >= 0;
        firstBlock = false;
    }
    if (!notUtf8)
        return StatementText{std::move(text),
                             marked ? TextEncoding::Utf8WithBom : TextEncoding::Utf8};
    // A file that says it is UTF-8 is not read as anything else.
    if (marked)
        return *notUtf8;

    text.resize(0);
    NulCutText cutText(text, maxLength);
    // Each block as a paste takes it, or the reason to stop: nothing when it is fine.
    const auto appendBlock = [&](QByteArrayView bytes) -> std::optional<StatementProblem> {
        QString& target = cutText.target();
        const qsizetype from = target.size();
        if (!appendWindows31J(target, bytes))
            return *notUtf8;
        if (!cutText.appended(from))
            return tooLong(maxLength);
        return std::nullopt;
    };
    if (sequential) {
        kept += blocks.rest();
        kept += device.readAll();
        if (std::optional<StatementProblem> problem = appendBlock(kept))
            return *problem;
    } else {
        if (!device.seek(start))
            return readProblem(device);
        LineBlocks again(device);
        for (;;) {
            const std::optional<QByteArrayView> block = again.next();
            if (!block)
                return readProblem(device);
            if (block->isEmpty())
                break;
            if (std::optional<StatementProblem> problem = appendBlock(*block))
                return *problem;
        }
    }
    return StatementText{std::move(text), TextEncoding::Windows31J};
}

} // namespace tallemo
