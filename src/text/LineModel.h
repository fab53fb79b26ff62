#pragma once

#include <QString>
#include <QStringView>

#include <vector>

namespace tallemo {

// Line breaks of text entering the text area: CR LF, a lone CR, a lone LF and the line and
// paragraph separators U+2028 and U+2029 (which the text widget shows as breaks too) each end a
// line. The text area, the converters and the clipboard output only ever see CR LF.
QString normaliseLineBreaks(QStringView text);

// The text area's text as a list of lines (the `Memo1.Lines` of the handlers).
//
// The text is held as its pieces, the texts between CR LF breaks; there is always at least one
// piece, and a text ending in CR LF has an empty last piece, which is not counted as a line.
// Pieces sit in a gap buffer: an edit costs the distance from the previous edit, so a converter
// that walks the lines and edits where it stands stays linear in the size of the text.
class LineModel {
public:
    static constexpr int kMaxLineRead = 4096;

    LineModel();
    explicit LineModel(const QString& text);

    // Number of pieces, less one when the last piece is empty.
    int count() const;

    // Piece i cut to its first 4096 code units; the empty text at or beyond the count and for a
    // negative index.
    QString line(int i) const;

    // Replaces the text of piece i by s; CR LF in s splits it into several lines. Nothing happens
    // when there is no piece i.
    void setLine(int i, const QString& s);

    // Removes piece i with the CR LF after it; of the last piece only its text goes. Nothing
    // happens when there is no piece i.
    void deleteLine(int i);

    // Appends s as a line: s + CR LF after an empty text or one ending in CR LF, otherwise CR LF +
    // s (+ CR LF when s is empty).
    void add(const QString& s);

    // The whole text, pieces joined by CR LF.
    QString text() const;
    // Replaces the whole text, as is.
    void setText(const QString& text);

    // Number of pieces (count() + 1 when the text ends in CR LF or is empty).
    int pieceCount() const { return static_cast<int>(m_front.size() + m_back.size()); }

private:
    const QString& piece(int k) const;
    QString& piece(int k);
    void moveGapTo(int k);

    // Pieces before the gap in order, pieces after it in reverse order.
    std::vector<QString> m_front;
    std::vector<QString> m_back;
};

} // namespace tallemo
