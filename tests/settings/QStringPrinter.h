#pragma once

#include <QByteArray>
#include <QString>

#include <ostream>

// Lets test failures show texts and file contents readably.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

inline void PrintTo(const QByteArray& b, std::ostream* os) {
    *os << '"' << b.toStdString() << '"';
}
