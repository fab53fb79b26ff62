#include "cli/CategoriesCommands.h"

#include "categories/CategoryStore.h"
#include "cli/CommandNames.h"
#include "cli/StatementReader.h"
#include "settings/IniSettings.h"

#include <QFile>
#include <QFileInfo>

namespace tallemo {

namespace {

const QString kProgram = QStringLiteral("tallemo-convert");

ConvertOutcome failed(int exitCode, const QString& message) {
    ConvertOutcome outcome;
    outcome.exitCode = exitCode;
    outcome.standardError = message;
    return outcome;
}

// The rows from FILE (standard input when empty or "-"), refused when they are not UTF-8, or
// the message why they cannot be had.
std::variant<QString, ConvertOutcome> readRows(const QString& fileName, QIODevice& standardInput) {
    const bool fromStandardInput = fileName.isEmpty() || fileName == QLatin1String("-");
    const QString source = fromStandardInput ? QStringLiteral("standard input") : fileName;
    QFile file;
    QIODevice* device = &standardInput;
    if (!fromStandardInput) {
        file.setFileName(fileName);
        if (!file.open(QIODevice::ReadOnly))
            return failed(1, QStringLiteral("%1: cannot read %2: %3\n")
                                 .arg(kProgram, source, file.errorString()));
        device = &file;
    }
    std::variant<StatementText, StatementProblem> read = readStatement(*device);
    if (auto* text = std::get_if<StatementText>(&read))
        return std::move(text->text);
    const auto& problem = std::get<StatementProblem>(read);
    if (problem.firstLineNotUtf8 == 0)
        return failed(
            1, QStringLiteral("%1: cannot read %2: %3\n").arg(kProgram, source, problem.readError));
    return failed(1, QStringLiteral("%1: %2: line %3 is not valid UTF-8\n")
                         .arg(kProgram, source)
                         .arg(problem.firstLineNotUtf8));
}

QString lines(const QStringList& texts) {
    QString joined;
    for (const QString& text : texts)
        joined += text + u'\n';
    return joined;
}

ConvertOutcome usage(const QString& message) {
    return failed(2, QStringLiteral("%1: %2\nusage: %1 categories [learn [ROWS] | forget "
                                    "[DESCRIPTION]]\n       %1 fill [ROWS]\n")
                         .arg(kProgram, message));
}

} // namespace

std::optional<ConvertOutcome> runCategoriesCommand(const QStringList& arguments,
                                                   QIODevice& standardInput,
                                                   const ConvertEnvironment& environment) {
    if (arguments.isEmpty())
        return std::nullopt;
    const QString& command = arguments.front();
    if (command == companion::commandName(companion::Command::Fill)) {
        if (arguments.size() > 2)
            return usage(QStringLiteral("fill takes one file of rows at most"));
        return fillCategories(arguments.value(1), standardInput, environment);
    }
    if (command != companion::commandName(companion::Command::Categories))
        return std::nullopt;
    if (arguments.size() == 1)
        return listCategories(environment);
    const QString& subcommand = arguments[1];
    if (subcommand == QLatin1String("learn")) {
        if (arguments.size() > 3)
            return usage(QStringLiteral("categories learn takes one file of rows at most"));
        return learnCategories(arguments.value(2), standardInput, environment);
    }
    if (subcommand == QLatin1String("forget")) {
        if (arguments.size() > 3)
            return usage(QStringLiteral("categories forget takes one description at most (in "
                                        "quotes when it has blanks)"));
        return forgetCategories(arguments.size() == 3 ? std::optional(arguments[2]) : std::nullopt,
                                environment);
    }
    return usage(QStringLiteral("unknown categories command: %1").arg(subcommand));
}

ConvertOutcome learnCategories(const QString& file, QIODevice& standardInput,
                               const ConvertEnvironment& environment) {
    std::variant<QString, ConvertOutcome> rows = readRows(file, standardInput);
    if (auto* problem = std::get_if<ConvertOutcome>(&rows))
        return std::move(*problem);
    const categories::SheetReading reading = categories::readSheet(std::get<QString>(rows));
    categories::CategoryStore store(environment.categoriesFile, environment.clock);
    const std::optional<categories::LearningCounts> counts = store.learn(reading);
    ConvertOutcome outcome;
    outcome.standardError = lines(store.notices());
    if (!counts) {
        outcome.exitCode = 1;
        return outcome;
    }
    outcome.standardError += categories::learningMessage(*counts) + u'\n';
    outcome.exitCode = counts->rowsWithCells == 0 ? 1 : 0;
    return outcome;
}

ConvertOutcome listCategories(const ConvertEnvironment& environment) {
    ConvertOutcome outcome;
    // A missing file is nothing learned, and stays missing.
    if (environment.categoriesFile.isEmpty() || !QFileInfo::exists(environment.categoriesFile))
        return outcome;
    categories::CategoryStore store(environment.categoriesFile, environment.clock,
                                    {.createMissing = false, .repairDamaged = false});
    const std::optional<std::vector<categories::LearnedChoice>> choices = store.choices();
    QString listed;
    for (const categories::LearnedChoice& choice :
         choices.value_or(std::vector<categories::LearnedChoice>{}))
        listed += QStringLiteral("%1\t%2\t%3\t%4\t%5\n")
                      .arg(choice.description, choice.cell3, choice.cell4)
                      .arg(choice.times)
                      .arg(choice.lastDay);
    outcome.standardOutput = listed.toUtf8();
    outcome.standardError = lines(store.notices());
    outcome.exitCode = choices ? 0 : 1;
    return outcome;
}

ConvertOutcome forgetCategories(const std::optional<QString>& description,
                                const ConvertEnvironment& environment) {
    ConvertOutcome outcome;
    if (environment.categoriesFile.isEmpty() || !QFileInfo::exists(environment.categoriesFile)) {
        outcome.standardError = QStringLiteral("分類: 覚えた分類はありません\n");
        return outcome;
    }
    categories::CategoryStore store(environment.categoriesFile, environment.clock,
                                    {.createMissing = false});
    if (!description) {
        const bool forgotten = store.forgetAll();
        outcome.standardError = lines(store.notices());
        if (forgotten)
            outcome.standardError += QStringLiteral("分類: 覚えた分類をすべて忘れました\n");
        outcome.exitCode = forgotten ? 0 : 1;
        return outcome;
    }
    const std::optional<int> forgotten = store.forgetDescription(*description);
    outcome.standardError = lines(store.notices());
    if (!forgotten) {
        outcome.exitCode = 1;
    } else if (*forgotten == 0) {
        outcome.standardError += QStringLiteral("分類: 「%1」は覚えていません\n").arg(*description);
        outcome.exitCode = 1;
    } else {
        outcome.standardError +=
            QStringLiteral("分類: 「%1」を忘れました（%2 行）\n").arg(*description).arg(*forgotten);
    }
    return outcome;
}

ConvertOutcome fillCategories(const QString& file, QIODevice& standardInput,
                              const ConvertEnvironment& environment) {
    std::variant<QString, ConvertOutcome> rows = readRows(file, standardInput);
    if (auto* problem = std::get_if<ConvertOutcome>(&rows))
        return std::move(*problem);
    QStringList problems;
    const categories::CategoryMatcher matcher = categories::loadMatcher(
        environment.categoriesFile, environment.categoryRulesFile, &problems);
    categories::FillCounts counts;
    ConvertOutcome outcome;
    // Rows of no particular kind: rules limited to some kinds do not apply.
    outcome.standardOutput = matcher.fillText(u"", std::get<QString>(rows), &counts).toUtf8();
    outcome.standardError = lines(problems);
    outcome.standardError += QStringLiteral("分類: %1 行に分類を入れました").arg(counts.filled);
    if (counts.unsure > 0)
        outcome.standardError +=
            QStringLiteral("。%1 行は確かでないので空欄です").arg(counts.unsure);
    outcome.standardError += u'\n';
    return outcome;
}

bool fillWanted(const std::optional<bool>& option, const QString& iniFileName) {
    return option.value_or(
        ReadIniBoolean(iniFileName, categories::kFillSection, categories::kFillKey, true));
}

} // namespace tallemo
