#include "text/Regional.h"

#include <QDate>
#include <QLocale>

namespace tallemo {

Regional Regional::system() {
    return Regional{
        [] { return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat); },
        QLocale::system().decimalPoint(),
    };
}

Regional Regional::fixed(const QString& dateText, const QString& decimalSeparator) {
    return Regional{[dateText] { return dateText; }, decimalSeparator};
}

} // namespace tallemo
