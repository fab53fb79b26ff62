#include "app/DocumentText.h"

#include <QTextBlock>

#include "text/LineModel.h"

#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <vector>

namespace tallemo {

namespace {

constexpr QChar kParagraphSeparator(0x2029);

// The text in the document's own terms: every line break one U+2029, as the cursor inserts it.
// Positions in this text are the document's positions.
QString toDocumentBreaks(const QString& text) {
    return normaliseLineBreaks(text, QStringView(&kParagraphSeparator, 1));
}

// Replaces the document's positions [from, to) by replacement.
void replaceRange(QTextCursor& cursor, qsizetype from, qsizetype to, QStringView replacement) {
    cursor.setPosition(static_cast<int>(from));
    cursor.setPosition(static_cast<int>(to), QTextCursor::KeepAnchor);
    if (replacement.isEmpty())
        cursor.removeSelectedText();
    else
        cursor.insertText(replacement.toString());
}

// Turns the document's text before, which starts at position at, into after, touching only the
// stretch between their common beginning and their common end.
void replaceDifference(QTextCursor& cursor, qsizetype at, QStringView before, QStringView after) {
    if (before == after)
        return;
    const qsizetype shorter = std::min(before.size(), after.size());
    qsizetype prefix = 0;
    while (prefix < shorter && before[prefix] == after[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    replaceRange(cursor, at + prefix, at + before.size() - suffix,
                 after.mid(prefix, after.size() - suffix - prefix));
}

// Where the lines of text[from, to) start; from is the start of a line.
std::vector<qsizetype> lineStarts(const QString& text, qsizetype from, qsizetype to) {
    std::vector<qsizetype> starts{from};
    const QChar* data = text.constData();
    for (qsizetype i = from; i < to; ++i) {
        if (data[i] == kParagraphSeparator)
            starts.push_back(i + 1);
    }
    return starts;
}

} // namespace

QString documentText(const QTextDocument& document) {
    return normaliseLineBreaks(document.toRawText());
}

void setDocumentText(QTextDocument& document, const QString& text) {
    setDocumentRawText(document, toDocumentBreaks(text), document.toRawText());
}

void setDocumentRawText(QTextDocument& document, const QString& newRaw, const QString& oldRaw) {
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
    const qsizetype oldEnd = oldRaw.size() - suffix;
    const qsizetype newEnd = newRaw.size() - suffix;

    // The whole lines around the change: from the start of the line where the texts part to the
    // end of the line where they meet again (that stretch is common, so it is as long in both).
    const qsizetype lineStart =
        prefix == 0 ? 0 : oldRaw.lastIndexOf(kParagraphSeparator, prefix - 1) + 1;
    qsizetype oldLineEnd = oldRaw.indexOf(kParagraphSeparator, oldEnd);
    if (oldLineEnd < 0)
        oldLineEnd = oldRaw.size();
    const qsizetype newLineEnd = newEnd + (oldLineEnd - oldEnd);
    // Where the lines start matters only when both stretches have as many of them.
    const auto breaksIn = [](const QString& raw, qsizetype from, qsizetype to) {
        return std::count(raw.constData() + from, raw.constData() + to, kParagraphSeparator);
    };
    const bool sameLineCount =
        breaksIn(oldRaw, lineStart, oldLineEnd) == breaksIn(newRaw, lineStart, newLineEnd);
    const std::vector<qsizetype> oldStarts =
        sameLineCount ? lineStarts(oldRaw, lineStart, oldLineEnd) : std::vector<qsizetype>();
    const std::vector<qsizetype> newStarts =
        sameLineCount ? lineStarts(newRaw, lineStart, newLineEnd) : std::vector<qsizetype>();

    // Lines rewritten in place (the co-op converter's way) are edited one by one, so that no line
    // break is removed or inserted. Editing a line costs the document about twice what removing
    // and inserting it again does, so once half the lines have changed, replacing the stretch in
    // one piece is cheaper.
    struct LineEdit {
        qsizetype at;
        QStringView before;
        QStringView after;
    };
    std::vector<LineEdit> lineEdits;
    if (oldStarts.size() > 1 && oldStarts.size() == newStarts.size()) {
        const size_t lines = oldStarts.size();
        for (size_t k = 0; k < lines; ++k) {
            const qsizetype oldTo = k + 1 < lines ? oldStarts[k + 1] - 1 : oldLineEnd;
            const qsizetype newTo = k + 1 < lines ? newStarts[k + 1] - 1 : newLineEnd;
            const QStringView before = QStringView(oldRaw).mid(oldStarts[k], oldTo - oldStarts[k]);
            const QStringView after = QStringView(newRaw).mid(newStarts[k], newTo - newStarts[k]);
            if (before != after)
                lineEdits.push_back(LineEdit{oldStarts[k], before, after});
        }
        if (lineEdits.size() * 2 > lines)
            lineEdits.clear();
    }

    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    if (!lineEdits.empty()) {
        // The last line goes first, so the positions of those above stay valid.
        for (std::size_t k = lineEdits.size(); k-- > 0;)
            replaceDifference(cursor, lineEdits[k].at, lineEdits[k].before, lineEdits[k].after);
    } else {
        replaceRange(cursor, prefix, oldEnd, QStringView(newRaw).mid(prefix, newEnd - prefix));
    }
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

QStringList selectedWholeLines(const QTextCursor& cursor) {
    if (!cursor.hasSelection())
        return {};
    const QTextDocument& document = *cursor.document();
    const QTextBlock first = document.findBlock(cursor.selectionStart());
    QTextBlock last = document.findBlock(cursor.selectionEnd());
    if (last != first && cursor.selectionEnd() == last.position())
        last = last.previous();
    QStringList lines;
    for (QTextBlock block = first; block.isValid(); block = block.next()) {
        lines << block.text();
        if (block == last)
            break;
    }
    return lines;
}

} // namespace tallemo
