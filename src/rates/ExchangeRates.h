#pragma once

#include "rates/HttpTransport.h"
#include "rates/RestRequest.h"

#include <QString>

#include <optional>

namespace tallemo {

class LineModel;

// The line the rate client adds to the text when the rate cannot be had.
inline const QString kRateFailureLine = QStringLiteral("ExchangeRates API の実行に失敗しました");

// What one rate request gave.
struct RateFetch {
    std::optional<double> LJPY; // as read from the answer
    std::optional<double> LUSD;
    // LJPY / LUSD when that is a finite number above 0: the rate to convert with.
    std::optional<double> yenPerDollar;
    // Why there is no rate, in a few words for a message.
    QString failureReason;

    bool succeeded() const { return yenPerDollar.has_value(); }
};

// Yen per dollar from the exchange-rate service: reads the API key (and BaseURL) from the
// settings file, sends one GET, and adds the answer's compact JSON and/or the failure line to
// Lines. Every failure of the request ends in the failure line; the request's settings can be
// given, so that tests can shorten its time-outs.
RateFetch fetchYenPerDollar(const QString& FIniFileName, LineModel& Lines, HttpTransport& transport,
                            const RESTRequest& RESTRequest1 = {});

} // namespace tallemo
