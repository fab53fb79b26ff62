#include "text/OutputList.h"

#include "text/TextPrimitives.h"
#include "text/Utf8.h"

namespace tallemo {

void OutputList::add(QStringView entry) {
    if (m_form == Form::Utf8) {
        appendUtf8Line(m_utf8, entry);
    } else {
        m_text.append(entry);
        m_text.append(kCrLf);
    }
    ++m_count;
}

QString OutputList::text() const {
    return m_form == Form::Utf8 ? QString::fromUtf8(m_utf8) : m_text;
}

QByteArray OutputList::utf8() const {
    return m_form == Form::Utf8 ? m_utf8 : m_text.toUtf8();
}

} // namespace tallemo
