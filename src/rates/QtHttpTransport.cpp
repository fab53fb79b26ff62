#include "rates/QtHttpTransport.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>

#include <memory>
#include <optional>

namespace tallemo {

QtHttpTransport::QtHttpTransport(WaitObserver* observer)
    : m_observer(observer), m_manager(new QNetworkAccessManager) {
    m_manager->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

QtHttpTransport::~QtHttpTransport() {
    delete m_manager;
}

namespace {

// What the observer's cancel function reaches; it outlives the request, so a late cancel finds
// the reply gone and does nothing.
struct CancelState {
    QPointer<QNetworkReply> reply;
    bool cancelled = false;
};

// Errors after which the body is no answer of the server: the connection, the proxy, redirects, an
// unsupported URL, a broken or cut answer. The content and server errors (4xx, 5xx) still carry
// the server's answer.
bool isTransportError(QNetworkReply::NetworkError error) {
    const int code = static_cast<int>(error);
    return (code > 0 && code < 200) || error == QNetworkReply::ProtocolUnknownError ||
           error == QNetworkReply::ProtocolFailure;
}

bool isRedirect(int status) {
    return status >= 300 && status < 400;
}

constexpr qint64 kReadBufferBytes = qint64{64} * 1024;

} // namespace

HttpAnswer QtHttpTransport::get(const HttpRequest& request) {
    if (m_busy)
        return {};
    m_busy = true;
    struct BusyGuard {
        bool& busy;
        explicit BusyGuard(bool& flag) : busy(flag) {}
        BusyGuard(const BusyGuard&) = delete;
        BusyGuard& operator=(const BusyGuard&) = delete;
        ~BusyGuard() { busy = false; }
    } busyGuard(m_busy);

    QNetworkRequest networkRequest(request.url);
    for (const auto& [name, value] : request.headers)
        networkRequest.setRawHeader(name, value);
    networkRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                                QNetworkRequest::AlwaysNetwork);
    networkRequest.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // Qt inflates a compressed body in its network thread, ahead of what is read and whatever the
    // read buffer: an endless or bomb-like answer would be held in memory by the megabyte before
    // the cap could refuse it. An answer of some hundred bytes gains nothing from compression.
    networkRequest.setRawHeader("Accept-Encoding", "identity");

    QEventLoop loop;
    // The connect time-out runs until the request has been written to a connection (again for
    // each connection a redirect opens); the reading deadline starts when the request is first
    // sent and is never restarted, so a server dripping its answer cannot hold the wait open.
    QTimer connectTimer;
    connectTimer.setSingleShot(true);
    connectTimer.setTimerType(Qt::PreciseTimer);
    QTimer readDeadline;
    readDeadline.setSingleShot(true);
    readDeadline.setTimerType(Qt::PreciseTimer);
    QByteArray body;
    std::optional<HttpFailure> failure;
    auto state = std::make_shared<CancelState>();

    const std::unique_ptr<QNetworkReply> reply(m_manager->get(networkRequest));
    state->reply = reply.get();

    const auto fail = [&](HttpFailure kind) {
        if (!failure)
            failure = kind;
        reply->abort();
    };
    const auto timeOut = [&] { fail(HttpFailure::TimedOut); };
    QObject::connect(&connectTimer, &QTimer::timeout, &loop, timeOut);
    QObject::connect(&readDeadline, &QTimer::timeout, &loop, timeOut);
    connectTimer.start(request.connectTimeoutMs);
    QObject::connect(reply.get(), &QNetworkReply::socketStartedConnecting, &loop,
                     [&] { connectTimer.start(request.connectTimeoutMs); });
    QObject::connect(reply.get(), &QNetworkReply::requestSent, &loop, [&] {
        connectTimer.stop();
        if (!readDeadline.isActive() && !failure)
            readDeadline.start(request.readTimeoutMs);
    });
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, &loop, [&] {
        // Qt's network thread then stops reading while this much lies unread in the reply, so
        // reading stops near the cap. (Set any earlier, Qt 6.4 does not pass it on.)
        reply->setReadBufferSize(kReadBufferBytes);
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const qlonglong length = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
        if (!isRedirect(status) && length > kMaxAnswerBytes)
            fail(HttpFailure::TooLarge);
    });
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
        body.append(reply->read(kMaxAnswerBytes + 1 - body.size()));
        if (body.size() > kMaxAnswerBytes)
            fail(HttpFailure::TooLarge);
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);

    if (m_observer != nullptr) {
        m_observer->waitStarted([state] {
            if (!state->reply.isNull() && !state->reply->isFinished()) {
                state->cancelled = true;
                state->reply->abort();
            }
        });
    }
    if (!reply->isFinished())
        loop.exec();
    connectTimer.stop();
    readDeadline.stop();
    if (m_observer != nullptr)
        m_observer->waitFinished();

    if (state->cancelled)
        failure = HttpFailure::Cancelled;
    if (!failure) {
        body.append(reply->read(kMaxAnswerBytes + 1 - body.size()));
        if (body.size() > kMaxAnswerBytes)
            failure = HttpFailure::TooLarge;
    }
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!failure && (!status.isValid() || isTransportError(reply->error())))
        failure = reply->error() == QNetworkReply::TimeoutError ? HttpFailure::TimedOut
                                                                : HttpFailure::NoConnection;
    if (failure) {
        HttpAnswer answer;
        answer.failure = *failure;
        return answer;
    }

    HttpAnswer answer;
    answer.received = true;
    answer.status = status.toInt();
    answer.contentType = reply->rawHeader("Content-Type");
    answer.body = std::move(body);
    return answer;
}

} // namespace tallemo
