#include "text/Clipboard.h"

namespace tallemo {

QString clipboardCannotOpenMessage(const QString& cause) {
    return QStringLiteral("クリップボード %1 を開けません").arg(cause);
}

QString textUpToFirstNul(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

} // namespace tallemo
