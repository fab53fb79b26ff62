#include "text/TextPrimitives.h"

#include <algorithm>

namespace tallemo {

int AnsiPos(const QString& Sub, const QString& S) {
    if (Sub.isEmpty() || S.isEmpty())
        return 0;
    return static_cast<int>(S.indexOf(Sub)) + 1;
}

QString AnsiLeftStr(const QString& S, int N) {
    const QStringView left = AnsiLeftView(S, N);
    return left.size() == S.size() ? S : left.toString();
}

QStringView AnsiLeftView(QStringView S, int N) {
    if (N <= 0 || S.isEmpty())
        return {};
    // Without a high surrogate among the first N units, N characters are N units; the converters
    // cut every row so, and surrogates are rare in statements.
    const QStringView head = S.first(std::min<qsizetype>(N, S.size()));
    if (std::none_of(head.begin(), head.end(), [](QChar c) { return c.isHighSurrogate(); }))
        return head;
    qsizetype units = 0;
    for (int characters = 0; characters < N && units < S.size(); ++characters) {
        if (S.at(units).isHighSurrogate() && units + 1 < S.size() &&
            S.at(units + 1).isLowSurrogate())
            units += 2;
        else
            units += 1;
    }
    return S.first(units);
}

QString AnsiReplaceStr(const QString& S, const QString& From, const QString& To) {
    if (From.isEmpty() || S.isEmpty())
        return S;
    QString result = S;
    result.replace(From, To, Qt::CaseSensitive);
    return result;
}

void Delete(QString& S, int Index, int Count) {
    if (Index < 1 || Index > S.size() || Count <= 0)
        return;
    S.remove(Index - 1, Count);
}

void Insert(const QString& Sub, QString& S, int Index) {
    if (Sub.isEmpty())
        return;
    const qsizetype at = Index <= 1 ? 0 : (Index > S.size() ? S.size() : Index - 1);
    S.insert(at, Sub);
}

int MyAnsiPosEx(const QString& Str, const QString& St, int n) {
    // Same result as searching a copy of St with its first n units deleted, without the copy:
    // the converters call this once per line.
    if (n <= 0)
        return n + AnsiPos(Str, St);
    if (n >= St.size() || Str.isEmpty())
        return n;
    const qsizetype found = St.indexOf(Str, n);
    return found < 0 ? n : static_cast<int>(found) + 1;
}

} // namespace tallemo
