#pragma once

#include <QString>

#include <variant>

class QIODevice;

namespace tallemo {

// A statement file's text as a paste would put it into the text area, before its line breaks
// are made CR LF: UTF-8 decoded (a leading byte-order mark dropped) and cut at its first NUL.
struct StatementText {
    QString text;
};

// Why a statement could not be had: a read error, or bytes that are not UTF-8, with the number
// of the first line holding them.
struct StatementProblem {
    QString readError; // the device's error text; empty for a decoding problem
    qsizetype firstLineNotUtf8 = 0;
};

// Reads device to its end and decodes it as it comes, in blocks of whole lines: the bytes of the
// file are never all held at once, and each block is decoded while it is still in the cache.
std::variant<StatementText, StatementProblem> readStatement(QIODevice& device);

} // namespace tallemo
