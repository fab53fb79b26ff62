#include "text/OutputList.h"

#include "text/TextPrimitives.h"
#include "text/Utf8.h"

namespace tallemo {

namespace {

// Large enough that handing over costs nothing next to making the rows, small enough to stay in
// the cache.
constexpr qsizetype kHandOver = qsizetype{64} * 1024;

} // namespace

void OutputList::add(QStringView entry) {
    if (m_sink != nullptr) {
        appendUtf8Line(m_utf8, entry);
        if (m_utf8.size() >= kHandOver && *m_sink)
            flush();
    } else {
        m_text.append(entry);
        m_text.append(kCrLf);
    }
    ++m_count;
}

QString OutputList::text() const {
    return m_sink != nullptr ? utf8Text(m_utf8) : m_text;
}

QByteArray OutputList::utf8() const {
    return m_sink != nullptr ? m_utf8 : m_text.toUtf8();
}

void OutputList::flush() {
    if (m_sink == nullptr || !*m_sink || m_utf8.isEmpty())
        return;
    (*m_sink)(m_utf8);
    // The same buffer serves the next rows: its pages are already the process's.
    m_utf8.resize(0);
}

} // namespace tallemo
