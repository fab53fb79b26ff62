#pragma once

#include <QString>

#include <string_view>

namespace tallemo::rules {

// Where a TOML file really goes wrong and what to tell the user, in Japanese.
struct TomlFault {
    int line = 0;   // 1-based
    int column = 0; // 1-based, in characters
    QString text;   // the explanation, the reader's own words after it in brackets
};

// The TOML reader says only what it expected where it stopped, in English, and for an unclosed
// bracket it stops on the line after it. This looks at the text around that place for the
// common faults (an unclosed bracket or quote, a missing value, a key written twice) and, for
// an unclosed bracket, moves the place back to the bracket.
TomlFault explainTomlFault(std::string_view text, int line, int column,
                           const QString& readerDescription);

} // namespace tallemo::rules
