#include "rates/AnswerBody.h"

#include <QList>
#include <QStringDecoder>

namespace tallemo {

std::optional<QString> decodeAnswerBody(const QByteArray& contentType, const QByteArray& body) {
    QByteArray charset;
    const QList<QByteArray> parts = contentType.split(';');
    for (qsizetype k = 1; k < parts.size(); ++k) {
        const QByteArray parameter = parts[k].trimmed();
        const qsizetype eq = parameter.indexOf('=');
        if (eq < 0 || parameter.left(eq).trimmed().compare("charset", Qt::CaseInsensitive) != 0)
            continue;
        charset = parameter.mid(eq + 1).trimmed();
        if (charset.size() >= 2 && charset.startsWith('"') && charset.endsWith('"'))
            charset = charset.mid(1, charset.size() - 2).trimmed();
        break;
    }
    if (charset.isEmpty())
        charset = QByteArrayLiteral("utf-8");
    QStringDecoder decoder(charset.constData());
    if (!decoder.isValid())
        return std::nullopt;
    return decoder.decode(body);
}

} // namespace tallemo
