#include "rates/ExchangeRates.h"

#include "rates/Json.h"
#include "settings/IniSettings.h"
#include "text/AppError.h"
#include "text/LineModel.h"
#include "text/NumberText.h"
#include "text/Regional.h"

#include <QStringDecoder>

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

std::optional<QString> DecodeAnswerBody(const QByteArray& contentType, const QByteArray& body) {
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

// Ends the request part of GetYPD; the reason is not shown.
struct RateFailure {};

} // namespace

double GetYPD(const QString& FIniFileName, LineModel& Lines, HttpTransport& transport, double& LUSD,
              double& LYPD, double& LJPY, bool& succeeded) {
    return GetYPD(FIniFileName, Lines, transport, LUSD, LYPD, LJPY, succeeded, RESTRequest{});
}

double GetYPD(const QString& FIniFileName, LineModel& Lines, HttpTransport& transport, double& LUSD,
              double& LYPD, double& LJPY, bool& succeeded, const RESTRequest& RESTRequest1) {
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
            throw RateFailure{};

        const HttpAnswer RESTResponse1 = transport.get(request);
        if (!RESTResponse1.received || RESTResponse1.status >= 500 ||
            RESTResponse1.body.size() > kMaxAnswerBytes)
            throw RateFailure{};
        const std::optional<QString> content =
            DecodeAnswerBody(RESTResponse1.contentType, RESTResponse1.body);
        if (!content)
            throw RateFailure{};
        const std::optional<JsonValue> jValue = ParseJson(*content);
        if (!jValue)
            throw RateFailure{};
        Lines.add(CompactJson(*jValue));

        const JsonValue* JSONObject = jValue->member(u"rates");
        if (JSONObject == nullptr || !JSONObject->isObject())
            throw RateFailure{};
        LJPY = MemberAsFloat(*JSONObject, QStringLiteral("JPY"));
        LUSD = MemberAsFloat(*JSONObject, QStringLiteral("USD"));
        LYPD = LJPY / LUSD;
        result = LYPD;
        succeeded = true;
    } catch (...) {
        Lines.add(kRateFailureLine);
    }
    return result;
}

void RatesAnswerTest(LineModel& Lines, const Regional& regional) {
    const std::optional<JsonValue> jValue = ParseJson(Lines.text());
    if (!jValue || !jValue->isObject())
        throw AppError(QStringLiteral("テキストが JSON オブジェクトではありません"));
    const JsonValue* JSONObject = jValue->member(u"rates");
    if (JSONObject == nullptr || !JSONObject->isObject())
        throw AppError(QStringLiteral("オブジェクト 'rates' が見つかりません"));
    if (JSONObject->items.empty())
        throw AppError(QStringLiteral("オブジェクト 'rates' にメンバーがありません"));
    const QString firstName = JSONObject->names.front();
    const double LJPY = MemberAsFloat(*JSONObject, QStringLiteral("JPY"));
    const double LUSD = MemberAsFloat(*JSONObject, QStringLiteral("USD"));
    Lines.add(firstName);
    Lines.add(GeneralNumberText(LJPY / LUSD, regional.decimalSeparator));
}

} // namespace tallemo
