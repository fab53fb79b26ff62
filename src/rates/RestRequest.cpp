#include "rates/RestRequest.h"

namespace tallemo {

void RESTClient::setParameter(const QString& name, const QString& value) {
    Params.removeIf(
        [&](const RestParameter& p) { return p.name.compare(name, Qt::CaseInsensitive) == 0; });
    Params.append({name, value});
}

HttpRequest RESTRequest::build(const RESTClient& client) const {
    QString base = client.BaseURL;
    while (base.endsWith(u'/'))
        base.chop(1);
    QByteArray query;
    for (const RestParameter& p : client.Params) {
        if (!query.isEmpty())
            query.append('&');
        query.append(QUrl::toPercentEncoding(p.name));
        query.append('=');
        query.append(QUrl::toPercentEncoding(p.value));
    }
    HttpRequest request;
    request.url = QUrl(base + u'/' + Resource);
    // Strict mode keeps the encoded query as it is: "%2B" must not come back as a "+", which a
    // server would read as a space.
    request.url.setQuery(QString::fromLatin1(query), QUrl::StrictMode);
    request.headers = {{QByteArrayLiteral("Accept"), Accept},
                       {QByteArrayLiteral("Accept-Charset"), AcceptCharset}};
    request.connectTimeoutMs = ConnectTimeoutMs;
    request.readTimeoutMs = ReadTimeoutMs;
    return request;
}

} // namespace tallemo
