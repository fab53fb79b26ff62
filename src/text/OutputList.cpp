#include "text/OutputList.h"

#include "text/TextPrimitives.h"

namespace tallemo {

void OutputList::add(QStringView entry) {
    m_text.append(entry);
    m_text.append(kCrLf);
    ++m_count;
}

} // namespace tallemo
