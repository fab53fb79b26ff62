#pragma once

#include <QStringList>

#include <QString>

class QTextCursor;
class QTextDocument;

namespace tallemo {

// The text area's text as the commands see it: the document's raw text with CR LF for each
// break between blocks (U+2029) and for each line break typed with Shift+Enter (U+2028). The raw
// text keeps no-break spaces, which QTextDocument::toPlainText() would turn into spaces.
QString documentText(const QTextDocument& document);

// Replaces the document's text by text (CR LF breaks; a lone CR or LF also ends a line) as one
// undo step. Only the stretch between the common beginning and the common end of the old and the
// new text is replaced, and an unchanged text leaves the document untouched.
void setDocumentText(QTextDocument& document, const QString& text);
// The same with the new text in the document's own terms already (every break one U+2029), when
// the caller knows the document's raw text: it is not read a second time.
void setDocumentRawText(QTextDocument& document, const QString& newRaw, const QString& oldRaw);

// Replaces the cursor's selection by text (inserts it at the cursor when nothing is selected) as
// one undo step.
void replaceSelection(QTextCursor& cursor, const QString& text);

// The lines the cursor's selection touches, whole; a selection that ends at the start of a line
// leaves that line out. Empty without a selection.
QStringList selectedWholeLines(const QTextCursor& cursor);

} // namespace tallemo
