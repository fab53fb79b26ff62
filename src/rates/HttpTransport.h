#pragma once

#include <QByteArray>
#include <QList>
#include <QUrl>

#include <utility>

namespace tallemo {

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

// Answer bodies larger than this are a failure; QtHttpTransport stops reading beyond it.
inline constexpr qsizetype kMaxAnswerBytes = qsizetype{1024} * 1024;

} // namespace tallemo
