#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace tallemo {

// Appends s to out in UTF-8 exactly as QString::toUtf8 encodes it (a lone surrogate becomes
// "?"), without a temporary array: the companion encodes its rows one by one as they are made.
void appendUtf8(QByteArray& out, QStringView s);
// The same followed by CR LF, in one step: a row as the companion writes it.
void appendUtf8Line(QByteArray& out, QStringView s);

// Decodes bytes to UTF-16 at out, which has room for bytes.size() code units, and returns where
// the units end; nullptr when bytes are not well-formed UTF-8. It takes and refuses exactly what
// QStringDecoder does (overlong forms, surrogates and code points beyond U+10FFFF are refused,
// noncharacters taken) and keeps a byte-order mark as U+FEFF: the caller decides where one is
// dropped. Qt's decoder spends most of a statement's reading time on text that mixes Japanese
// with ASCII; this one widens ASCII sixteen bytes at a time and decodes the rest inline.
QChar* decodeUtf8(QByteArrayView bytes, QChar* out);

// The text of UTF-8 bytes as QString::fromUtf8 makes it (a replacement character for bytes that
// are not UTF-8), except that a leading U+FEFF stays: fromUtf8 takes it for a byte-order mark
// and drops it, which would cut a value or a row that begins with one.
QString utf8Text(QByteArrayView bytes);

} // namespace tallemo
