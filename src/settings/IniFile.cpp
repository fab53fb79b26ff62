#include "settings/IniFile.h"

#include "text/Utf8.h"

#include <QByteArrayView>

#include <stdexcept>
#include <vector>

namespace tallemo::IniFile {

namespace {

constexpr QByteArrayView kBom("\xEF\xBB\xBF");

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

QByteArrayView trimmedBlanks(QByteArrayView s) {
    while (!s.isEmpty() && isBlank(s.front()))
        s = s.sliced(1);
    while (!s.isEmpty() && isBlank(s.back()))
        s.chop(1);
    return s;
}

// Names compare as UTF-8 bytes with ASCII letters folded; other characters must match exactly.
QByteArray nameKey(QByteArrayView name) {
    QByteArray key = trimmedBlanks(name).toByteArray();
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return key;
}

// The value text of a key line: after the "=" and trimmed, with one pair of enclosing quotes
// removed.
QByteArrayView valueText(QByteArrayView afterEquals) {
    QByteArrayView v = trimmedBlanks(afterEquals);
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
        v = v.sliced(1, v.size() - 2);
    return v;
}

enum class LineKind { Other, Header, Key };

struct Line {
    qsizetype start = 0;   // first byte
    qsizetype textEnd = 0; // end of the text, before its CR LF or LF
    qsizetype end = 0;     // after the line end; equals textEnd on a last line without one
    LineKind kind = LineKind::Other;
    QByteArray name;       // the folded section or key name
    qsizetype equals = -1; // position of a key line's "="
};

// Where the text of the line starting at start ends: at its CR LF, lone LF or lone CR, or at the
// end of the content. A lone CR ends a line as an editor shows it; were it part of the text, a key
// written after a last line ending in CR would be glued onto that line.
qsizetype lineTextEnd(const QByteArray& content, qsizetype start) {
    for (qsizetype k = start; k < content.size(); ++k) {
        if (content.at(k) == '\r' || content.at(k) == '\n')
            return k;
    }
    return content.size();
}

// After the line end that starts at textEnd.
qsizetype lineEnd(const QByteArray& content, qsizetype textEnd) {
    if (textEnd >= content.size())
        return textEnd;
    if (content.at(textEnd) == '\r' && textEnd + 1 < content.size() &&
        content.at(textEnd + 1) == '\n')
        return textEnd + 2;
    return textEnd + 1;
}

Line parseLine(const QByteArray& content, qsizetype start) {
    Line line;
    line.start = start;
    line.textEnd = lineTextEnd(content, start);
    line.end = lineEnd(content, line.textEnd);

    const QByteArrayView text(content.constData() + start, line.textEnd - start);
    const QByteArrayView trimmed = trimmedBlanks(text);
    if (trimmed.startsWith('[')) {
        QByteArrayView name = trimmed.sliced(1);
        const qsizetype close = name.indexOf(']');
        if (close >= 0)
            name.truncate(close);
        line.kind = LineKind::Header;
        line.name = nameKey(name);
    } else if (trimmed.startsWith(';') || trimmed.startsWith('#')) {
        line.kind = LineKind::Other;
    } else if (const qsizetype eq = text.indexOf('='); eq >= 0) {
        line.kind = LineKind::Key;
        line.name = nameKey(text.first(eq));
        line.equals = start + eq;
    }
    return line;
}

std::vector<Line> parseLines(const QByteArray& content) {
    std::vector<Line> lines;
    qsizetype pos = content.startsWith(kBom) ? kBom.size() : 0;
    while (pos < content.size()) {
        lines.push_back(parseLine(content, pos));
        pos = lines.back().end;
    }
    return lines;
}

QByteArray encodedValue(const QString& value) {
    const QByteArray bytes = value.toUtf8();
    const bool needsQuotes =
        !bytes.isEmpty() && (isBlank(bytes.front()) || isBlank(bytes.back()) ||
                             (bytes.size() >= 2 && bytes.front() == '"' && bytes.back() == '"'));
    return needsQuotes ? '"' + bytes + '"' : bytes;
}

bool hasLineBreak(const QString& s) {
    return s.contains(u'\r') || s.contains(u'\n');
}

void checkWritable(const QString& section, const QString& ident, const QString& value) {
    for (const QString* s : {&section, &ident, &value}) {
        if (hasLineBreak(*s) || !s->isValidUtf16())
            throw std::invalid_argument("line break or broken UTF-16 in an INI name or value");
    }
    if (section.contains(u']'))
        throw std::invalid_argument("\"]\" in an INI section name");
    const QByteArray identBytes = ident.toUtf8();
    const QByteArrayView key = trimmedBlanks(identBytes);
    // A key line written first into a file without a byte-order mark would lend it one.
    if (ident.contains(u'=') || key.startsWith('[') || key.startsWith(';') || key.startsWith('#') ||
        key.startsWith(kBom))
        throw std::invalid_argument("INI key name that would not read back as a key");
}

} // namespace

std::optional<QString> readValue(const QByteArray& content, const QString& Section,
                                 const QString& Ident) {
    const QByteArray section = nameKey(Section.toUtf8());
    const QByteArray key = nameKey(Ident.toUtf8());
    bool inSection = section.isEmpty();
    for (const Line& line : parseLines(content)) {
        if (line.kind == LineKind::Header) {
            inSection = line.name == section;
        } else if (inSection && line.kind == LineKind::Key && line.name == key) {
            const QByteArrayView after(content.constData() + line.equals + 1,
                                       line.textEnd - line.equals - 1);
            return utf8Text(valueText(after));
        }
    }
    return std::nullopt;
}

QByteArray writeValue(const QByteArray& content, const QString& Section, const QString& Ident,
                      const QString& Value) {
    checkWritable(Section, Ident, Value);
    const QByteArray section = nameKey(Section.toUtf8());
    const QByteArray key = nameKey(Ident.toUtf8());
    // New lines take the line end of the text's first line; LF when it has none.
    const qsizetype firstTextEnd = lineTextEnd(content, 0);
    QByteArray eol = content.mid(firstTextEnd, lineEnd(content, firstTextEnd) - firstTextEnd);
    if (eol.isEmpty())
        eol = "\n";
    const QByteArray encoded = encodedValue(Value);

    // Where a new key line goes: after the last key line of the first matching section, or after
    // its header. Lines before any header are the section with the empty name.
    std::optional<qsizetype> anchor;
    bool anchorHasEol = true;
    if (section.isEmpty())
        anchor = content.startsWith(kBom) ? kBom.size() : 0;
    bool inSection = section.isEmpty();
    bool pastFirstSection = false;

    for (const Line& line : parseLines(content)) {
        if (line.kind == LineKind::Header) {
            if (inSection)
                pastFirstSection = true;
            inSection = line.name == section;
            if (inSection && !pastFirstSection) {
                anchor = line.end;
                anchorHasEol = line.end > line.textEnd;
            }
            continue;
        }
        if (!inSection || line.kind != LineKind::Key)
            continue;
        if (line.name == key) {
            // Keep the line's own spelling of the key and its blanks around "=".
            qsizetype valueStart = line.equals + 1;
            while (valueStart < line.textEnd && isBlank(content.at(valueStart)))
                ++valueStart;
            QByteArray result = content;
            result.replace(valueStart, line.textEnd - valueStart, encoded);
            return result;
        }
        if (!pastFirstSection) {
            anchor = line.end;
            anchorHasEol = line.end > line.textEnd;
        }
    }

    const QByteArray keyLine =
        trimmedBlanks(QByteArrayView(Ident.toUtf8())).toByteArray() + '=' + encoded + eol;
    QByteArray result = content;
    if (anchor) {
        result.insert(*anchor, anchorHasEol ? keyLine : eol + keyLine);
        return result;
    }
    const qsizetype bodyStart = content.startsWith(kBom) ? kBom.size() : 0;
    if (content.size() > bodyStart && !content.endsWith('\n') && !content.endsWith('\r'))
        result += eol;
    result +=
        '[' + trimmedBlanks(QByteArrayView(Section.toUtf8())).toByteArray() + ']' + eol + keyLine;
    return result;
}

} // namespace tallemo::IniFile
