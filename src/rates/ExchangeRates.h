#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <functional>
#include <utility>

namespace tallemo {

class LineModel;
struct Regional;

// One GET as the rate client sends it.
struct HttpRequest {
    QUrl url;
    QList<std::pair<QByteArray, QByteArray>> headers; // in the order sent
    int connectTimeoutMs = 30000;
    int readTimeoutMs = 30000;
};

// What came back: a received answer (any status), or a transport failure (no connection,
// time-out, cancelled, body too large, ...).
struct HttpAnswer {
    bool received = false;
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

// Yen per dollar from the exchange-rate service (`GetYPD`): reads the API key (and BaseURL) from
// the settings file, sends one GET, adds the answer's compact JSON and/or the failure line to
// Lines, and returns LJPY / LUSD, or 0 on failure. LJPY, LUSD and LYPD are written only as they
// are read or computed. succeeded tells a failure from a computed 0.
double GetYPD(const QString& FIniFileName, LineModel& Lines, HttpTransport& transport,
              double& LUSD, double& LYPD, double& LJPY, bool& succeeded);

// The hidden test command (`Button2Click`): reads a service answer from the whole text, adds the
// name of the rates object's first member and the general number text of JPY / USD as two lines.
// Throws AppError with the failing step's message; a failed run adds nothing.
void RatesAnswerTest(LineModel& Lines, const Regional& regional);

} // namespace tallemo
