#pragma once

#include "rates/HttpTransport.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace tallemo {

// The public service's base URL; the optional key BaseURL in section exchangeratesapi replaces it.
inline const QString kDefaultRatesBaseUrl = QStringLiteral("http://api.exchangeratesapi.io/v1");

// One stored query parameter of RESTClient1.
struct RestParameter {
    QString name;
    QString value;
};

// RESTClient1: the base URL and the stored query parameters, sent in this order.
struct RESTClient {
    QString BaseURL = kDefaultRatesBaseUrl;
    QList<RestParameter> Params{{QStringLiteral("Endpoint"), QStringLiteral("latest")},
                                {QStringLiteral("access_key"), QString()}};

    // Removes the parameters of that name (letter case ignored) and appends one with value.
    void setParameter(const QString& name, const QString& value);
};

// RESTRequest1: the resource, the headers and the time-outs of the GET.
struct RESTRequest {
    QString Resource = QStringLiteral("latest");
    QByteArray Accept = QByteArrayLiteral("application/json, text/plain; q=0.9, text/html;q=0.8,");
    QByteArray AcceptCharset = QByteArrayLiteral("utf-8, *;q=0.8");
    int ConnectTimeoutMs = 30000;
    int ReadTimeoutMs = 30000;

    // The base URL, "/", the resource, then "?" and the parameters as name=value joined by "&",
    // names and values percent-encoded (letters, digits and "-._~" go out as they are).
    HttpRequest build(const RESTClient& client) const;
};

} // namespace tallemo
