#include "rates/ExchangeRates.h"

#include "rates/Json.h"
#include "settings/IniSettings.h"
#include "text/AppError.h"
#include "text/LineModel.h"
#include "text/NumberText.h"
#include "text/Regional.h"

#include <QStringDecoder>

#include <cmath>

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

namespace {

// Ends the request part of GetYPD with the words on why.
struct RateFailure {
    QString reason;
};

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

} // namespace

double GetYPD(const QString& FIniFileName, LineModel& Lines, HttpTransport& transport, double& LUSD,
              double& LYPD, double& LJPY, bool& succeeded, QString* failureReason) {
    return GetYPD(FIniFileName, Lines, transport, LUSD, LYPD, LJPY, succeeded, RESTRequest{},
                  failureReason);
}

double GetYPD(const QString& FIniFileName, LineModel& Lines, HttpTransport& transport, double& LUSD,
              double& LYPD, double& LJPY, bool& succeeded, const RESTRequest& RESTRequest1,
              QString* failureReason) {
    const QString section = QStringLiteral("exchangeratesapi");
    double result = 0;
    succeeded = false;

    const QString LAPIKey = ReadIniString(FIniFileName, section, QStringLiteral("APIKey"), {});
    RESTClient RESTClient1;
    const QString baseUrl =
        ReadIniString(FIniFileName, section, QStringLiteral("BaseURL"), {}).trimmed();
    if (!baseUrl.isEmpty())
        RESTClient1.BaseURL = baseUrl;
    RESTClient1.setParameter(QStringLiteral("access_key"), LAPIKey);

    try {
        const HttpRequest request = RESTRequest1.build(RESTClient1);
        // A BaseURL from the settings file must not turn the request into a read of a local file.
        const QString scheme = request.url.scheme();
        if (!request.url.isValid() || (scheme != u"http" && scheme != u"https"))
            throw RateFailure{transportFailureReason(HttpFailure::NoConnection)};

        const HttpAnswer RESTResponse1 = transport.get(request);
        if (!RESTResponse1.received)
            throw RateFailure{transportFailureReason(RESTResponse1.failure)};
        if (RESTResponse1.body.size() > kMaxAnswerBytes)
            throw RateFailure{transportFailureReason(HttpFailure::TooLarge)};
        const int status = RESTResponse1.status;
        const bool statusOk = status >= 200 && status < 300;
        if (status >= 500)
            throw RateFailure{statusReason(status)};
        const std::optional<QString> content =
            decodeAnswerBody(RESTResponse1.contentType, RESTResponse1.body);
        if (!content) {
            throw RateFailure{statusOk ? QStringLiteral("応答の文字コードが不明です")
                                       : statusReason(status)};
        }
        const std::optional<JsonValue> jValue = parseJson(*content);
        if (!jValue) {
            throw RateFailure{statusOk ? QStringLiteral("応答が JSON ではありません")
                                       : statusReason(status)};
        }
        Lines.add(compactJson(*jValue));

        const JsonValue* JSONObject = jValue->member(u"rates");
        if (JSONObject == nullptr || !JSONObject->isObject()) {
            if (std::optional<QString> serviceError = serviceErrorReason(*jValue))
                throw RateFailure{*serviceError};
            throw RateFailure{statusOk ? QStringLiteral("応答に rates がありません")
                                       : statusReason(status)};
        }
        try {
            LJPY = memberAsFloat(*JSONObject, QStringLiteral("JPY"));
            LUSD = memberAsFloat(*JSONObject, QStringLiteral("USD"));
        } catch (const AppError&) {
            throw RateFailure{QStringLiteral("レートを読み取れません")};
        }
        const double yenPerDollar = LJPY / LUSD;
        // Rows at a rate of 0, below 0, infinite or not a number would be plainly wrong.
        if (!std::isfinite(yenPerDollar) || !(yenPerDollar > 0))
            throw RateFailure{QStringLiteral("レートが正しくありません")};
        LYPD = yenPerDollar;
        result = LYPD;
        succeeded = true;
    } catch (const RateFailure& failure) {
        Lines.add(kRateFailureLine);
        if (failureReason != nullptr)
            *failureReason = failure.reason;
    } catch (...) {
        Lines.add(kRateFailureLine);
        if (failureReason != nullptr)
            *failureReason = QStringLiteral("接続できません");
    }
    return result;
}

void ratesAnswerTest(LineModel& Lines, const Regional& regional) {
    const std::optional<JsonValue> jValue = parseJson(Lines.text());
    if (!jValue || !jValue->isObject())
        throw AppError(QStringLiteral("テキストが JSON オブジェクトではありません"));
    const JsonValue* JSONObject = jValue->member(u"rates");
    if (JSONObject == nullptr || !JSONObject->isObject())
        throw AppError(QStringLiteral("オブジェクト 'rates' が見つかりません"));
    if (JSONObject->items.empty())
        throw AppError(QStringLiteral("オブジェクト 'rates' にメンバーがありません"));
    const QString firstName = JSONObject->names.front();
    const double LJPY = memberAsFloat(*JSONObject, QStringLiteral("JPY"));
    const double LUSD = memberAsFloat(*JSONObject, QStringLiteral("USD"));
    Lines.add(firstName);
    Lines.add(generalNumberText(LJPY / LUSD, regional.decimalSeparator));
}

} // namespace tallemo
