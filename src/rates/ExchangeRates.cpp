#include "rates/ExchangeRates.h"

#include "AppError.h"
#include "rates/AnswerBody.h"
#include "rates/Json.h"
#include "settings/IniSettings.h"
#include "text/LineModel.h"

#include <cmath>

namespace tallemo {

namespace {

QString transportFailureReason(HttpFailure failure) {
    switch (failure) {
    case HttpFailure::TimedOut:
        return QStringLiteral("時間切れです");
    case HttpFailure::Cancelled:
        return QStringLiteral("キャンセルされました");
    case HttpFailure::TooLarge:
        return QStringLiteral("応答が大きすぎます");
    case HttpFailure::NoConnection:
        break;
    }
    return QStringLiteral("接続できません");
}

QString statusReason(int status) {
    return QStringLiteral("HTTP %1").arg(status);
}

// The service's text, made one short line for a message: line breaks and other control characters
// become blanks, runs of blanks one blank, and a text longer than maxLength is cut with "…".
QString shortLine(const QString& text, qsizetype maxLength) {
    QString line;
    for (const QChar c : text) {
        const bool blank = c.isSpace() || c.category() == QChar::Other_Control ||
                           c.category() == QChar::Other_Format;
        if (!blank)
            line.append(c);
        else if (!line.isEmpty() && !line.endsWith(u' '))
            line.append(u' ');
    }
    line = line.trimmed();
    if (line.size() > maxLength) {
        qsizetype cut = maxLength - 1;
        // Never split a surrogate pair.
        if (line.at(cut - 1).isHighSurrogate())
            --cut;
        line = line.left(cut).trimmed() + u'…';
    }
    return line;
}

// The reason from a service's error member, like exchangeratesapi's
// {"success":false,"error":{"code":101,"type":"invalid_access_key","info":"..."}}, or nothing when
// the answer has none.
std::optional<QString> serviceErrorReason(const JsonValue& answer) {
    constexpr qsizetype kMaxCodeLength = 12;
    constexpr qsizetype kMaxTextLength = 80;
    const JsonValue* error = answer.member(u"error");
    if (error == nullptr)
        return std::nullopt;
    const auto scalarText = [](const JsonValue* value) {
        return value != nullptr && (value->kind == JsonValue::Kind::String ||
                                    value->kind == JsonValue::Kind::Number)
                   ? value->text
                   : QString();
    };
    QString code;
    QString text = scalarText(error);
    if (error->isObject()) {
        code = shortLine(scalarText(error->member(u"code")), kMaxCodeLength);
        text = scalarText(error->member(u"info"));
        if (text.trimmed().isEmpty())
            text = scalarText(error->member(u"type"));
    }
    QString reason = QStringLiteral("サービスのエラー");
    if (!code.isEmpty())
        reason += u' ' + code;
    text = shortLine(text, kMaxTextLength);
    if (!text.isEmpty())
        reason += QStringLiteral(": ") + text;
    return reason;
}

// The request and the reading of its answer. A failure returns its reason.
RateFetch requestRate(const QString& FIniFileName, LineModel& Lines, HttpTransport& transport,
                      const RESTRequest& RESTRequest1) {
    const QString section = QStringLiteral("exchangeratesapi");
    const QString LAPIKey = ReadIniString(FIniFileName, section, QStringLiteral("APIKey"), {});
    RESTClient RESTClient1;
    const QString baseUrl =
        ReadIniString(FIniFileName, section, QStringLiteral("BaseURL"), {}).trimmed();
    if (!baseUrl.isEmpty())
        RESTClient1.BaseURL = baseUrl;
    RESTClient1.setParameter(QStringLiteral("access_key"), LAPIKey);

    RateFetch fetch;
    const auto failed = [&fetch](QString reason) {
        fetch.failureReason = std::move(reason);
        return fetch;
    };

    const HttpRequest request = RESTRequest1.build(RESTClient1);
    // A BaseURL from the settings file must not turn the request into a read of a local file.
    const QString scheme = request.url.scheme();
    if (!request.url.isValid() || (scheme != u"http" && scheme != u"https"))
        return failed(transportFailureReason(HttpFailure::NoConnection));

    const HttpAnswer RESTResponse1 = transport.get(request);
    if (!RESTResponse1.received)
        return failed(transportFailureReason(RESTResponse1.failure));
    if (RESTResponse1.body.size() > kMaxAnswerBytes)
        return failed(transportFailureReason(HttpFailure::TooLarge));
    const int status = RESTResponse1.status;
    const bool statusOk = status >= 200 && status < 300;
    if (status >= 500)
        return failed(statusReason(status));
    const std::optional<QString> content =
        decodeAnswerBody(RESTResponse1.contentType, RESTResponse1.body);
    if (!content)
        return failed(statusOk ? QStringLiteral("応答の文字コードが不明です")
                               : statusReason(status));
    const std::optional<JsonValue> jValue = parseJson(*content);
    if (!jValue)
        return failed(statusOk ? QStringLiteral("応答が JSON ではありません")
                               : statusReason(status));
    Lines.add(compactJson(*jValue));

    const JsonValue* JSONObject = jValue->member(u"rates");
    if (JSONObject == nullptr || !JSONObject->isObject()) {
        if (std::optional<QString> serviceError = serviceErrorReason(*jValue))
            return failed(*serviceError);
        return failed(statusOk ? QStringLiteral("応答に rates がありません")
                               : statusReason(status));
    }
    // memberAsFloat says what it could not read in an AppError, which the hidden test command
    // shows; here it is a failure of the request like any other.
    try {
        fetch.LJPY = memberAsFloat(*JSONObject, QStringLiteral("JPY"));
        fetch.LUSD = memberAsFloat(*JSONObject, QStringLiteral("USD"));
    } catch (const AppError&) {
        return failed(QStringLiteral("レートを読み取れません"));
    }
    const double yenPerDollar = *fetch.LJPY / *fetch.LUSD;
    // Rows at a rate of 0, below 0, infinite or not a number would be plainly wrong.
    if (!std::isfinite(yenPerDollar) || !(yenPerDollar > 0))
        return failed(QStringLiteral("レートが正しくありません"));
    fetch.yenPerDollar = yenPerDollar;
    return fetch;
}

} // namespace

RateFetch fetchYenPerDollar(const QString& FIniFileName, LineModel& Lines, HttpTransport& transport,
                            const RESTRequest& RESTRequest1) {
    RateFetch fetch = requestRate(FIniFileName, Lines, transport, RESTRequest1);
    if (!fetch.succeeded())
        Lines.add(kRateFailureLine);
    return fetch;
}

} // namespace tallemo
