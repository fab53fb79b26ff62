// The JSON reader and the rate computation on arbitrary answers, through a transport that hands
// them over without a network: the trace lines, the result and the failure reason stay consistent,
// and the compact JSON reads back as itself.

#include "AppError.h"
#include "rates/ExchangeRates.h"
#include "rates/Json.h"
#include "rates/RatesAnswerTest.h"
#include "text/LineModel.h"
#include "text/Regional.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QString>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

using namespace tallemo;

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "rate client: %s\n", what);
        std::abort();
    }
}

class FakeTransport : public HttpTransport {
public:
    explicit FakeTransport(HttpAnswer answer) : m_answer(std::move(answer)) {}
    HttpAnswer get(const HttpRequest& /*request*/) override { return m_answer; }

private:
    HttpAnswer m_answer;
};

const std::array<const char*, 5> kContentTypes = {"application/json", "text/plain; charset=utf-8",
                                                  "application/json; charset=Shift_JIS",
                                                  "application/json; charset=x-unknown", ""};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    HttpAnswer answer;
    answer.received = data.ConsumeIntegralInRange<int>(0, 15) != 0;
    answer.failure = static_cast<HttpFailure>(data.ConsumeIntegralInRange<int>(0, 3));
    const int statuses[] = {200, 200, 200, 201, 302, 401, 404, 500, 503};
    answer.status = data.PickValueInArray(statuses);
    answer.contentType = data.PickValueInArray(kContentTypes);
    const std::string body = data.ConsumeRemainingBytesAsString();
    answer.body = QByteArray(body.data(), static_cast<qsizetype>(body.size()));

    // The reader alone: whatever parses writes back as compact text that parses to itself.
    const QString text = QString::fromUtf8(answer.body);
    if (const std::optional<JsonValue> value = parseJson(text)) {
        const QString compact = compactJson(*value);
        check(!compact.contains(u'\r') && !compact.contains(u'\n'), "compact JSON is one line");
        const std::optional<JsonValue> again = parseJson(compact);
        check(again.has_value() && compactJson(*again) == compact, "compact JSON reads back");
    }

    // The whole request. No settings file: an empty key and the default address.
    FakeTransport transport(answer);
    LineModel Lines;
    const RateFetch fetch =
        fetchYenPerDollar(QStringLiteral("/nonexistent/Tallemo"), Lines, transport);
    const QString& reason = fetch.failureReason;
    if (fetch.succeeded()) {
        const double rate = *fetch.yenPerDollar;
        check(std::isfinite(rate) && rate > 0, "a rate is finite and above 0");
        check(fetch.LJPY && fetch.LUSD && rate == *fetch.LJPY / *fetch.LUSD,
              "the rate is JPY / USD");
        check(Lines.count() == 1 && Lines.line(0) != kRateFailureLine, "one trace line");
        check(reason.isEmpty(), "no reason on success");
    } else {
        check(Lines.count() >= 1 && Lines.count() <= 2, "one or two lines on failure");
        check(Lines.line(Lines.count() - 1) == kRateFailureLine, "the failure line comes last");
        check(!reason.isEmpty() && !reason.contains(u'\r') && !reason.contains(u'\n') &&
                  reason.size() <= 120,
              "a short one-line reason");
    }

    // The hidden test command reads the same text; it may refuse it, but only with its message.
    LineModel pasted(text);
    try {
        ratesAnswerTest(pasted, Regional::fixed(QStringLiteral("2025/01/15")));
    } catch (const AppError&) {
    }
    return 0;
}
