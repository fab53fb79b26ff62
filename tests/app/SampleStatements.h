#pragma once

#include <QString>

namespace tallemo::testing {

// A card statement of two entries between a header and a footer, and the rows it becomes.
inline const QString kCardStatement = QStringLiteral("HEADER\r\n"
                                                     "2024/11/03\tSAMPLE STORE\t1,500 円\r\n"
                                                     "支払方法\tAAA\r\nBBB\r\nCCC\r\n"
                                                     "2024/11/05\tSAMPLE CAFE\t480 円\r\n"
                                                     "支払方法\tAAA\r\nBBB\r\nCCC\r\n"
                                                     "FOOTER");
inline const QString kCardRows = QStringLiteral("2024/11/03\tSAMPLE STORE\t\t\t1,500\r\n"
                                                "2024/11/05\tSAMPLE CAFE\t\t\t480\r\n");

// US dividend notices of one entry.
inline const QString kForeignStatement =
    QStringLiteral("見本ホールディングス\r\n数量 200株\r\n1株あたり 0.50\r\n入金額 100.00 USD");

} // namespace tallemo::testing
