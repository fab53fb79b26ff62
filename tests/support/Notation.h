#pragma once

// The notation tests write statements and rows in, so that they read as the statement shows
// them: '→' stands for a TAB, '␣' for a space and '|' for a line break (CR LF).

#include "support/QtText.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace tallemo::notation {

// The text written in the notation.
inline QString text(const char* notated) {
    return QString::fromUtf8(notated)
        .replace(u'→', u'\t')
        .replace(u'␣', u' ')
        .replace(u'|', QStringLiteral("\r\n"));
}

// The same text as UTF-8 bytes, as a file or a pipe holds it.
inline QByteArray bytes(const char* notated) {
    return text(notated).toUtf8();
}

// The lines joined by CR LF, as the text area holds them.
inline QString textOf(const std::vector<const char*>& lines) {
    QStringList parts;
    for (const char* line : lines)
        parts << text(line);
    return parts.join(QStringLiteral("\r\n"));
}

// The rows as the output list writes them: each followed by CR LF.
inline QString rowsOf(const std::vector<const char*>& rows) {
    QString out;
    for (const char* row : rows)
        out += text(row) + QStringLiteral("\r\n");
    return out;
}

} // namespace tallemo::notation
