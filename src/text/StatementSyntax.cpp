#include "text/StatementSyntax.h"

#include <algorithm>

namespace tallemo::syntax {

bool isBlankLine(QStringView line) {
    return std::all_of(line.begin(), line.end(), [](QChar c) { return isBlank(c); });
}

QString spacePattern() {
    return QStringLiteral("[ \\x{A0}\\x{3000}]");
}

QString blankPattern() {
    return QStringLiteral("[\\t \\x{A0}\\x{3000}]");
}

QString digitPattern() {
    return QStringLiteral("[0-9０-９]");
}

QString minusSignPattern() {
    return QStringLiteral("[-−－△▲]");
}

QString yenSignPattern() {
    return QStringLiteral("[¥￥]");
}

// Written out rather than put together from the fragments above, so that they read as what a
// rules file holds.

QString datePattern() {
    return QStringLiteral("[0-9０-９]{4}(?:[/／][0-9０-９]{1,2}[/／][0-9０-９]{1,2}"
                          "|[-－−][0-9０-９]{1,2}[-－−][0-9０-９]{1,2}"
                          "|[.．][0-9０-９]{1,2}[.．][0-9０-９]{1,2}"
                          "|年[0-9０-９]{1,2}月[0-9０-９]{1,2}日?)");
}

QString dateSuffixPattern() {
    return QStringLiteral(
        "(?:[T \\x{A0}\\x{3000}]+[0-9０-９]{1,2}[:：][0-9０-９]{2}"
        "(?:[:：][0-9０-９]{2})?)?(?:[ \\x{A0}\\x{3000}]*[(（][^)）]{1,4}[)）])?");
}

QString amountNumberPattern() {
    return QStringLiteral("(?:[-−－△▲+＋][ \\x{A0}\\x{3000}]*)?(?:[¥￥][ \\x{A0}\\x{3000}]*)?"
                          "[0-9０-９][0-9０-９,，]*(?:[.．][0-9０-９]+)?");
}

QString amountPattern() {
    return amountNumberPattern() + QStringLiteral("(?:[ \\x{A0}\\x{3000}]*円)?");
}

} // namespace tallemo::syntax
