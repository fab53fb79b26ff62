#include "text/OutputList.h"

#include "text/TextPrimitives.h"
#include "text/Utf8.h"

#include <algorithm>

namespace tallemo {

namespace {

// Large enough that handing over costs nothing next to making the rows, small enough to stay in
// the cache.
constexpr qsizetype kHandOver = qsizetype{64} * 1024;

} // namespace

void OutputList::add(QStringView entry, int line) {
    if (m_sink != nullptr) {
        appendUtf8Line(m_utf8, entry);
        if (m_utf8.size() >= kHandOver && *m_sink)
            flush();
    } else {
        m_places.push_back({m_text.size(), entry.size(), line});
        m_text.append(entry);
        m_text.append(kCrLf);
    }
    ++m_count;
}

void OutputList::rowsMakeTheWholeText() {
    for (std::size_t k = 0; k < m_places.size(); ++k)
        m_places[k].line = static_cast<int>(k);
}

void OutputList::replaceAllRows(QString text, const std::vector<qsizetype>& starts) {
    for (std::size_t k = 0; k < m_places.size(); ++k) {
        const qsizetype end = k + 1 < starts.size() ? starts[k + 1] : text.size();
        m_places[k].start = starts[k];
        m_places[k].length = end - kCrLf.size() - starts[k];
        m_places[k].replaced = false;
    }
    m_text = std::move(text);
    m_replacements = QString();
    m_anyReplaced = false;
}

QStringView OutputList::row(int k) const {
    // Not rebuilt here: a stage that reads row after row and replaces each would rebuild the
    // whole text once a row. A replaced row is its new text; the others are still where they were.
    const RowPlace& place = m_places[static_cast<std::size_t>(k)];
    return QStringView(place.replaced ? m_replacements : m_text).sliced(place.start, place.length);
}

void OutputList::replaceRow(int k, QStringView text) {
    RowPlace& place = m_places[static_cast<std::size_t>(k)];
    place.start = m_replacements.size();
    place.length = text.size();
    place.replaced = true;
    m_replacements.append(text);
    m_anyReplaced = true;
}

void OutputList::rebuildText() const {
    if (!m_anyReplaced)
        return;
    qsizetype size = 0;
    for (const RowPlace& place : m_places)
        size += place.length + kCrLf.size();
    QString rebuilt;
    rebuilt.reserve(size);
    for (RowPlace& place : m_places) {
        const QStringView row =
            QStringView(place.replaced ? m_replacements : m_text).sliced(place.start, place.length);
        place.start = rebuilt.size();
        place.replaced = false;
        rebuilt.append(row);
        rebuilt.append(kCrLf);
    }
    m_text = std::move(rebuilt);
    m_replacements = QString();
    m_anyReplaced = false;
}

QString OutputList::text() const {
    if (m_sink != nullptr)
        return utf8Text(m_utf8);
    rebuildText();
    return m_text;
}

QByteArray OutputList::utf8() const {
    if (m_sink != nullptr)
        return m_utf8;
    rebuildText();
    return m_text.toUtf8();
}

OutputList OutputList::subset(const std::function<bool(int k)>& keep) const {
    rebuildText();
    OutputList kept;
    for (int k = 0; k < m_count; ++k) {
        if (keep(k))
            kept.add(row(k), lineOf(k));
    }
    return kept;
}

void OutputList::flush() {
    if (m_sink == nullptr || !*m_sink || m_utf8.isEmpty())
        return;
    (*m_sink)(m_utf8);
    // The same buffer serves the next rows: its pages are already the process's.
    m_utf8.resize(0);
}

} // namespace tallemo
