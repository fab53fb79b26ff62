#pragma once

#include <QStringView>

// Small shape tests the recognisers share: what a date, an amount or a row looks like on the
// statements' web pages.
namespace tallemo::evidence {

// "2024/11/03" or "2024/1/3" at the start of s: four digits, then month and day of one or two
// digits, separated by "/".
bool startsWithDate(QStringView s);

// "12/01" at the start of s: month and day of two digits each.
bool startsWithMonthDay(QStringView s);

// Digits with optional thousands commas, an optional sign before them and an optional decimal
// part, and nothing else: "1,500", "-980", "100.00".
bool isAmount(QStringView s);

// Number of TABs in s.
int tabCount(QStringView s);

// s with U+0020 blanks removed at both ends.
QStringView trimmedBlanks(QStringView s);

} // namespace tallemo::evidence
