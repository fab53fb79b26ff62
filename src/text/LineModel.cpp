#include "text/LineModel.h"

#include "text/TextPrimitives.h"

namespace tallemo {

namespace {

// Splits at CR LF only: text inside the model is already normalised.
std::vector<QString> splitPieces(const QString& text) {
    std::vector<QString> pieces;
    qsizetype start = 0;
    for (;;) {
        const qsizetype at = text.indexOf(kCrLf, start);
        if (at < 0)
            break;
        pieces.push_back(text.mid(start, at - start));
        start = at + 2;
    }
    pieces.push_back(text.mid(start));
    return pieces;
}

} // namespace

QString normaliseLineBreaks(QStringView text) {
    QString out;
    out.reserve(text.size() + text.size() / 16);
    const qsizetype n = text.size();
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c != u'\r' && c != u'\n' && c != u'\x2029')
            continue;
        out.append(text.mid(runStart, i - runStart));
        out.append(kCrLf);
        if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            ++i;
        runStart = i + 1;
    }
    out.append(text.mid(runStart));
    return out;
}

LineModel::LineModel() : m_front(1) {}

LineModel::LineModel(const QString& text) : m_front(splitPieces(text)) {}

const QString& LineModel::piece(int k) const {
    const auto front = static_cast<int>(m_front.size());
    return k < front ? m_front[k] : m_back[m_back.size() - 1 - (k - front)];
}

QString& LineModel::piece(int k) {
    const auto front = static_cast<int>(m_front.size());
    return k < front ? m_front[k] : m_back[m_back.size() - 1 - (k - front)];
}

void LineModel::moveGapTo(int k) {
    while (static_cast<int>(m_front.size()) > k) {
        m_back.push_back(std::move(m_front.back()));
        m_front.pop_back();
    }
    while (static_cast<int>(m_front.size()) < k) {
        m_front.push_back(std::move(m_back.back()));
        m_back.pop_back();
    }
}

int LineModel::count() const {
    const int pieces = pieceCount();
    return piece(pieces - 1).isEmpty() ? pieces - 1 : pieces;
}

QString LineModel::line(int i) const {
    if (i < 0 || i >= count())
        return {};
    const QString& p = piece(i);
    return p.size() > kMaxLineRead ? p.left(kMaxLineRead) : p;
}

void LineModel::setLine(int i, const QString& s) {
    if (i < 0 || i >= pieceCount())
        return;
    if (!s.contains(kCrLf)) {
        piece(i) = s;
        return;
    }
    std::vector<QString> parts = splitPieces(s);
    moveGapTo(i + 1);
    m_front.back() = std::move(parts.front());
    for (std::size_t k = 1; k < parts.size(); ++k)
        m_front.push_back(std::move(parts[k]));
}

void LineModel::deleteLine(int i) {
    const int pieces = pieceCount();
    if (i < 0 || i >= pieces)
        return;
    if (i == pieces - 1) {
        piece(i).clear();
        return;
    }
    moveGapTo(i + 1);
    m_front.pop_back();
}

void LineModel::add(const QString& s) {
    const int last = pieceCount() - 1;
    if (piece(last).isEmpty()) {
        // Empty text, or text ending in CR LF: s fills the empty last piece, then CR LF follows.
        setLine(last, s);
        moveGapTo(pieceCount());
        m_front.emplace_back();
        return;
    }
    moveGapTo(pieceCount());
    m_front.emplace_back();
    setLine(last + 1, s);
    if (s.isEmpty())
        m_front.emplace_back();
}

QString LineModel::text() const {
    qsizetype size = 0;
    const int pieces = pieceCount();
    for (int k = 0; k < pieces; ++k)
        size += piece(k).size() + 2;
    QString out;
    out.reserve(size);
    for (int k = 0; k < pieces; ++k) {
        if (k > 0)
            out.append(kCrLf);
        out.append(piece(k));
    }
    return out;
}

void LineModel::setText(const QString& text) {
    m_front = splitPieces(text);
    m_back.clear();
}

} // namespace tallemo
