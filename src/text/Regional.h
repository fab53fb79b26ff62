#pragma once

#include <QString>

#include <functional>

namespace tallemo {

// What the converters take from the user's regional settings: the date text of a dividend row
// and the decimal separator of dollar amounts and rates. The window and the companion use the
// system's; tests fix both, so no test depends on the clock or the machine's locale.
struct Regional {
    // Today's local date in the user's short date format (2025/01/15 on a Japanese system).
    std::function<QString()> dateText;
    QString decimalSeparator;

    static Regional system();
    static Regional fixed(const QString& dateText,
                          const QString& decimalSeparator = QStringLiteral("."));
};

} // namespace tallemo
