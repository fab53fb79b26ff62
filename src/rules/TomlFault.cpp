#include "rules/TomlFault.h"

#include <QStringList>

#include <vector>

namespace tallemo::rules {

namespace {

struct Opened {
    char bracket;
    int line;
    int column;
};

bool isUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0U) == 0x80U;
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = text.find('\n', start);
        const std::size_t stop = end == std::string_view::npos ? text.size() : end;
        std::string_view line = text.substr(start, stop - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return lines;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// Where the line's key starts.
int keyColumn(std::string_view line) {
    const std::size_t start = line.find_first_not_of(" \t");
    return start == std::string_view::npos ? 1 : static_cast<int>(start) + 1;
}

// The key of a "key = value" line, or empty.
std::string_view keyOf(std::string_view line) {
    const std::string_view t = trimmed(line);
    if (t.empty() || t.front() == '#' || t.front() == '[')
        return {};
    const std::size_t equals = t.find('=');
    return equals == std::string_view::npos ? std::string_view() : trimmed(t.substr(0, equals));
}

// Brackets of values still open before the reader's line, skipping strings and comments. Only
// brackets after "=" or inside another value count: "[table]" headers are not values.
std::vector<Opened> openBracketsBefore(const std::vector<std::string_view>& lines, int line) {
    std::vector<Opened> open;
    for (int l = 0; l + 1 < line && l < static_cast<int>(lines.size()); ++l) {
        const std::string_view text = lines[static_cast<std::size_t>(l)];
        bool inValue = !open.empty();
        char quote = 0;
        int column = 0;
        for (const char c : text) {
            if (!isUtf8Continuation(c))
                ++column;
            if (quote != 0) {
                if (c == quote)
                    quote = 0;
                continue;
            }
            if (c == '#')
                break;
            if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '=') {
                inValue = true;
            } else if (inValue && (c == '[' || c == '{')) {
                open.push_back({c, l + 1, column});
            } else if (inValue && (c == ']' || c == '}') && !open.empty()) {
                open.pop_back();
            }
        }
    }
    return open;
}

// The column of a quote the line opens and never closes, or 0.
int unclosedQuoteColumn(std::string_view line) {
    char quote = 0;
    int quoteColumn = 0;
    int column = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (!isUtf8Continuation(c))
            ++column;
        if (quote != 0) {
            if (c == '\\' && quote == '"')
                ++i;
            else if (c == quote)
                quote = 0;
            continue;
        }
        if (c == '#')
            break;
        if (c == '"' || c == '\'') {
            if (i + 2 < line.size() && line[i + 1] == c && line[i + 2] == c)
                return 0; // a multi-line string: its end is on another line
            quote = c;
            quoteColumn = column;
        }
    }
    return quote != 0 ? quoteColumn : 0;
}

} // namespace

TomlFault explainTomlFault(std::string_view text, int line, int column,
                           const QString& readerDescription) {
    const std::vector<std::string_view> lines = splitLines(text);
    const auto explained = [&](int faultLine, int faultColumn, const QString& japanese) {
        // "saw '\n'" would break the problem's line in the dialog.
        const QString reader = QString(readerDescription).replace(u'\n', QStringLiteral("\\n"));
        return TomlFault{faultLine, faultColumn, QStringLiteral("%1（%2）").arg(japanese, reader)};
    };

    const std::vector<Opened> open = openBracketsBefore(lines, line);
    if (!open.empty()) {
        const Opened& first = open.front();
        return explained(first.line, first.column,
                         QStringLiteral("「%1」が閉じていません（「%2」がありません）")
                             .arg(QChar::fromLatin1(first.bracket))
                             .arg(QChar::fromLatin1(first.bracket == '[' ? ']' : '}')));
    }
    if (line >= 1 && line <= static_cast<int>(lines.size())) {
        const std::string_view here = lines[static_cast<std::size_t>(line - 1)];
        if (const int quoteColumn = unclosedQuoteColumn(here); quoteColumn > 0)
            return explained(line, quoteColumn,
                             QStringLiteral("引用符が閉じていません（行の終わりまでに閉じます）"));
        const std::string_view key = keyOf(here);
        if (!key.empty()) {
            const std::string_view afterEquals = trimmed(here.substr(here.find('=') + 1));
            if (afterEquals.empty() || afterEquals.front() == '#')
                return explained(
                    line, column,
                    QStringLiteral("「%1 =」のあとに値がありません")
                        .arg(QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()))));
            // The same key earlier in the same table.
            for (int l = line - 2; l >= 0; --l) {
                const std::string_view earlier = lines[static_cast<std::size_t>(l)];
                if (trimmed(earlier).substr(0, 1) == "[")
                    break;
                if (keyOf(earlier) == key)
                    return explained(
                        line, keyColumn(here),
                        QStringLiteral("キー「%1」が %2 行目にも書かれています（1 度だけ書きます）")
                            .arg(QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())))
                            .arg(l + 1));
            }
        }
    }
    return {line, column, QStringLiteral("TOML として読めません: %1").arg(readerDescription)};
}

} // namespace tallemo::rules
