#include "rates/QtHttpTransport.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>

#include <memory>

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

} // namespace

HttpAnswer QtHttpTransport::get(const HttpRequest& request) {
    if (m_busy)
        return {};
    m_busy = true;
    struct BusyGuard {
        bool& busy;
        ~BusyGuard() { busy = false; }
    } busyGuard{m_busy};

    QNetworkRequest networkRequest(request.url);
    for (const auto& [name, value] : request.headers)
        networkRequest.setRawHeader(name, value);
    networkRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                                QNetworkRequest::AlwaysNetwork);
    networkRequest.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QByteArray body;
    bool timedOut = false;
    bool tooLarge = false;
    auto state = std::make_shared<CancelState>();

    const std::unique_ptr<QNetworkReply> reply(m_manager->get(networkRequest));
    state->reply = reply.get();

    timer.start(request.connectTimeoutMs);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        reply->abort();
    });
    // Each connection (a redirect may need a new one) has the connect time-out until the request
    // is written; from then on the read time-out counts from the last data received.
    QObject::connect(reply.get(), &QNetworkReply::socketStartedConnecting, &loop,
                     [&] { timer.start(request.connectTimeoutMs); });
    QObject::connect(reply.get(), &QNetworkReply::requestSent, &loop,
                     [&] { timer.start(request.readTimeoutMs); });
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, &loop, [&] {
        timer.start(request.readTimeoutMs);
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const qlonglong length = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
        if (!isRedirect(status) && length > kMaxAnswerBytes) {
            tooLarge = true;
            reply->abort();
        }
    });
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
        timer.start(request.readTimeoutMs);
        body.append(reply->read(kMaxAnswerBytes + 1 - body.size()));
        if (body.size() > kMaxAnswerBytes) {
            tooLarge = true;
            reply->abort();
        }
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);

    if (m_observer != nullptr) {
        m_observer->waitStarted([state] {
            if (state->reply && !state->reply->isFinished()) {
                state->cancelled = true;
                state->reply->abort();
            }
        });
    }
    if (!reply->isFinished())
        loop.exec();
    timer.stop();
    if (m_observer != nullptr)
        m_observer->waitFinished();

    if (!tooLarge && !timedOut && !state->cancelled) {
        body.append(reply->read(kMaxAnswerBytes + 1 - body.size()));
        tooLarge = body.size() > kMaxAnswerBytes;
    }
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (tooLarge || timedOut || state->cancelled || !status.isValid() ||
        isTransportError(reply->error()))
        return {};

    HttpAnswer answer;
    answer.received = true;
    answer.status = status.toInt();
    answer.contentType = reply->rawHeader("Content-Type");
    answer.body = std::move(body);
    return answer;
}

} // namespace tallemo
