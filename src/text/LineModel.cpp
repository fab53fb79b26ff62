#include "text/LineModel.h"

#include "text/HugePages.h"
#include "text/TextPrimitives.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace tallemo {

namespace {

// Offsets have 31 bits; the 32nd tells the shared text from the buffer.
constexpr std::size_t kMaxBuffer = std::numeric_limits<std::int32_t>::max();
// A text with breaks at least this long is shared rather than copied when it is written.
constexpr qsizetype kShareFrom = 4096;

bool isBreak(char16_t c) {
    return c == u'\r' || c == u'\n' || c == u'\x2028' || c == u'\x2029';
}

#ifdef __SSE2__
// Bit k is set when text[k] (k < 16) is a CR, an LF, U+2028 or U+2029.
unsigned breakMask(const char16_t* text) {
    const __m128i cr = _mm_set1_epi16(u'\r');
    const __m128i lf = _mm_set1_epi16(u'\n');
    const __m128i separators = _mm_set1_epi16(0x2028);
    const __m128i lowestBitOff = _mm_set1_epi16(static_cast<short>(0xFFFE));
    const auto breaksIn = [&](const char16_t* units8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units8));
        return _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(units, cr), _mm_cmpeq_epi16(units, lf)),
                            _mm_cmpeq_epi16(_mm_and_si128(units, lowestBitOff), separators));
    };
    // Each compare gives 0 or -1 per unit, which packs into one byte per unit.
    return static_cast<unsigned>(
        _mm_movemask_epi8(_mm_packs_epi16(breaksIn(text), breaksIn(text + 8))));
}
#endif

// Calls onLine(start, end) for every line of text that a break ends, in order: a CR LF, a lone
// CR, a lone LF, U+2028 or U+2029. Returns where the last line, which no break ends, starts.
template <class OnLine> qsizetype forEachLine(QStringView text, OnLine onLine) {
    const char16_t* const data = text.utf16();
    const qsizetype size = text.size();
    qsizetype lineStart = 0;
    const auto endLineAt = [&](qsizetype at) {
        // The LF of a CR LF, already ended with its CR.
        if (at < lineStart)
            return;
        onLine(lineStart, at);
        const bool crLf = data[at] == u'\r' && at + 1 < size && data[at + 1] == u'\n';
        lineStart = at + (crLf ? 2 : 1);
    };
    qsizetype from = 0;
#ifdef __SSE2__
    // Pasted lines are short and many: sixteen units at a time give a mask of their breaks, and
    // each break costs a few instructions rather than a search of its own.
    for (; from + 16 <= size; from += 16) {
        unsigned breaks = breakMask(data + from);
        while (breaks != 0) {
            endLineAt(from + __builtin_ctz(breaks));
            breaks &= breaks - 1;
        }
    }
#endif
    for (; from < size; ++from) {
        if (isBreak(data[from]))
            endLineAt(from);
    }
    return lineStart;
}

// Where the first CR LF at or after from starts, or -1. Replaced lines are short and seldom hold
// a break, so the search is for the LF alone, inline.
qsizetype indexOfCrLf(QStringView s, qsizetype from) {
    for (qsizetype lf = indexOfUnit(s, u'\n', from); lf >= 0; lf = indexOfUnit(s, u'\n', lf + 1)) {
        if (lf > from && s[lf - 1] == u'\r')
            return lf - 1;
    }
    return -1;
}

} // namespace

QString normaliseLineBreaks(QStringView text, QStringView lineBreak) {
    QString out;
    out.reserve(text.size() + text.size() / 16);
    const qsizetype last = forEachLine(text, [&](qsizetype start, qsizetype end) {
        out.append(text.sliced(start, end - start));
        out.append(lineBreak);
    });
    out.append(text.sliced(last));
    return out;
}

int pastedLineCount(QStringView text) {
    int lines = 0;
    const qsizetype last = forEachLine(text, [&lines](qsizetype, qsizetype) { ++lines; });
    return last < text.size() ? lines + 1 : lines;
}

LineModel::LineModel() : m_pieces(1), m_gapBegin(1), m_gapEnd(1) {}

LineModel::LineModel(QString text) : m_buffer(std::move(text)) {
    splitIntoPieces();
}

LineModel LineModel::fromPastedText(QString text) {
    if (text.size() > kMaxPastedLength)
        throw std::length_error("the text is too long");
    LineModel model;
    model.m_pieces.clear();
    model.m_buffer = std::move(text);

    // The pieces are stretches of the pasted text itself, whatever break ends each: the model
    // never reads between its pieces, and joins them with CR LF when it gives its text.
    const QStringView pasted(model.m_buffer);
    // Lines of eight code units or more need no second allocation; the reserve is only address
    // space until the pieces fill it.
    model.m_pieces.reserve(static_cast<std::size_t>(pasted.size() / 8) + 1);
    adviseHugePages(model.m_pieces.data(), model.m_pieces.capacity() * sizeof(Piece));
    const auto pieceOf = [](qsizetype start, qsizetype end) {
        return Piece{static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(end - start)};
    };
    const qsizetype last = forEachLine(pasted, [&](qsizetype start, qsizetype end) {
        model.m_pieces.push_back(pieceOf(start, end));
    });
    model.m_pieces.push_back(pieceOf(last, pasted.size()));
    model.m_gapBegin = model.m_gapEnd = model.m_pieces.size();
    return model;
}

// Splits at CR LF only: text inside the model is already normalised.
void LineModel::splitIntoPieces() {
    if (static_cast<std::size_t>(m_buffer.size()) > kMaxBuffer)
        throw std::length_error("the text is too long");
    m_pieces.clear();
    m_shared = QString();
    const QStringView text(m_buffer);
    qsizetype pieceStart = 0;
    qsizetype from = 0;
    for (;;) {
        const qsizetype lf = text.indexOf(u'\n', from);
        if (lf < 0)
            break;
        from = lf + 1;
        if (lf == pieceStart || text[lf - 1] != u'\r')
            continue;
        m_pieces.push_back({static_cast<std::uint32_t>(pieceStart),
                            static_cast<std::uint32_t>(lf - 1 - pieceStart)});
        pieceStart = lf + 1;
    }
    m_pieces.push_back({static_cast<std::uint32_t>(pieceStart),
                        static_cast<std::uint32_t>(text.size() - pieceStart)});
    m_gapBegin = m_gapEnd = m_pieces.size();
}

void LineModel::moveGapTo(std::size_t k) {
    if (k < m_gapBegin) {
        const std::size_t n = m_gapBegin - k;
        std::memmove(&m_pieces[m_gapEnd - n], &m_pieces[k], n * sizeof(Piece));
        m_gapBegin -= n;
        m_gapEnd -= n;
    } else if (k > m_gapBegin) {
        const std::size_t n = k - m_gapBegin;
        std::memmove(&m_pieces[m_gapBegin], &m_pieces[m_gapEnd], n * sizeof(Piece));
        m_gapBegin += n;
        m_gapEnd += n;
    }
}

// Opens n empty pieces before piece at.
void LineModel::insertPieces(std::size_t at, std::size_t n) {
    moveGapTo(at);
    if (gapSize() < n) {
        // The vector grows at its end and the pieces after the gap move up: only the new pieces
        // are touched, and the vector's own growth keeps this amortised.
        const std::size_t after = m_pieces.size() - m_gapEnd;
        const std::size_t extra = std::max(n - gapSize(), m_pieces.size() / 2 + 16);
        m_pieces.resize(m_pieces.size() + extra);
        std::memmove(m_pieces.data() + m_gapEnd + extra, m_pieces.data() + m_gapEnd,
                     after * sizeof(Piece));
        m_gapEnd += extra;
    }
    std::fill_n(m_pieces.begin() + static_cast<std::ptrdiff_t>(m_gapBegin), n, Piece{});
    m_gapBegin += n;
}

LineModel::Piece LineModel::appendToBuffer(QStringView s) {
    if (static_cast<std::size_t>(m_buffer.size() + s.size()) > kMaxBuffer) {
        // Drop the stretches no piece uses any more.
        QString compacted;
        const int pieces = pieceCount();
        qsizetype size = 0;
        for (int k = 0; k < pieces; ++k)
            size += piece(k).length;
        compacted.reserve(size);
        for (int k = 0; k < pieces; ++k) {
            Piece& p = piece(k);
            const auto start = static_cast<std::uint32_t>(compacted.size());
            compacted.append(pieceText(p));
            p.start = start;
        }
        m_buffer = std::move(compacted);
        m_shared = QString();
        if (static_cast<std::size_t>(m_buffer.size() + s.size()) > kMaxBuffer)
            throw std::length_error("the text is too long");
    }
    const auto start = static_cast<std::uint32_t>(m_buffer.size());
    m_buffer.append(s);
    return {start, static_cast<std::uint32_t>(s.size())};
}

void LineModel::replacePiece(int i, QStringView s) {
    Piece& p = piece(i);
    if (s.isEmpty()) {
        p.length = 0;
        return;
    }
    if (static_cast<std::size_t>(s.size()) <= p.length) {
        // No other piece shares the stretch, so the new text can go where the old one was.
        QChar* const data = (p.start & kShared) != 0 ? m_shared.data() + (p.start & ~kShared)
                                                     : m_buffer.data() + p.start;
        std::memmove(data, s.data(), static_cast<std::size_t>(s.size()) * sizeof(QChar));
        p.length = static_cast<std::uint32_t>(s.size());
        return;
    }
    const Piece appended = appendToBuffer(s);
    piece(i) = appended;
}

QString LineModel::line(int i) const {
    return lineView(i).toString();
}

void LineModel::setLine(int i, QStringView s) {
    if (i < 0 || i >= pieceCount())
        return;
    // A text read from the model itself would move under its feet when the buffer grows.
    const QChar* const bufferBegin = m_buffer.constData();
    if (s.data() >= bufferBegin && s.data() < bufferBegin + m_buffer.size()) {
        const QString copy = s.toString();
        setLine(i, QStringView(copy));
        return;
    }
    if (indexOfCrLf(s, 0) < 0) {
        replacePiece(i, s);
        return;
    }
    // s goes into the buffer once and each of its parts is a stretch of it.
    placeParts(i, s, appendToBuffer(s).start);
}

bool LineModel::shareLines(const QString& text, const std::vector<SharedLine>& lines) {
    if (!m_shared.isNull() || static_cast<std::size_t>(text.size()) > kMaxBuffer)
        return false;
    m_shared = text;
    const int pieces = pieceCount();
    for (const SharedLine& shared : lines) {
        if (shared.line < 0 || shared.line >= pieces)
            continue;
        piece(shared.line) = {kShared | static_cast<std::uint32_t>(shared.start),
                              static_cast<std::uint32_t>(shared.length)};
    }
    return true;
}

void LineModel::setLine(int i, const QString& s) {
    if (i >= 0 && i < pieceCount() && m_shared.isNull() && s.size() >= kShareFrom &&
        static_cast<std::size_t>(s.size()) <= kMaxBuffer && indexOfCrLf(s, 0) >= 0) {
        m_shared = s;
        placeParts(i, m_shared, kShared);
        return;
    }
    setLine(i, QStringView(s));
}

// Makes the parts of s between its CR LF breaks pieces i, i + 1, ...; s is stored from start on.
void LineModel::placeParts(int i, QStringView s, std::uint32_t start) {
    std::vector<Piece> parts;
    qsizetype partStart = 0;
    for (qsizetype at = indexOfCrLf(s, 0); at >= 0; at = indexOfCrLf(s, partStart)) {
        parts.push_back({static_cast<std::uint32_t>(start + partStart),
                         static_cast<std::uint32_t>(at - partStart)});
        partStart = at + 2;
    }
    parts.push_back({static_cast<std::uint32_t>(start + partStart),
                     static_cast<std::uint32_t>(s.size() - partStart)});
    piece(i) = parts.front();
    insertPieces(static_cast<std::size_t>(i) + 1, parts.size() - 1);
    std::copy(parts.begin() + 1, parts.end(),
              m_pieces.begin() + static_cast<std::ptrdiff_t>(m_gapBegin - (parts.size() - 1)));
}

void LineModel::deleteLine(int i) {
    const int pieces = pieceCount();
    if (i < 0 || i >= pieces)
        return;
    if (i == pieces - 1) {
        piece(i).length = 0;
        return;
    }
    moveGapTo(static_cast<std::size_t>(i));
    ++m_gapEnd;
}

void LineModel::add(const QString& s) {
    const int last = pieceCount() - 1;
    if (piece(last).length == 0) {
        // Empty text, or text ending in CR LF: s fills the empty last piece, then CR LF follows.
        setLine(last, s);
        insertPieces(static_cast<std::size_t>(pieceCount()), 1);
        return;
    }
    insertPieces(static_cast<std::size_t>(pieceCount()), 1);
    setLine(last + 1, s);
    if (s.isEmpty())
        insertPieces(static_cast<std::size_t>(pieceCount()), 1);
}

QString LineModel::text(QStringView lineBreak) const {
    qsizetype size = 0;
    const int pieces = pieceCount();
    for (int k = 0; k < pieces; ++k)
        size += piece(k).length + lineBreak.size();
    QString out;
    out.reserve(size);
    for (int k = 0; k < pieces; ++k) {
        if (k > 0)
            out.append(lineBreak);
        out.append(pieceText(piece(k)));
    }
    return out;
}

void LineModel::setText(const QString& text) {
    m_buffer = text;
    splitIntoPieces();
}

} // namespace tallemo
