#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace tallemo::IniFile {

// A small line editor for INI text that keeps a user's file as it was: a read looks a key up, a
// write changes only that key's line (or appends the key at the end of its section, or the section
// at the end of the text) and leaves every other byte alone.
//
// Section and key names match without regard to ASCII letter case and are trimmed of blanks.
// A value is trimmed of blanks when read, and loses one pair of enclosing double quotes; a write
// quotes a value exactly when that is needed for it to read back unchanged.
//
// The text is UTF-8; blanks are spaces and TABs. A line whose first non-blank character is "[" is a
// section header, ";" or "#" starts a comment, and any other line is a key line when it holds a
// "=". Lines before the first header form the section with the empty name.

// The value of Ident in Section, or nothing when the section or the key is missing. Accepts a
// UTF-8 byte-order mark, CR LF, LF or lone CR line ends, mixed too, and keys before any section.
// When a key appears more than once, the first one counts.
std::optional<QString> readValue(const QByteArray& content, const QString& Section,
                                 const QString& Ident);

// content with Ident in Section set to Value. New lines take the line end of the text's first line
// (CR LF, LF or CR), or LF when it has none.
//
// Throws std::invalid_argument, leaving nothing changed, for what could not be read back as
// written: a line break or a broken UTF-16 sequence anywhere, a section name with "]", or a key
// name with "=" or starting with "[", ";", "#" or a byte-order mark.
QByteArray writeValue(const QByteArray& content, const QString& Section, const QString& Ident,
                      const QString& Value);

} // namespace tallemo::IniFile
