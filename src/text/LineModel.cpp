#include "text/LineModel.h"

#include "text/TextPrimitives.h"

namespace tallemo {

namespace {

// Splits at CR LF only: text inside the model is already normalised.
std::vector<QString> splitPieces(const QString& text) {
    std::vector<QString> pieces;
    const auto* const begin = reinterpret_cast<const char16_t*>(text.constData());
    const char16_t* const end = begin + text.size();
    const char16_t* pieceStart = begin;
    for (const char16_t* p = begin; p + 1 < end; ++p) {
        if (p[0] == u'\r' && p[1] == u'\n') {
            pieces.emplace_back(reinterpret_cast<const QChar*>(pieceStart), p - pieceStart);
            pieceStart = p + 2;
            ++p;
        }
    }
    pieces.emplace_back(reinterpret_cast<const QChar*>(pieceStart), end - pieceStart);
    return pieces;
}

} // namespace

QString normaliseLineBreaks(QStringView text) {
    QString out;
    out.reserve(text.size() + text.size() / 16);
    const char16_t* p = text.utf16();
    const char16_t* const end = p + text.size();
    while (p < end) {
        const char16_t* runEnd = p;
        while (runEnd < end && *runEnd != u'\r' && *runEnd != u'\n' && *runEnd != u'\x2028' &&
               *runEnd != u'\x2029')
            ++runEnd;
        out.append(reinterpret_cast<const QChar*>(p), runEnd - p);
        if (runEnd == end)
            break;
        out.append(kCrLf);
        p = runEnd + ((*runEnd == u'\r' && runEnd + 1 < end && runEnd[1] == u'\n') ? 2 : 1);
    }
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
