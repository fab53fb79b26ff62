#pragma once

#include <QString>

namespace tallemo {

// The integer syntax of the settings file and of the View card's year-line test: leading U+0020
// blanks, at most one sign, then decimal digits or a hexadecimal number after "$", "x", "X", "0x"
// or "0X", and nothing after the digits. Decimal values must fit 32 bits; hexadecimal values have
// at most eight significant digits, read as a 32-bit pattern and then negated for "-".
bool TryStrToInt(QStringView S, int& Value);

} // namespace tallemo
