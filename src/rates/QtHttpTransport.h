#pragma once

#include "rates/HttpTransport.h"
#include "rates/WaitObserver.h"

#include <functional>

class QNetworkAccessManager;

namespace tallemo {

// HttpTransport over QNetworkAccessManager. get() waits in a local event loop, so a window keeps
// painting; redirects are followed (never from https to http); a body over kMaxAnswerBytes is a
// failure, and reading stops as soon as the body has grown beyond it (answers are asked for
// uncompressed, so what is held stays near the cap). The connect time-out runs until the request
// has been sent; the read time-out is a deadline from then to the end of the body, not restarted by
// arriving data. A get() called while another one waits fails at once: requests go one at a time.
class QtHttpTransport : public HttpTransport {
public:
    explicit QtHttpTransport(WaitObserver* observer = nullptr);
    ~QtHttpTransport() override;

    QtHttpTransport(const QtHttpTransport&) = delete;
    QtHttpTransport& operator=(const QtHttpTransport&) = delete;

    HttpAnswer get(const HttpRequest& request) override;

private:
    WaitObserver* m_observer;
    QNetworkAccessManager* m_manager;
    bool m_busy = false;
};

} // namespace tallemo
