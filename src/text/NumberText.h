#pragma once

#include <QString>

// Number texts of the dividend rows and the rate client. Parsing and formatting never go through
// the C library's locale: Qt sets the process locale from the environment at start-up, after which
// strtod and printf would follow the user's separator.
namespace tallemo {

// Decimal text rule: optional U+0020 blanks, an optional sign, digits with at most one decimal
// separator, an optional exponent (E or e, optional sign, digits), optional blanks, nothing else.
// Throws AppError naming the text as it was when it is not such a number.
double decimalTextToFloat(QStringView text, const QString& decimalSeparator);

// General number text: 15 significant digits, no trailing zeros, no separator without a digit
// after it; an exponent ("1.5E-6", "1E20") below 0.00001 in magnitude or beyond 15 integer
// digits. Infinities and NaN read "INF", "-INF" and "NAN".
QString generalNumberText(double value, const QString& decimalSeparator);

// Nearest integer, halves to the even neighbour (2.5 gives 2, 3.5 gives 4).
double roundHalfEven(double value);

// roundHalfEven as a 32-bit integer; throws AppError (the range check's message) when the value is
// not finite or the rounded value leaves the 32-bit signed range.
int roundHalfEvenToInt32(double value);

} // namespace tallemo
