#pragma once

#include <QString>

// Generated statements of n entries for the benchmarks, shaped like the real ones, with values
// that vary from entry to entry. Lines end in CR LF, as in the text area.
namespace tallemo::bench {

inline QString entryNumber(int i) {
    return QString::number(i).rightJustified(6, u'0');
}

inline QString cardStatement(int n) {
    QString text = QStringLiteral("ご利用明細\r\n");
    for (int i = 0; i < n; ++i) {
        text += QStringLiteral("2024/11/%1\tSAMPLE STORE %2\t%3 円\r\n支払方法\t1回払い\r\n"
                               "ご利用者 本人\r\n備考なし\r\n")
                    .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                    .arg(entryNumber(i))
                    .arg(100 + i % 9000);
    }
    return text + QStringLiteral("合計\r\n");
}

inline QString domesticStatement(int n) {
    QString text;
    for (int i = 0; i < n; ++i) {
        text += QStringLiteral("配当金のお知らせ\r\n銘柄名　　　　　　：サンプル工業%1\r\n"
                               "数量　　　　　　　：100株\r\n入金額　　　　　　：%2円\r\n")
                    .arg(entryNumber(i))
                    .arg(100 + i % 9000);
    }
    return text;
}

inline QString foreignStatement(int n) {
    QString text;
    for (int i = 0; i < n; ++i) {
        text += QStringLiteral("SAMPLE HOLDINGS %1\r\n数量 200株\r\n1株あたり 0.50\r\n"
                               "入金額 %2.%3 USD\r\n")
                    .arg(entryNumber(i))
                    .arg(1 + i % 900)
                    .arg(i % 100, 2, 10, QLatin1Char('0'));
    }
    return text;
}

inline QString viewStatement(int n) {
    QString text = QStringLiteral("ご利用明細\r\n");
    for (int i = 0; i < n; ++i) {
        text += QStringLiteral("2024\r\n12/%1xx\tCAFE %2\tREF\r\n%3\r\n")
                    .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                    .arg(entryNumber(i))
                    .arg(100 + i % 9000);
    }
    return text + QStringLiteral("以上\r\n");
}

inline QString coopStatement(int n) {
    QString text = QStringLiteral("ご利用明細\r\n");
    for (int i = 0; i < n; ++i) {
        text += QStringLiteral("2024/12/%1\tMILK %2\t%3 円\r\n")
                    .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                    .arg(entryNumber(i))
                    .arg(100 + i % 9000);
    }
    return text + QStringLiteral("合計\t12,345 円\r\n");
}

} // namespace tallemo::bench
