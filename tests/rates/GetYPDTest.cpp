#include "rates/ExchangeRates.h"
#include "rates/QtHttpTransport.h"

#include "Printers.h"
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

#include <cmath>
#include <functional>
#include <mutex>
#include <thread>

using tallemo::GetYPD;
using tallemo::HttpAnswer;
using tallemo::HttpRequest;
using tallemo::kRateFailureLine;
using tallemo::LineModel;
using tallemo::QtHttpTransport;
using tallemo::RESTRequest;

namespace {

QString u8(const char* text) {
    return QString::fromUtf8(text);
}

// An HTTP server on 127.0.0.1 and a free port, for the life of a test.
class TestServer {
public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    TestServer() {
        // One request per connection, so that stopping never waits for an idle keep-alive.
        m_server.set_keep_alive_max_count(1);
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
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
    void on(const std::string& path, Handler handler) {
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

const char* const kWorkedExample =
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
        o.result =
            GetYPD(m_iniFileName, lines, m_transport, o.LUSD, o.LYPD, o.LJPY, o.succeeded, request);
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
    m_server.on("/v1/latest", [](const auto&, auto& res) { answer(res, 200, kWorkedExample); });
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
        AnswerCase{"WorkedExample",
                   200,
                   kWorkedExample,
                   "application/json",
                   {u8(kWorkedExample)},
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
        AnswerCase{"UsdZero",
                   200,
                   R"({"rates":{"JPY":161.8,"USD":0}})",
                   "application/json",
                   {u8(R"({"rates":{"JPY":161.8,"USD":0}})")},
                   161.8,
                   0},
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
        AnswerCase{"ServerError", 500, kWorkedExample, "application/json", {u8("*")}, -3, -1},
        AnswerCase{"Unavailable", 503, kWorkedExample, "application/json", {u8("*")}, -3, -1},
        AnswerCase{
            "NotJson", 200, "<html><body>rates</body></html>", "text/html", {u8("*")}, -3, -1},
        AnswerCase{"NotFoundPage", 404, "Not Found", "text/plain", {u8("*")}, -3, -1},
        AnswerCase{"EmptyBody", 200, "", "application/json", {u8("*")}, -3, -1},
        AnswerCase{"TrailingText",
                   200,
                   std::string(kWorkedExample) + "\nx",
                   "application/json",
                   {u8("*")},
                   -3,
                   -1},
        AnswerCase{"UnknownCharset",
                   200,
                   kWorkedExample,
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
    m_server.on("/v2/latest", [](const auto&, auto& res) { answer(res, 200, kWorkedExample); });
    writeSettings(QStringLiteral("k"), m_server.url("/v1"));
    const Outcome o = run();
    EXPECT_EQ(o.added, QStringList{u8(kWorkedExample)});
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
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.size << (c.chunked ? " chunked" : ""));
        const std::string text = body(c.size);
        m_server.on("/v1/latest", [&text, &c](const auto&, httplib::Response& res) {
            if (!c.chunked) {
                // text/x-raw is not compressed, so the Content-Length is the body's size.
                answer(res, 200, text, "text/x-raw");
                return;
            }
            res.set_chunked_content_provider(
                "text/x-raw", [&text](std::size_t offset, httplib::DataSink& sink) {
                    const std::size_t n = std::min<std::size_t>(64 * 1024, text.size() - offset);
                    if (n == 0 || !sink.write(text.data() + offset, n))
                        sink.done();
                    return true;
                });
        });
        writeSettings(QStringLiteral("key"), m_server.url("/v1"));
        const Outcome o = run();
        EXPECT_EQ(o.succeeded, c.succeeds);
        EXPECT_EQ(o.added.size(), 1);
        if (!c.succeeds) {
            EXPECT_EQ(o.added, QStringList{kRateFailureLine});
        }
    }
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

} // namespace
