#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <vector>

namespace tallemo {

// Line breaks of text entering the text area: CR LF, a lone CR, a lone LF and the line and
// paragraph separators U+2028 and U+2029 (which the text widget shows as breaks too) each end a
// line. The text area, the converters and the clipboard output only ever see CR LF; the text
// widget's document takes U+2029 for every break, which lineBreak can ask for instead.
QString normaliseLineBreaks(QStringView text, QStringView lineBreak = u"\r\n");
// The lines a paste puts into the text area: LineModel::fromPastedText(text).count(), without
// building the model.
int pastedLineCount(QStringView text);

// The text area's text as a list of lines (the `Memo1.Lines` of the handlers).
//
// The text is held as its pieces, the texts between CR LF breaks; there is always at least one
// piece, and a text ending in CR LF has an empty last piece, which is not counted as a line.
// All pieces live in one buffer: a piece is a stretch of it, so a text of millions of lines costs
// two allocations, not one per line. A replaced line is written over its old stretch when it fits
// there and at the end of the buffer otherwise; a deleted line's stretch is simply forgotten.
// The stretches sit in a gap buffer: an edit costs the distance from the previous edit, so a
// converter that walks the lines and edits where it stands stays linear in the size of the text.
class LineModel {
public:
    static constexpr int kMaxLineRead = 4096;
    // The longest text fromPastedText takes: the offsets have 31 bits, and the CR LF a paste's
    // breaks become may double the text.
    static constexpr qsizetype kMaxPastedLength = INT32_MAX / 2;

    LineModel();
    explicit LineModel(QString text);

    // The model of a text as a paste enters the text area: every kind of line break (see
    // normaliseLineBreaks) becomes CR LF, in the same pass that finds the lines.
    static LineModel fromPastedText(QString text);

    // Number of pieces, less one when the last piece is empty.
    int count() const {
        const int pieces = pieceCount();
        return piece(pieces - 1).length == 0 ? pieces - 1 : pieces;
    }

    // Piece i cut to its first 4096 code units; the empty text at or beyond the count and for a
    // negative index.
    QString line(int i) const;
    // The same without a copy; valid until the next change of the model.
    QStringView lineView(int i) const {
        if (i < 0 || i >= count())
            return {};
        const QStringView p = pieceText(piece(i));
        return p.size() > kMaxLineRead ? p.first(kMaxLineRead) : p;
    }

    // Piece i whole, without the 4096-unit cut that the built-in kinds read their lines with;
    // valid until the next change of the model.
    QStringView wholeLineView(int i) const {
        if (i < 0 || i >= count())
            return {};
        return pieceText(piece(i));
    }

    // Replaces the text of piece i by s; CR LF in s splits it into several lines. Nothing happens
    // when there is no piece i.
    void setLine(int i, const QString& s);
    void setLine(int i, QStringView s);

    // A line that takes a stretch of a shared text as its new text.
    struct SharedLine {
        int line = 0;
        qsizetype start = 0;
        qsizetype length = 0;
    };
    // Gives each line its stretch of text, which the model then shares with the caller instead of
    // copying it: a stage that rewrote most lines of a long text at once (and keeps that text for
    // itself too) writes them once. No stretch may hold a CR LF. False, and nothing changes, when
    // the model shares another text already or the text is longer than the model takes.
    bool shareLines(const QString& text, const std::vector<SharedLine>& lines);

    // Removes piece i with the CR LF after it; of the last piece only its text goes. Nothing
    // happens when there is no piece i.
    void deleteLine(int i);

    // Appends s as a line: s + CR LF after an empty text or one ending in CR LF, otherwise CR LF +
    // s (+ CR LF when s is empty).
    void add(const QString& s);

    // The whole text, pieces joined by CR LF, or by lineBreak (the text widget's document takes
    // U+2029).
    QString text(QStringView lineBreak = u"\r\n") const;
    // Replaces the whole text, as is.
    void setText(const QString& text);

    // Number of pieces (count() + 1 when the text ends in CR LF or is empty).
    int pieceCount() const { return static_cast<int>(m_pieces.size() - gapSize()); }

private:
    // A stretch of m_buffer, or of m_shared when start has kShared set. Four bytes each keep the
    // model small next to its text (a line is often no longer than twenty code units); m_buffer
    // is compacted before it outgrows them.
    static constexpr std::uint32_t kShared = 0x80000000U;
    struct Piece {
        std::uint32_t start = 0;
        std::uint32_t length = 0;
    };

    void splitIntoPieces();
    std::size_t gapSize() const { return m_gapEnd - m_gapBegin; }
    const Piece& piece(int k) const {
        return m_pieces[static_cast<std::size_t>(k) < m_gapBegin ? k : k + gapSize()];
    }
    Piece& piece(int k) {
        return m_pieces[static_cast<std::size_t>(k) < m_gapBegin ? k : k + gapSize()];
    }
    QStringView pieceText(const Piece& p) const {
        const QChar* const base = (p.start & kShared) != 0
                                      ? m_shared.constData() + (p.start & ~kShared)
                                      : m_buffer.constData() + p.start;
        return {base, p.length};
    }
    void moveGapTo(std::size_t k);
    void insertPieces(std::size_t at, std::size_t n);
    Piece appendToBuffer(QStringView s);
    void replacePiece(int i, QStringView s);
    void placeParts(int i, QStringView s, std::uint32_t start);

    QString m_buffer;
    // A long text added as it is (the rows a converter adds below the statement), shared with
    // the caller rather than copied into m_buffer.
    QString m_shared;
    // Pieces before the gap, the gap [m_gapBegin, m_gapEnd), then the pieces after it.
    std::vector<Piece> m_pieces;
    std::size_t m_gapBegin = 0;
    std::size_t m_gapEnd = 0;
};

} // namespace tallemo
