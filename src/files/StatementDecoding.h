#pragma once

#include <QByteArrayView>
#include <QString>

#include <variant>

namespace tallemo {

// How a statement file's bytes were read. A byte-order mark decides; without one, bytes that are
// UTF-8 are UTF-8, and anything else must be Windows-31J (Shift_JIS with Microsoft's extensions,
// as most Japanese card companies and banks write their CSV downloads).
enum class TextEncoding { Utf8, Utf8WithBom, Utf16Le, Utf16Be, Windows31J };

// "UTF-8", "UTF-8 (BOM)", "UTF-16LE", "UTF-16BE", "Windows-31J".
QString encodingName(TextEncoding encoding);

struct DecodedText {
    QString text; // the byte-order mark dropped; NULs kept, the caller decides what they mean
    TextEncoding encoding = TextEncoding::Utf8;
};

// Bytes that are neither UTF-8 nor Windows-31J (or a UTF-16 file that ends in half a code unit):
// where they first stop being UTF-8, which is what a user can look for in a hex viewer.
struct UndecodableText {
    qsizetype firstByteNotUtf8 = 0; // 0-based offset into the bytes
    qsizetype line = 0;             // 1-based line of that byte
};

// Decodes a whole statement file. Never puts a replacement character in place of a byte:
// bytes that no encoding takes are refused.
std::variant<DecodedText, UndecodableText> decodeStatement(QByteArrayView bytes);

// The offset of the first byte of bytes that is not part of well-formed UTF-8 (a sequence cut
// short by the end counts from its first byte); bytes.size() when they are all UTF-8.
qsizetype firstByteNotUtf8(QByteArrayView bytes);

// Appends the Windows-31J bytes to text; false (text unchanged) when they hold a byte sequence
// that Windows-31J does not define or one cut short at the end. Callers decoding block by block
// must end each block after a byte below 0x40 (a line feed): no such byte is a second byte.
bool appendWindows31J(QString& text, QByteArrayView bytes);

} // namespace tallemo
