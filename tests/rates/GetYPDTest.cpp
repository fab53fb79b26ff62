#include "rates/ExchangeRates.h"
#include "rates/QtHttpTransport.h"

#include "support/QtText.h"
#include "text/LineModel.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>
#include <httplib.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <mutex>
#include <thread>

using tallemo::fetchYenPerDollar;
using tallemo::HttpAnswer;
using tallemo::HttpRequest;
using tallemo::kRateFailureLine;
using tallemo::LineModel;
using tallemo::QtHttpTransport;
using tallemo::RateFetch;
using tallemo::RESTRequest;

namespace {

using tallemo::testing_support::u8;

// An HTTP server on 127.0.0.1 and a free port, for the life of a test.
class TestServer {
public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    TestServer() {
        // One request per connection, so that stopping never waits for an idle keep-alive.
        m_server.set_keep_alive_max_count(1);
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        // A stop() before the server runs is lost and leaves it accepting for ever.
        while (!m_server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~TestServer() {
        m_server.stop();
        m_thread.join();
    }
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    int port() const { return m_port; }
    QString url(const char* path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(u8(path));
    }

    // Answers GET path through handler, recording each request.
    void on(const std::string& path, const Handler& handler) {
        m_server.Get(path, [this, handler](const httplib::Request& req, httplib::Response& res) {
            {
                const std::lock_guard lock(m_mutex);
                m_requests.push_back(req);
            }
            handler(req, res);
        });
    }

    std::vector<httplib::Request> requests() const {
        const std::lock_guard lock(m_mutex);
        return m_requests;
    }

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
    mutable std::mutex m_mutex;
    std::vector<httplib::Request> m_requests;
};

// A TCP port on 127.0.0.1 that is bound but either refuses connections or, listening without
// ever accepting, lets them connect and never answers.
class SilentPort {
public:
    explicit SilentPort(bool listening) : m_fd(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        auto* raw = reinterpret_cast<sockaddr*>(&address);
        if (::bind(m_fd, raw, length) != 0 || ::getsockname(m_fd, raw, &length) != 0 ||
            (listening && ::listen(m_fd, 8) != 0))
            ADD_FAILURE() << "cannot set up the port";
        m_port = ntohs(address.sin_port);
    }
    ~SilentPort() { ::close(m_fd); }
    SilentPort(const SilentPort&) = delete;
    SilentPort& operator=(const SilentPort&) = delete;

    QString url(const char* path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(u8(path));
    }

private:
    int m_fd;
    int m_port = 0;
};

const char* const kEuroBaseAnswer =
    R"({"success":true,"timestamp":1736899200,"base":"EUR","date":"2025-01-15",)"
    R"("rates":{"AED":3.82,"JPY":161.80,"USD":1.04}})";

void answer(httplib::Response& res, int status, const std::string& body,
            const char* contentType = "application/json") {
    res.status = status;
    res.set_content(body, contentType);
}

// The request with time-outs short enough for tests.
RESTRequest quick(int timeoutMs = 5000) {
    RESTRequest request;
    request.ConnectTimeoutMs = timeoutMs;
    request.ReadTimeoutMs = timeoutMs;
    return request;
}

// Results of one GetYPD call. The out-values start as sentinels, so unwritten ones show.
struct Outcome {
    double result = -99;
    bool succeeded = false;
    double LUSD = -1;
    double LYPD = -2;
    double LJPY = -3;
    QStringList added;
};

class GetYPDTest : public testing::Test {
protected:
    void writeSettings(const QString& apiKey, const QString& baseUrl) {
        QFile file(m_iniFileName + QStringLiteral(".ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("[exchangeratesapi]\r\nAPIKey=%1\r\nBaseURL=%2\r\n")
                       .arg(apiKey, baseUrl)
                       .toUtf8());
    }

    Outcome run(const RESTRequest& request = quick()) {
        const QString before = QStringLiteral("入金額 100.00 USD");
        LineModel lines(before);
        Outcome o;
        const RateFetch fetch = fetchYenPerDollar(m_iniFileName, lines, m_transport, request);
        // Unread values keep their sentinels.
        o.LJPY = fetch.LJPY.value_or(o.LJPY);
        o.LUSD = fetch.LUSD.value_or(o.LUSD);
        o.LYPD = fetch.yenPerDollar.value_or(o.LYPD);
        o.succeeded = fetch.succeeded();
        o.result = fetch.yenPerDollar.value_or(0);
        o.added = lines.text().split(QStringLiteral("\r\n")).mid(1);
        return o;
    }

    QTemporaryDir m_dir;
    QString m_iniFileName = m_dir.path() + QStringLiteral("/Tallemo");
    // The server outlives the client, so it never waits for a connection the client still holds.
    TestServer m_server;
    QtHttpTransport m_transport;
};

struct RequestCase {
    const char* name;
    const char* apiKey;
    const char* target;
};

class GetYPDRequest : public GetYPDTest, public testing::WithParamInterface<RequestCase> {};

TEST_P(GetYPDRequest, SendsTheKeyIntactWithTheHeaders) {
    m_server.on("/v1/latest", [](const auto&, auto& res) { answer(res, 200, kEuroBaseAnswer); });
    writeSettings(u8(GetParam().apiKey), m_server.url("/v1/"));
    run();
    run(); // the stored parameters do not grow
    const std::vector<httplib::Request> requests = m_server.requests();
    ASSERT_EQ(requests.size(), 2U);
    for (const httplib::Request& req : requests) {
        EXPECT_EQ(req.method, "GET");
        EXPECT_EQ(req.target, GetParam().target);
        EXPECT_EQ(req.get_param_value("access_key"), GetParam().apiKey);
        EXPECT_EQ(req.get_header_value("Accept"),
                  "application/json, text/plain; q=0.9, text/html;q=0.8,");
        EXPECT_EQ(req.get_header_value("Accept-Charset"), "utf-8, *;q=0.8");
        EXPECT_TRUE(req.body.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, GetYPDRequest,
    testing::Values(RequestCase{"LettersAndDigits", "0a1B2c3D",
                                "/v1/latest?Endpoint=latest&access_key=0a1B2c3D"},
                    RequestCase{"Empty", "", "/v1/latest?Endpoint=latest&access_key="},
                    RequestCase{"NeedsEncoding", "a+b&c=d e",
                                "/v1/latest?Endpoint=latest&access_key=a%2Bb%26c%3Dd%20e"},
                    RequestCase{"NonAscii", "鍵-._~",
                                "/v1/latest?Endpoint=latest&access_key=%E9%8D%B5-._~"}),
    [](const auto& p) { return std::string(p.param.name); });

struct AnswerCase {
    const char* name;
    int status;
    std::string body;
    const char* contentType;
    QStringList added; // "*" stands for the failure line
    double LJPY;       // expected out-values; the sentinels for unwritten ones
    double LUSD;
};

class GetYPDAnswer : public GetYPDTest, public testing::WithParamInterface<AnswerCase> {};

TEST_P(GetYPDAnswer, AddsTraceLinesAndWritesOutValuesAsRead) {
    const AnswerCase& c = GetParam();
    m_server.on("/v1/latest",
                [&c](const auto&, auto& res) { answer(res, c.status, c.body, c.contentType); });
    writeSettings(QStringLiteral("key"), m_server.url("/v1"));
    const Outcome o = run();

    QStringList expected = c.added;
    for (QString& line : expected) {
        if (line == u"*")
            line = kRateFailureLine;
    }
    EXPECT_EQ(o.added, expected);
    EXPECT_EQ(o.LJPY, c.LJPY);
    EXPECT_EQ(o.LUSD, c.LUSD);
    const bool succeeded = !expected.isEmpty() && expected.back() != kRateFailureLine;
    EXPECT_EQ(o.succeeded, succeeded);
    if (succeeded) {
        EXPECT_EQ(o.LYPD, c.LJPY / c.LUSD);
        EXPECT_EQ(o.result, o.LYPD);
    } else {
        EXPECT_EQ(o.LYPD, -2);
        EXPECT_EQ(o.result, 0);
    }
}

const QString kError = u8(R"({"success":false,"error":{"code":101,"type":"invalid_access_key"}})");

INSTANTIATE_TEST_SUITE_P(
    Table, GetYPDAnswer,
    testing::Values(
        AnswerCase{"EuroBaseAnswer",
                   200,
                   kEuroBaseAnswer,
                   "application/json",
                   {u8(kEuroBaseAnswer)},
                   161.8,
                   1.04},
        AnswerCase{"Pretty",
                   200,
                   "{\n  \"rates\": { \"JPY\": 156, \"USD\": 1.04 }\n}\n",
                   "application/json",
                   {u8(R"({"rates":{"JPY":156,"USD":1.04}})")},
                   156,
                   1.04},
        AnswerCase{"TextRates",
                   200,
                   R"({"rates":{"JPY":"161.8","USD":"1.04"}})",
                   "text/plain",
                   {u8(R"({"rates":{"JPY":"161.8","USD":"1.04"}})")},
                   161.8,
                   1.04},
        // Yen per dollar that is not a finite number above 0 would make plainly wrong rows.
        AnswerCase{"UsdZero",
                   200,
                   R"({"rates":{"JPY":161.8,"USD":0}})",
                   "application/json",
                   {u8(R"({"rates":{"JPY":161.8,"USD":0}})"), u8("*")},
                   161.8,
                   0},
        AnswerCase{"JpyZero",
                   200,
                   R"({"rates":{"JPY":0,"USD":1.04}})",
                   "application/json",
                   {u8(R"({"rates":{"JPY":0,"USD":1.04}})"), u8("*")},
                   0,
                   1.04},
        AnswerCase{"NegativeJpy",
                   200,
                   R"({"rates":{"JPY":-161.8,"USD":1.04}})",
                   "application/json",
                   {u8(R"({"rates":{"JPY":-161.8,"USD":1.04}})"), u8("*")},
                   -161.8,
                   1.04},
        AnswerCase{"TinyUsd",
                   200,
                   R"({"rates":{"JPY":161.8,"USD":1e-320}})",
                   "application/json",
                   {u8(R"({"rates":{"JPY":161.8,"USD":1e-320}})"), u8("*")},
                   161.8,
                   1e-320},
        AnswerCase{"TrueAndFalse",
                   200,
                   R"({"rates":{"JPY":true,"USD":false}})",
                   "application/json",
                   {u8(R"({"rates":{"JPY":true,"USD":false}})"), u8("*")},
                   1,
                   0},
        // Valid JSON, so the trace line comes; the number then fails as a conversion.
        AnswerCase{"TooLargeForADouble",
                   200,
                   R"({"rates":{"JPY":1e400,"USD":1}})",
                   "application/json",
                   {u8(R"({"rates":{"JPY":1e400,"USD":1}})"), u8("*")},
                   -3,
                   -1},
        AnswerCase{"ClientError",
                   401,
                   kError.toStdString(),
                   "application/json",
                   {kError, u8("*")},
                   -3,
                   -1},
        AnswerCase{"MissingUsd",
                   200,
                   R"({"rates":{"JPY":161.8,"usd":1.04}})",
                   "application/json",
                   {u8(R"({"rates":{"JPY":161.8,"usd":1.04}})"), u8("*")},
                   161.8,
                   -1},
        AnswerCase{"LowerCaseJpy",
                   200,
                   R"({"rates":{"jpy":161.8,"USD":1.04}})",
                   "application/json",
                   {u8(R"({"rates":{"jpy":161.8,"USD":1.04}})"), u8("*")},
                   -3,
                   -1},
        AnswerCase{"ThousandsSeparator",
                   200,
                   R"({"rates":{"JPY":"1,618","USD":1}})",
                   "application/json",
                   {u8(R"({"rates":{"JPY":"1,618","USD":1}})"), u8("*")},
                   -3,
                   -1},
        AnswerCase{"RatesNotObject",
                   200,
                   R"({"rates":"none"})",
                   "application/json",
                   {u8(R"({"rates":"none"})"), u8("*")},
                   -3,
                   -1},
        AnswerCase{"ServerError", 500, kEuroBaseAnswer, "application/json", {u8("*")}, -3, -1},
        AnswerCase{"Unavailable", 503, kEuroBaseAnswer, "application/json", {u8("*")}, -3, -1},
        AnswerCase{
            "NotJson", 200, "<html><body>rates</body></html>", "text/html", {u8("*")}, -3, -1},
        AnswerCase{"NotFoundPage", 404, "Not Found", "text/plain", {u8("*")}, -3, -1},
        AnswerCase{"EmptyBody", 200, "", "application/json", {u8("*")}, -3, -1},
        AnswerCase{"TrailingText",
                   200,
                   std::string(kEuroBaseAnswer) + "\nx",
                   "application/json",
                   {u8("*")},
                   -3,
                   -1},
        AnswerCase{"UnknownCharset",
                   200,
                   kEuroBaseAnswer,
                   "application/json; charset=x-no-such",
                   {u8("*")},
                   -3,
                   -1}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(GetYPDTest, DecodesTheDeclaredCharset) {
    const QString json = u8(R"({"note":"日本円","rates":{"JPY":161.8,"USD":1.04}})");
    for (const char* charset : {"Shift_JIS", "EUC-JP"}) {
        SCOPED_TRACE(charset);
        const QByteArray body = QStringEncoder(charset).encode(json);
        ASSERT_NE(body, json.toUtf8());
        const std::string contentType = std::string("application/json; charset=") + charset;
        m_server.on("/v1/latest", [body, contentType](const auto&, auto& res) {
            answer(res, 200, body.toStdString(), contentType.c_str());
        });
        writeSettings(QStringLiteral("key"), m_server.url("/v1"));
        const Outcome o = run();
        EXPECT_EQ(o.added, QStringList{json});
        EXPECT_TRUE(o.succeeded);
    }
}

TEST_F(GetYPDTest, FollowsARedirect) {
    m_server.on("/v1/latest", [](const httplib::Request& req, httplib::Response& res) {
        res.set_redirect("/v2/latest?" + req.target.substr(req.target.find('?') + 1), 302);
    });
    m_server.on("/v2/latest", [](const auto&, auto& res) { answer(res, 200, kEuroBaseAnswer); });
    writeSettings(QStringLiteral("k"), m_server.url("/v1"));
    const Outcome o = run();
    EXPECT_EQ(o.added, QStringList{u8(kEuroBaseAnswer)});
    const std::vector<httplib::Request> requests = m_server.requests();
    ASSERT_EQ(requests.size(), 2U);
    EXPECT_EQ(requests[1].target, "/v2/latest?Endpoint=latest&access_key=k");
}

TEST_F(GetYPDTest, FailsWithoutAnAnswer) {
    const SilentPort refusing(false);
    const SilentPort silent(true);
    const struct {
        const char* name;
        QString baseUrl;
    } cases[] = {{"refused", refusing.url("/v1")},
                 {"never answers", silent.url("/v1")},
                 {"not http", QStringLiteral("file:///etc")},
                 {"no URL", QStringLiteral("::")}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeSettings(QStringLiteral("key"), c.baseUrl);
        QElapsedTimer elapsed;
        elapsed.start();
        const Outcome o = run(quick(200));
        EXPECT_EQ(o.added, QStringList{kRateFailureLine});
        EXPECT_EQ(o.result, 0);
        EXPECT_FALSE(o.succeeded);
        // The short time-outs apply, not the 30 s of the real request.
        EXPECT_LT(elapsed.elapsed(), 5000);
    }
}

TEST_F(GetYPDTest, RefusesAnAnswerOverOneMebibyte) {
    // A valid answer of exactly the limit passes; one byte more fails, whether announced by
    // Content-Length or streamed without one.
    const std::string head = R"({"rates":{"JPY":161.8,"USD":1.04},"pad":")";
    const auto body = [&head](qsizetype size) {
        return head + std::string(static_cast<std::size_t>(size) - head.size() - 2, 'x') + "\"}";
    };
    const struct {
        qsizetype size;
        bool chunked;
        bool succeeds;
    } cases[] = {{tallemo::kMaxAnswerBytes, false, true},
                 {tallemo::kMaxAnswerBytes + 1, false, false},
                 {tallemo::kMaxAnswerBytes + 1, true, false},
                 {3 * tallemo::kMaxAnswerBytes, true, false}};
    // The server keeps the first handler of a path, so one handler serves the current case. A
    // stream the client gave up on may still be written while the next case runs: each holds its
    // own body.
    std::shared_ptr<const std::string> text;
    bool chunked = false;
    m_server.on("/v1/latest", [&text, &chunked](const auto&, httplib::Response& res) {
        if (!chunked) {
            // The server compresses no octet stream, so the Content-Length is the body's size.
            answer(res, 200, *text, "application/octet-stream");
            return;
        }
        res.set_chunked_content_provider(
            "application/octet-stream", [text](std::size_t offset, httplib::DataSink& sink) {
                const std::size_t n =
                    std::min<std::size_t>(std::size_t{64} * 1024, text->size() - offset);
                if (n == 0) {
                    sink.done();
                    return true;
                }
                return sink.write(text->data() + offset, n);
            });
    });
    writeSettings(QStringLiteral("key"), m_server.url("/v1"));
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.size << (c.chunked ? " chunked" : ""));
        text = std::make_shared<const std::string>(body(c.size));
        chunked = c.chunked;
        const Outcome o = run();
        EXPECT_EQ(o.succeeded, c.succeeds);
        EXPECT_EQ(o.added.size(), 1);
        if (!c.succeeds) {
            EXPECT_EQ(o.added, QStringList{kRateFailureLine});
        }
    }
}

// A server that sends its answer one byte at a time: the read time-out is a deadline over the
// whole reading, not restarted by each byte.
TEST_F(GetYPDTest, EndsADrippingAnswerAtTheDeadline) {
    using namespace std::chrono_literals;
    // Global, so that a drip the client gave up on never outlives its text.
    const std::string_view text = kEuroBaseAnswer;
    const struct {
        const char* name;
        std::chrono::milliseconds interval; // between two bytes
        bool chunked;
        bool succeeds;
    } cases[] = {{"fast enough", 1ms, false, true},
                 {"too slow, with Content-Length", 40ms, false, false},
                 {"too slow, chunked", 40ms, true, false}};
    const auto* current = &cases[0];
    m_server.on("/v1/latest", [text, &current](const auto&, httplib::Response& res) {
        const auto& c = *current;
        const auto drip = [text, interval = c.interval](std::size_t offset,
                                                        httplib::DataSink& sink) {
            if (offset == text.size()) {
                sink.done();
                return true;
            }
            std::this_thread::sleep_for(interval);
            return sink.write(text.data() + offset, 1);
        };
        if (c.chunked)
            res.set_chunked_content_provider("application/octet-stream", drip);
        else
            res.set_content_provider(
                text.size(), "application/octet-stream",
                [drip](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                    return drip(offset, sink);
                });
    });
    writeSettings(QStringLiteral("key"), m_server.url("/v1"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        current = &c;
        RESTRequest request = quick(5000);
        request.ReadTimeoutMs = 1000; // the answer takes about 3 s at 40 ms a byte
        QElapsedTimer elapsed;
        elapsed.start();
        const Outcome o = run(request);
        EXPECT_EQ(o.succeeded, c.succeeds);
        EXPECT_EQ(o.added, QStringList{c.succeeds ? u8(kEuroBaseAnswer) : kRateFailureLine});
        if (!c.succeeds) {
            EXPECT_GE(elapsed.elapsed(), 900);
            EXPECT_LT(elapsed.elapsed(), 2500);
        }
    }
}

// The process's peak resident memory in KiB; reset restarts the peak from the present size.
qint64 peakResidentKiB(bool reset) {
    if (reset) {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5");
    }
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').front().toLongLong();
    }
    return -1;
}

// An endless chunked body is refused as too large as soon as it passes the cap, and reading stops
// there. The body compresses well, as a hostile server would choose: inflated ahead of reading it
// used to take some 50 MB of memory (more under the sanitizers' bookkeeping) before the cap struck.
TEST_F(GetYPDTest, RefusesAnEndlessBodyNearTheCap) {
    static const std::string chunk(std::size_t{64} * 1024, 'x');
    m_server.on("/v1/latest", [](const auto&, httplib::Response& res) {
        res.set_chunked_content_provider("text/plain", [](std::size_t, httplib::DataSink& sink) {
            return sink.write(chunk.data(), chunk.size());
        });
    });
    writeSettings(QStringLiteral("key"), m_server.url("/v1"));
    LineModel lines;
    QElapsedTimer elapsed;
    elapsed.start();
    const qint64 peakBefore = peakResidentKiB(true);
    const RateFetch fetch = fetchYenPerDollar(m_iniFileName, lines, m_transport, quick());
    const qint64 peakGrowth = peakResidentKiB(false) - peakBefore;
    EXPECT_FALSE(fetch.succeeded());
    EXPECT_EQ(lines.text(), kRateFailureLine + QStringLiteral("\r\n"));
    EXPECT_EQ(fetch.failureReason, u8("応答が大きすぎます"));
    EXPECT_LT(elapsed.elapsed(), 5000);
    EXPECT_LT(peakGrowth, 40 * 1024);
}

// Records the observer calls; cancels after a short wait, or runs a nested request instead.
class TestObserver : public tallemo::WaitObserver {
public:
    void waitStarted(const std::function<void()>& cancel) override {
        ++started;
        savedCancel = cancel;
        QTimer::singleShot(50, [this] {
            if (nested)
                nested();
            savedCancel();
        });
    }
    void waitFinished() override { ++finished; }

    int started = 0;
    int finished = 0;
    std::function<void()> savedCancel;
    std::function<void()> nested;
};

TEST(QtHttpTransportTest, CancelEndsTheWaitAsAFailure) {
    const SilentPort silent(true);
    TestObserver observer;
    QtHttpTransport transport(&observer);
    HttpRequest request; // the full 30 s time-outs
    request.url = QUrl(silent.url("/v1/latest"));
    QElapsedTimer elapsed;
    elapsed.start();
    const HttpAnswer answer = transport.get(request);
    EXPECT_FALSE(answer.received);
    EXPECT_LT(elapsed.elapsed(), 5000);
    EXPECT_EQ(observer.started, 1);
    EXPECT_EQ(observer.finished, 1);
    observer.savedCancel(); // late: the request is gone, nothing happens
}

TEST(QtHttpTransportTest, RunsOneRequestAtATime) {
    const SilentPort silent(true);
    TestObserver observer;
    QtHttpTransport transport(&observer);
    HttpRequest request;
    request.url = QUrl(silent.url("/v1/latest"));
    std::optional<HttpAnswer> nestedAnswer;
    observer.nested = [&] { nestedAnswer = transport.get(request); };
    EXPECT_FALSE(transport.get(request).received);
    ASSERT_TRUE(nestedAnswer.has_value());
    EXPECT_FALSE(nestedAnswer->received);
    EXPECT_EQ(observer.started, 1); // the nested call never started a wait
}

// Why the rate could not be had, in the words the window and the companion show.
TEST(GetYPDReason, SaysWhyTheRateFailed) {
    using namespace std::chrono_literals;
    enum class Where { Server, Refused, Silent, NotHttp, Cancelled };
    using Respond = std::function<void(httplib::Response&)>;
    const auto status = [](int code, const std::string& body,
                           const std::string& type = "application/json") {
        return Respond([=](httplib::Response& res) { answer(res, code, body, type.c_str()); });
    };
    const std::string longInfo(300, 'i');
    const struct {
        const char* name;
        Where where;
        Respond respond;
        QString reason;
    } cases[] = {
        {"refused", Where::Refused, {}, u8("接続できません")},
        {"not http", Where::NotHttp, {}, u8("接続できません")},
        {"never answers", Where::Silent, {}, u8("時間切れです")},
        {"drips", Where::Server,
         [](httplib::Response& res) {
             res.set_chunked_content_provider("application/octet-stream",
                                              [](std::size_t, httplib::DataSink& sink) {
                                                  std::this_thread::sleep_for(20ms);
                                                  return sink.write("{", 1);
                                              });
         },
         u8("時間切れです")},
        {"cancelled", Where::Cancelled, {}, u8("キャンセルされました")},
        {"too large", Where::Server,
         status(200, std::string(tallemo::kMaxAnswerBytes + 1, ' '), "application/octet-stream"),
         u8("応答が大きすぎます")},
        {"not found page", Where::Server, status(404, "Not Found", "text/plain"), u8("HTTP 404")},
        {"server error", Where::Server, status(503, kEuroBaseAnswer), u8("HTTP 503")},
        {"JSON error without rates", Where::Server, status(403, "{}"), u8("HTTP 403")},
        {"unknown charset", Where::Server,
         status(200, kEuroBaseAnswer, "application/json; charset=x-no-such"),
         u8("応答の文字コードが不明です")},
        {"not JSON", Where::Server, status(200, "<html></html>", "text/html"),
         u8("応答が JSON ではありません")},
        {"no rates", Where::Server, status(200, R"({"success":true})"),
         u8("応答に rates がありません")},
        {"service error", Where::Server,
         status(200, R"({"success":false,"error":{"code":101,"type":"invalid_access_key",)"
                     R"("info":"You have not supplied a valid API Access Key."}})"),
         u8("サービスのエラー 101: You have not supplied a valid API Access Key.")},
        {"service error, type only, with a 4xx status", Where::Server,
         status(401, R"({"error":{"code":"104","type":"usage_limit_reached"}})"),
         u8("サービスのエラー 104: usage_limit_reached")},
        {"service error, long text on several lines", Where::Server,
         status(200, R"({"error":{"code":1,"info":"a\r\nb\t)" + longInfo + R"("}})"),
         u8("サービスのエラー 1: a b ") + QString(75, u'i') + u8("…")},
        {"service error with a long code", Where::Server,
         status(200, R"({"error":{"code":"invalid_access_key_or_worse","type":"x"}})"),
         u8("サービスのエラー invalid_acc…: x")},
        {"service error as a text", Where::Server, status(200, R"({"error":"quota"})"),
         u8("サービスのエラー: quota")},
        {"rate not readable", Where::Server, status(200, R"({"rates":{"JPY":"abc","USD":1}})"),
         u8("レートを読み取れません")},
        {"USD missing", Where::Server, status(200, R"({"rates":{"JPY":161.8}})"),
         u8("レートを読み取れません")},
        {"too large for a double", Where::Server, status(200, R"({"rates":{"JPY":1e400,"USD":1}})"),
         u8("レートを読み取れません")},
        {"zero", Where::Server, status(200, R"({"rates":{"JPY":0,"USD":1}})"),
         u8("レートが正しくありません")},
        {"negative", Where::Server, status(200, R"({"rates":{"JPY":161.8,"USD":-1.04}})"),
         u8("レートが正しくありません")},
    };
    const QTemporaryDir dir;
    const QString iniFileName = dir.path() + QStringLiteral("/Tallemo");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SilentPort refusing(false);
        const SilentPort silent(true);
        TestServer server;
        if (c.respond)
            server.on("/v1/latest", [&c](const auto&, auto& res) { c.respond(res); });
        QString baseUrl = server.url("/v1");
        if (c.where == Where::Refused)
            baseUrl = refusing.url("/v1");
        else if (c.where == Where::Silent || c.where == Where::Cancelled)
            baseUrl = silent.url("/v1");
        else if (c.where == Where::NotHttp)
            baseUrl = QStringLiteral("file:///etc");
        {
            QFile file(iniFileName + QStringLiteral(".ini"));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(
                QStringLiteral("[exchangeratesapi]\r\nBaseURL=%1\r\n").arg(baseUrl).toUtf8());
        }
        TestObserver observer;
        QtHttpTransport transport(c.where == Where::Cancelled ? &observer : nullptr);
        LineModel lines;
        const RateFetch fetch = fetchYenPerDollar(iniFileName, lines, transport, quick(500));
        EXPECT_FALSE(fetch.succeeded());
        EXPECT_EQ(fetch.failureReason, c.reason);
        EXPECT_EQ(lines.line(lines.count() - 1), kRateFailureLine);
    }
}

TEST_F(GetYPDTest, GivesNoReasonOnSuccess) {
    m_server.on("/v1/latest", [](const auto&, auto& res) { answer(res, 200, kEuroBaseAnswer); });
    writeSettings(QStringLiteral("key"), m_server.url("/v1"));
    LineModel lines;
    const RateFetch fetch = fetchYenPerDollar(m_iniFileName, lines, m_transport, quick());
    EXPECT_TRUE(fetch.succeeded());
    EXPECT_EQ(fetch.failureReason, QString());
}

} // namespace
