#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>
#include <utility>

namespace tallemo {

class LineModel;
struct Regional;

// One GET as the rate client sends it.
struct HttpRequest {
    QUrl url;
    QList<std::pair<QByteArray, QByteArray>> headers; // in the order sent
    // Until the request has been sent on a connection.
    int connectTimeoutMs = 30000;
    // From the first sending of the request to the end of the body, however the bytes trickle in.
    int readTimeoutMs = 30000;
};

// Why no answer was received.
enum class HttpFailure {
    NoConnection, // refused, unreachable, broken or cut off, or no request could be made
    TimedOut,     // the connect time-out or the deadline over the reading ran out
    Cancelled,    // the user ended the wait
    TooLarge,     // the body grew beyond kMaxAnswerBytes
};

// What came back: a received answer (any status), or a transport failure and its kind.
struct HttpAnswer {
    bool received = false;
    HttpFailure failure = HttpFailure::NoConnection; // only when nothing was received
    int status = 0;
    QByteArray contentType; // the Content-Type header as received, for its charset
    QByteArray body;
};

// Sends one request and waits for its answer. The Qt Network implementation is in
// rates/QtHttpTransport.h; tests may use any.
class HttpTransport {
public:
    virtual ~HttpTransport() = default;
    virtual HttpAnswer get(const HttpRequest& request) = 0;
};

// The line GetYPD adds to the text when the rate cannot be had.
inline const QString kRateFailureLine = QStringLiteral("ExchangeRates API の実行に失敗しました");

// The public service's base URL; the optional key BaseURL in section exchangeratesapi replaces it.
inline const QString kDefaultRatesBaseUrl = QStringLiteral("http://api.exchangeratesapi.io/v1");

// Answer bodies larger than this are a failure; QtHttpTransport stops reading beyond it.
inline constexpr qsizetype kMaxAnswerBytes = qsizetype{1024} * 1024;

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

// RESTResponse1's text: the body decoded by the charset its Content-Type declares, or as UTF-8
// when it declares none; nothing when the declared charset is unknown.
std::optional<QString> decodeAnswerBody(const QByteArray& contentType, const QByteArray& body);

// Yen per dollar from the exchange-rate service (`GetYPD`): reads the API key (and BaseURL) from
// the settings file, sends one GET, adds the answer's compact JSON and/or the failure line to
// Lines, and returns LJPY / LUSD, or 0 on failure. Yen per dollar that is not a finite number
// above 0 is a failure too: no rows can be made from it. LJPY and LUSD are written as they are
// read, LYPD only on success. succeeded tells a failure from success; on failure, failureReason
// (when given) receives a few Japanese words on why, one line, for a message to the user.
double GetYPD(const QString& FIniFileName, LineModel& Lines, HttpTransport& transport, double& LUSD,
              double& LYPD, double& LJPY, bool& succeeded, QString* failureReason = nullptr);
// The same with the request's settings given, so that tests can shorten its time-outs.
double GetYPD(const QString& FIniFileName, LineModel& Lines, HttpTransport& transport, double& LUSD,
              double& LYPD, double& LJPY, bool& succeeded, const RESTRequest& RESTRequest1,
              QString* failureReason = nullptr);

// The hidden test command (`Button2Click`): reads a service answer from the whole text, adds the
// name of the rates object's first member and the general number text of JPY / USD as two lines.
// Throws AppError with the failing step's message; a failed run adds nothing. Besides the reading
// rules of memberAsFloat: "テキストが JSON オブジェクトではありません" (no JSON object),
// "オブジェクト 'rates' が見つかりません" (no rates object), "オブジェクト 'rates'
// にメンバーがありません" (an empty rates object).
void ratesAnswerTest(LineModel& Lines, const Regional& regional);

} // namespace tallemo
