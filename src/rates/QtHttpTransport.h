#pragma once

#include "rates/ExchangeRates.h"

#include <functional>

class QNetworkAccessManager;

namespace tallemo {

// Told when a request starts and ends, so a window can show that it waits and offer a way out.
// cancel() ends the request as a failure.
class WaitObserver {
public:
    virtual ~WaitObserver() = default;
    virtual void waitStarted(const std::function<void()>& cancel) = 0;
    virtual void waitFinished() = 0;
};

// HttpTransport over QNetworkAccessManager. get() waits in a local event loop, so a window keeps
// painting; redirects are followed; a body over 1 MiB is a failure.
class QtHttpTransport : public HttpTransport {
public:
    explicit QtHttpTransport(WaitObserver* observer = nullptr);
    ~QtHttpTransport() override;

    HttpAnswer get(const HttpRequest& request) override;

private:
    WaitObserver* m_observer;
    QNetworkAccessManager* m_manager;
};

} // namespace tallemo
