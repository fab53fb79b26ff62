#pragma once

#include "cli/ConvertCommand.h"
#include "rates/ExchangeRates.h"
#include "support/FakeTransport.h"
#include "support/Notation.h"
#include "support/QtText.h"

#include <QBuffer>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace tallemo::testing_support {

// Surroundings with no settings file, a date text no fixture expects (a forgotten --date shows
// up in the diff) and "." as the decimal separator.
// The kinds are the built-in ones and those that come with the program (data/kinds).
inline ConvertEnvironment testEnvironment(const QTemporaryDir& settingsDir,
                                          const std::optional<HttpAnswer>& answer = std::nullopt,
                                          QList<QUrl>* requests = nullptr) {
    ConvertEnvironment environment{
        settingsDir.filePath(QStringLiteral("Tallemo")),
        Regional::fixed(QStringLiteral("(today)"), QStringLiteral(".")),
        [answer, requests] { return std::make_unique<FakeTransport>(answer, requests); },
    };
    environment.kindFolders = {settingsDir.filePath(QStringLiteral("kinds")),
                               QStringLiteral(TALLEMO_SHIPPED_KINDS_DIR)};
    environment.historyFile = settingsDir.filePath(QStringLiteral("history.sqlite"));
    environment.categoriesFile = settingsDir.filePath(QStringLiteral("categories.sqlite"));
    environment.categoryRulesFile = settingsDir.filePath(QStringLiteral("categories.toml"));
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
