#pragma once

#include "rates/HttpTransport.h"

#include <QList>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <vector>

namespace tallemo::testing_support {

// The exchange-rate service for tests: every request is recorded and gets the same answer. With
// no answer at all, a request fails the test: only the tests that mean to fetch a rate may reach
// the transport. The rates fuzz target keeps a transport of its own, without GoogleTest.
class FakeTransport : public HttpTransport {
public:
    explicit FakeTransport(std::optional<HttpAnswer> cannedAnswer = HttpAnswer{},
                           QList<QUrl>* requestedUrls = nullptr)
        : answer(std::move(cannedAnswer)), m_requestedUrls(requestedUrls) {}

    HttpAnswer get(const HttpRequest& request) override {
        requests.push_back(request);
        if (m_requestedUrls != nullptr)
            m_requestedUrls->append(request.url);
        if (whileWaiting)
            whileWaiting();
        if (!answer) {
            ADD_FAILURE() << "unexpected exchange-rate request to "
                          << request.url.toString().toStdString();
            return {};
        }
        return *answer;
    }

    std::optional<HttpAnswer> answer;
    std::function<void()> whileWaiting; // runs as if the answer took its time
    std::vector<HttpRequest> requests;

private:
    QList<QUrl>* m_requestedUrls;
};

} // namespace tallemo::testing_support
