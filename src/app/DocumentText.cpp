#include "app/DocumentText.h"

#include "text/LineModel.h"
#include "text/TextPrimitives.h"

#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace tallemo {

namespace {

constexpr QChar kParagraphSeparator(0x2029);
constexpr QChar kLineSeparator(0x2028);

// The text in the document's own terms: every line break one U+2029, as the cursor inserts it.
// Positions in this text are the document's positions.
QString toDocumentBreaks(const QString& text) {
    QString out = normaliseLineBreaks(text);
    out.replace(kCrLf, QString(kParagraphSeparator));
    return out;
}

} // namespace

QString documentText(const QTextDocument& document) {
    const QString raw = document.toRawText();
    const QChar* data = raw.constData();
    const qsizetype size = raw.size();
    QString out;
    out.reserve(size + size / 16);
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < size; ++i) {
        if (data[i] != kParagraphSeparator && data[i] != kLineSeparator)
            continue;
        out.append(data + runStart, i - runStart);
        out.append(kCrLf);
        runStart = i + 1;
    }
    out.append(data + runStart, size - runStart);
    return out;
}

void setDocumentText(QTextDocument& document, const QString& text) {
    const QString oldRaw = document.toRawText();
    const QString newRaw = toDocumentBreaks(text);
    if (oldRaw == newRaw)
        return;

    const qsizetype shorter = std::min(oldRaw.size(), newRaw.size());
    qsizetype prefix = 0;
    while (prefix < shorter && oldRaw[prefix] == newRaw[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix &&
           oldRaw[oldRaw.size() - 1 - suffix] == newRaw[newRaw.size() - 1 - suffix])
        ++suffix;

    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    cursor.setPosition(static_cast<int>(prefix));
    cursor.setPosition(static_cast<int>(oldRaw.size() - suffix), QTextCursor::KeepAnchor);
    const qsizetype middle = newRaw.size() - suffix - prefix;
    if (middle > 0)
        cursor.insertText(newRaw.mid(prefix, middle));
    else
        cursor.removeSelectedText();
    cursor.endEditBlock();
}

void replaceSelection(QTextCursor& cursor, const QString& text) {
    cursor.beginEditBlock();
    if (text.isEmpty())
        cursor.removeSelectedText();
    else
        cursor.insertText(toDocumentBreaks(text));
    cursor.endEditBlock();
}

} // namespace tallemo
