#pragma once

#include "cli/ConvertCommand.h"
#include "rates/ExchangeRates.h"
#include "support/Notation.h"
#include "support/QtText.h"

#include <QBuffer>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace tallemo::testing_support {

// Answers every request with a fixed answer, or fails the test when no answer is set: only the
// tests that mean to fetch a rate may reach the transport.
class FixedTransport : public HttpTransport {
public:
    explicit FixedTransport(std::optional<HttpAnswer> answer, QList<QUrl>* requests = nullptr)
        : m_answer(std::move(answer)), m_requests(requests) {}

    HttpAnswer get(const HttpRequest& request) override {
        if (m_requests != nullptr)
            m_requests->append(request.url);
        if (!m_answer) {
            ADD_FAILURE() << "unexpected exchange-rate request to "
                          << request.url.toString().toStdString();
            return {};
        }
        return *m_answer;
    }

private:
    std::optional<HttpAnswer> m_answer;
    QList<QUrl>* m_requests;
};

// Surroundings with no settings file, a date text no fixture expects (a forgotten --date shows
// up in the diff) and "." as the decimal separator.
// The kinds are the built-in ones and those that come with the program (data/kinds).
inline ConvertEnvironment testEnvironment(const QTemporaryDir& settingsDir,
                                          const std::optional<HttpAnswer>& answer = std::nullopt,
                                          QList<QUrl>* requests = nullptr) {
    ConvertEnvironment environment{
        settingsDir.filePath(QStringLiteral("Tallemo")),
        Regional::fixed(QStringLiteral("(today)"), QStringLiteral(".")),
        [answer, requests] { return std::make_unique<FixedTransport>(answer, requests); },
    };
    environment.kindFolders = {settingsDir.filePath(QStringLiteral("kinds")),
                               QStringLiteral(TALLEMO_SHIPPED_KINDS_DIR)};
    environment.historyFile = settingsDir.filePath(QStringLiteral("history.sqlite"));
    rules::LoadedKinds loaded = rules::loadKinds(environment.kindFolders);
    environment.kinds = std::move(loaded.registry);
    environment.kindProblems = std::move(loaded.problems);
    return environment;
}

inline ConvertOutcome runWithInput(const QStringList& arguments, const QByteArray& input,
                                   const ConvertEnvironment& environment) {
    QByteArray data = input;
    QBuffer standardInput(&data);
    standardInput.open(QIODevice::ReadOnly);
    ConvertOutcome outcome = runConvertCommand(arguments, standardInput, environment);
    // As the program does once standard output is written.
    if (outcome.afterOutput) {
        outcome.standardError += outcome.afterOutput();
        outcome.afterOutput = nullptr;
    }
    return outcome;
}

} // namespace tallemo::testing_support
