#pragma once

// Qt texts in tests: UTF-8 literals, and failure messages that show texts as UTF-8 rather than
// as lists of code units.

#include <QByteArray>
#include <QString>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QByteArray& bytes, std::ostream* os) {
    *os << '"' << bytes.toStdString() << '"';
}

namespace tallemo::testing_support {

inline QString u8(const char* text) {
    return QString::fromUtf8(text);
}

} // namespace tallemo::testing_support
