#include "text/OutputList.h"

#include "text/TextPrimitives.h"

namespace tallemo {

QString OutputList::text() const {
    qsizetype size = 0;
    for (const QString& entry : m_entries)
        size += entry.size() + 2;
    QString out;
    out.reserve(size);
    for (const QString& entry : m_entries) {
        out.append(entry);
        out.append(kCrLf);
    }
    return out;
}

} // namespace tallemo
