#pragma once

// The notation the converter tests write statements in: '→' stands for a TAB.

#include <QString>
#include <QStringList>

#include <vector>

namespace notation {

inline QString cell(const char* s) {
    return QString::fromUtf8(s).replace(QStringLiteral("→"), QStringLiteral("\t"));
}

// The lines joined by CR LF.
inline QString textOf(const std::vector<const char*>& lines) {
    QStringList parts;
    for (const char* line : lines)
        parts << cell(line);
    return parts.join(QStringLiteral("\r\n"));
}

// The rows as the output list writes them: each followed by CR LF.
inline QString rowsOf(const std::vector<const char*>& rows) {
    QString out;
    for (const char* row : rows)
        out += cell(row) + QStringLiteral("\r\n");
    return out;
}

} // namespace notation
