#pragma once

#include "files/StatementDecoding.h"
#include "text/LineModel.h"

#include <QString>

#include <variant>

class QIODevice;

namespace tallemo {

// A statement file's text as a paste would put it into the text area, before its line breaks
// are made CR LF: decoded (a leading byte-order mark dropped) and cut at its first NUL.
struct StatementText {
    QString text;
    TextEncoding encoding = TextEncoding::Utf8;
};

// Why a statement could not be had: a read error, or bytes that are neither UTF-8 nor
// Windows-31J, with the line and the 0-based offset of the first byte that is not UTF-8.
struct StatementProblem {
    QString readError; // the device's error text; empty for a decoding problem
    qsizetype firstLineNotUtf8 = 0;
    qsizetype firstByteNotUtf8 = 0;
};

// Reads device to its end and decodes it as it comes, in blocks of whole lines: the bytes of a
// UTF-8 file are never all held at once, and each block is decoded while it is still in the
// cache. A file that turns out not to be UTF-8 is read again from its start as Windows-31J (a
// pipe's bytes are kept for that while it is read).
// A text longer than maxLength UTF-16 units before its first NUL is refused as soon as it is
// (a read error saying so), so that a huge file costs no more memory than the longest text the
// line model takes.
std::variant<StatementText, StatementProblem>
readStatement(QIODevice& device, qsizetype maxLength = LineModel::kMaxPastedLength);

} // namespace tallemo
