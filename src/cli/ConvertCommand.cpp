#include "cli/ConvertCommand.h"

#include "cli/StatementReader.h"

#include "AppError.h"
#include "categories/CategoryStore.h"
#include "cli/CategoriesCommands.h"
#include "cli/CommandNames.h"
#include "converters/ConversionReport.h"
#include "converters/StatementKinds.h"
#include "history/HistoryStore.h"
#include "learn/Learner.h"
#include "pipeline/Conversion.h"
#include "rates/ExchangeRates.h"
#include "rates/QtHttpTransport.h"
#include "rules/RulesKind.h"
#include "settings/IniSettings.h"
#include "settings/SettingsLocation.h"
#include "text/LineModel.h"
#include "text/NumberText.h"
#include "text/OutputList.h"
#include "text/TextPrimitives.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <exception>
#include <optional>
#include <variant>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace tallemo {

namespace {

const QString kProgram = QStringLiteral("tallemo-convert");
using companion::Command;
using companion::commandName;
const QString kDetect = commandName(Command::Detect);
const QString kKinds = commandName(Command::Kinds);
const QString kCheck = commandName(Command::Check);
const QString kHelp = commandName(Command::Help);
const QString kLearn = commandName(Command::Learn);
const QString kHistory = commandName(Command::History);

// What the arguments of a call are wrong in: ends the companion with status 2 and the usage.
struct UsageError {
    QString message;
};

// A conversion's options, as `tallemo-convert KIND` takes them.
struct ConversionOptions {
    const StatementKind* kind = nullptr;
    QString file; // empty or "-": standard input
    std::optional<QString> areaFile;
    std::optional<QString> date;
    std::optional<double> rate;
    std::optional<bool> remark;
    std::optional<bool> fill;
    bool newOnly = false;
};

// learn's example, statement, wanted row, its literal cells (0-based), caption and id, and
// whether the file is saved (replacing one of the same id with force).
struct LearnOptions {
    QString example;
    QString file;
    // The further examples and their rows, in the order given.
    QStringList furtherExamples;
    QList<QStringList> furtherRows;
    QStringList wantedCells;
    QSet<int> literalCells;
    QString caption;
    QString id;
    bool save = false;
    bool force = false;
};

// A rate as the user types it: always with "." whatever the regional settings, and a usable
// number of yen, so a typing slip cannot turn into rows of zero or infinite yen.
std::optional<double> parseRate(const QString& text) {
    try {
        const double rate = decimalTextToFloat(text, QStringLiteral("."));
        if (std::isfinite(rate) && rate > 0)
            return rate;
    } catch (const AppError&) {
    }
    return std::nullopt;
}

// The date text becomes a cell of every row: a TAB or a line break in it would shift or split
// the rows.
bool isUsableDateText(const QString& text) {
    return std::none_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() < 0x20 || c.unicode() == 0x7F || c == QChar(0x2028) ||
               c == QChar(0x2029);
    });
}

// "view and coop": the ids of the kinds that take an option, for its usage error. Only built-in
// kinds take options.
QString idsOfKinds(bool (*takes)(const StatementKind&)) {
    QStringList ids;
    for (const StatementKind& kind : builtInKinds()) {
        if (takes(kind))
            ids << kind.id;
    }
    if (ids.size() < 2)
        return ids.join(QString());
    return ids.mid(0, ids.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") +
           ids.back();
}

bool takesRate(const StatementKind& kind) {
    return kind.needsRate;
}

bool takesRemark(const StatementKind& kind) {
    return kind.remark.has_value();
}

// "Suica, 保険": the remarks cells of the kinds that have one.
QString remarkCells() {
    QStringList cells;
    for (const StatementKind& kind : builtInKinds()) {
        if (kind.remark)
            cells << kind.remark->cell;
    }
    return cells.join(QStringLiteral(", "));
}

struct CommandLine {
    QCommandLineOption area{QStringLiteral("area"),
                            QStringLiteral("also write the text area's text afterwards to FILE\n"
                                           "(UTF-8, CR LF), also when the conversion fails"),
                            QStringLiteral("FILE")};
    QCommandLineOption date{QStringLiteral("date"),
                            QStringLiteral("the date text of the dividend rows (default: today in "
                                           "the\nshort date format of the regional settings)"),
                            QStringLiteral("TEXT")};
    QCommandLineOption rate{
        QStringLiteral("rate"),
        QStringLiteral("%1 only: yen per dollar, with \".\" as the decimal point;\n"
                       "no exchange-rate request is made and no trace line added.\n"
                       "Without it the rate is fetched from the exchange-rate service\n"
                       "with the API key of Tallemo.ini, as the window does")
            .arg(idsOfKinds(takesRate)),
        QStringLiteral("NUMBER")};
    QCommandLineOption remark{QStringLiteral("remark"),
                              QStringLiteral("%1 only: add the remarks cell (%2)")
                                  .arg(idsOfKinds(takesRemark), remarkCells())};
    QCommandLineOption noRemark{QStringLiteral("no-remark"),
                                QStringLiteral("%1 only: leave the remarks cell out\n"
                                               "(default: the window's setting in Tallemo.ini)")
                                    .arg(idsOfKinds(takesRemark))};
    QCommandLineOption row{QStringLiteral("row"),
                           QStringLiteral("learn only: the row the example gives, its cells\n"
                                          "separated by TABs (default: a row proposed in the\n"
                                          "card statement's layout)"),
                           QStringLiteral("CELLS")};
    QCommandLineOption example{
        QStringLiteral("example"),
        QStringLiteral("learn only: a further example entry (a file), given with its\n"
                       "own --row after it; one kind must give every example's row,\n"
                       "and a cell the examples take from different columns (a bank's\n"
                       "出金 and 入金) becomes the first of them that holds an amount;\n"
                       "repeatable"),
        QStringLiteral("EXAMPLE")};
    QCommandLineOption literal{QStringLiteral("literal"),
                               QStringLiteral("learn only: the N-th cell (from 1) stays the typed\n"
                                              "text even where the example has it; repeatable"),
                               QStringLiteral("N")};
    QCommandLineOption caption{QStringLiteral("caption"),
                               QStringLiteral("learn only: the new kind's caption (default \"%1\")")
                                   .arg(learn::kDefaultLearnedCaption),
                               QStringLiteral("TEXT")};
    QCommandLineOption id{QStringLiteral("id"),
                          QStringLiteral("learn only: the new kind's id (default: from the\n"
                                         "caption's ASCII letters, else kind-N)"),
                          QStringLiteral("ID")};
    QCommandLineOption save{QStringLiteral("save"),
                            QStringLiteral("learn only: write ID.toml into your kinds folder\n"
                                           "instead of standard output")};
    QCommandLineOption force{QStringLiteral("force"),
                             QStringLiteral("learn only: with --save, replace a file of that id")};
    QCommandLineOption fill{
        QStringLiteral("fill"),
        QStringLiteral("fill the empty category cells (3 and 4) of the rows where\n"
                       "Tallemo is sure (default: the window's 分類を入れる)")};
    QCommandLineOption noFill{QStringLiteral("no-fill"),
                              QStringLiteral("leave the category cells as the kind makes them")};
    QCommandLineOption newOnly{
        QStringLiteral("new-only"),
        QStringLiteral("write only the rows that no earlier conversion with this\n"
                       "option (or the window) copied, and record them all in the\n"
                       "history of copied rows; the number left out goes to standard\n"
                       "error. Not for the dividend kinds")};
    QCommandLineOption lines{QStringLiteral("lines"),
                             QStringLiteral("check only: write before each row the statement's\n"
                                            "lines its entry took (\"12-15\" and a TAB)")};
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("show this help")};

    QList<QCommandLineOption> all() const {
        return {area,    date,    rate,    remark, noRemark, fill,  noFill, newOnly, row,
                example, literal, caption, id,     save,     force, lines,  help};
    }
    QList<const QCommandLineOption*> conversionOnly() const {
        return {&area, &date, &rate, &remark, &noRemark, &fill, &noFill, &newOnly};
    }
    QList<const QCommandLineOption*> learnOnly() const {
        return {&row, &example, &literal, &caption, &id, &save, &force};
    }
    QList<const QCommandLineOption*> checkOnly() const { return {&lines}; }
};

const CommandLine& commandLine() {
    static const CommandLine options;
    return options;
}

// What one call gives the subcommand it names: the parsed options, the arguments after the
// subcommand's name (for a conversion, after the kind's id) and the surroundings.
struct Call {
    const QCommandLineParser& parser;
    QStringList arguments;
    QIODevice& standardInput;
    const ConvertEnvironment& environment;
    const KindRegistry& kinds;
};

// The conversion's options from a call: the values checked, the kind's own options checked
// against the kind.
std::variant<ConversionOptions, UsageError> conversionOptions(const Call& call,
                                                              const QString& kindId) {
    const CommandLine& line = commandLine();
    const QCommandLineParser& parser = call.parser;
    ConversionOptions options;
    if (parser.isSet(line.area)) {
        options.areaFile = parser.value(line.area);
        if (options.areaFile->isEmpty())
            return UsageError{QStringLiteral("--area needs a file name")};
    }
    if (parser.isSet(line.date)) {
        options.date = parser.value(line.date);
        if (!isUsableDateText(*options.date))
            return UsageError{
                QStringLiteral("--date: the date text must not hold TABs or line breaks")};
    }
    if (parser.isSet(line.rate)) {
        const QString value = parser.value(line.rate);
        options.rate = parseRate(value);
        if (!options.rate)
            return UsageError{
                QStringLiteral("--rate: '%1' is not a positive number of yen per dollar")
                    .arg(value)};
    }
    // Of --remark and --no-remark (and of --fill and --no-fill) the last one given counts.
    for (const QString& name : parser.optionNames()) {
        if (name == line.remark.names().front())
            options.remark = true;
        else if (name == line.noRemark.names().front())
            options.remark = false;
        else if (name == line.fill.names().front())
            options.fill = true;
        else if (name == line.noFill.names().front())
            options.fill = false;
    }
    options.kind = call.kinds.find(kindId);
    if (options.kind == nullptr)
        return UsageError{QStringLiteral("unknown statement kind '%1'").arg(kindId)};
    if (options.rate && !takesRate(*options.kind))
        return UsageError{QStringLiteral("--rate applies to %1 only").arg(idsOfKinds(takesRate))};
    if (options.remark && !takesRemark(*options.kind))
        return UsageError{QStringLiteral("--remark and --no-remark apply to %1 only")
                              .arg(idsOfKinds(takesRemark))};
    options.newOnly = parser.isSet(line.newOnly);
    if (options.newOnly && !options.kind->recordsHistory)
        return UsageError{QStringLiteral("--new-only does not apply to %1: its rows carry the day "
                                         "of conversion, which tells no row from the next")
                              .arg(options.kind->id)};
    return options;
}

std::variant<LearnOptions, UsageError> learnOptions(const Call& call) {
    const CommandLine& line = commandLine();
    const QCommandLineParser& parser = call.parser;
    LearnOptions options;
    options.example = call.arguments.value(0);
    options.file = call.arguments.value(1);
    options.furtherExamples = parser.values(line.example);
    const QStringList rows = parser.values(line.row);
    if (!options.furtherExamples.isEmpty() && rows.size() != options.furtherExamples.size() + 1)
        return UsageError{
            QStringLiteral("--example: every example needs its own --row, the first one's first")};
    if (!rows.isEmpty())
        options.wantedCells = rows.front().split(u'\t');
    for (qsizetype k = 1; k < rows.size(); ++k)
        options.furtherRows << rows[k].split(u'\t');
    for (const QString& value : parser.values(line.literal)) {
        bool number = false;
        const int n = value.toInt(&number);
        if (!number || n < 1)
            return UsageError{
                QStringLiteral("--literal: '%1' is not a cell number (1, 2, ...)").arg(value)};
        options.literalCells.insert(n - 1);
    }
    options.caption = parser.value(line.caption);
    options.id = parser.value(line.id);
    options.save = parser.isSet(line.save);
    options.force = parser.isSet(line.force);
    if (options.force && !options.save)
        return UsageError{QStringLiteral("--force applies to --save only")};
    if (options.example == u"-" && options.file == u"-")
        return UsageError{
            QStringLiteral("the example and the statement cannot both be standard input")};
    return options;
}

QString usageText() {
    return QStringLiteral("Usage: %1 KIND [FILE] [--area FILE] [--new-only]\n"
                          "         [--date TEXT] [--rate NUMBER] [--remark|--no-remark]\n"
                          "       %1 {%2|%3} [FILE]\n"
                          "       %1 {%4|%5}\n"
                          "       %1 %6 EXAMPLE [FILE] [--row CELLS] [--caption TEXT] [--save]\n"
                          "Try '%1 --help' for more information, and the kinds.\n")
        .arg(kProgram, kDetect, QStringLiteral("check RULES.toml"), kKinds, kHistory, kLearn);
}

// The options as the help lists them: names and value in a column, the description beside.
QString optionsHelp() {
    constexpr qsizetype kDescriptionColumn = 17;
    QString text;
    for (const QCommandLineOption& option : commandLine().all()) {
        QStringList names;
        for (const QString& name : option.names())
            names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        QString head = QStringLiteral("  ") + names.join(QStringLiteral(", "));
        if (!option.valueName().isEmpty())
            head += u' ' + option.valueName();
        const QStringList description = option.description().split(u'\n');
        text += head.leftJustified(kDescriptionColumn - 1) + u' ' + description.front() + u'\n';
        for (qsizetype k = 1; k < description.size(); ++k)
            text += QString(kDescriptionColumn, u' ') + description[k] + u'\n';
    }
    return text;
}

QString kindsHelp(const KindRegistry& kinds) {
    QString text;
    for (const StatementKind& kind : kinds.kinds())
        text += QStringLiteral("  %1 %2 (%3)\n")
                    .arg(kind.id.leftJustified(10), kind.summary, kind.caption);
    return text;
}

// The subcommands' lines of the help, from the list of subcommands.
QString commandsHelp();

ConvertOutcome failure(int exitCode, const QString& message) {
    ConvertOutcome outcome;
    outcome.exitCode = exitCode;
    outcome.standardError = message;
    return outcome;
}

// A text read for the companion, or the message why it cannot be had.
struct LoadedText {
    QString text;
    QString failure; // empty when the text was read

    bool wasRead() const { return failure.isEmpty(); }
};

// The statement from FILE (standard input when it is empty or "-") as a paste would put it into
// the text area, before its line breaks are made CR LF (the line model does that while it finds
// the lines). A statement that is neither UTF-8 nor Windows-31J is refused rather than converted
// with replacement characters, which would end up unnoticed in the spreadsheet. A file is read
// rather than mapped: a mapped file that another program cuts short while it is read would kill the
// process instead of failing the read.
LoadedText loadStatement(const QString& fileName, QIODevice& standardInput) {
    const bool fromStandardInput = fileName.isEmpty() || fileName == QLatin1String("-");
    const QString source = fromStandardInput ? QStringLiteral("standard input") : fileName;
    QFile file;
    QIODevice* device = &standardInput;
    if (!fromStandardInput) {
        file.setFileName(fileName);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            return {{},
                    QStringLiteral("%1: cannot read %2: %3\n")
                        .arg(kProgram, source, file.errorString())};
        device = &file;
    }
    std::variant<StatementText, StatementProblem> read = readStatement(*device);
    if (auto* text = std::get_if<StatementText>(&read))
        return {std::move(text->text), {}};
    const auto& problem = std::get<StatementProblem>(read);
    if (problem.firstLineNotUtf8 == 0)
        return {
            {},
            QStringLiteral("%1: cannot read %2: %3\n").arg(kProgram, source, problem.readError)};
    return {{},
            QStringLiteral("%1: %2: neither UTF-8 nor Windows-31J: byte %3 (line %4) is not "
                           "valid UTF-8\n")
                .arg(kProgram, source)
                .arg(problem.firstByteNotUtf8)
                .arg(problem.firstLineNotUtf8)};
}

// `kinds`: every kind with where it comes from; the problems of the files that could not be read.
ConvertOutcome listKinds(const KindRegistry& kinds,
                         const std::vector<rules::RulesProblem>& problems) {
    ConvertOutcome outcome;
    QString listed;
    for (const StatementKind& kind : kinds.kinds())
        listed += QStringLiteral("%1\t%2\t%3\n")
                      .arg(kind.id, kind.caption,
                           kind.isBuiltIn() ? QStringLiteral("built-in") : kind.sourceFile);
    outcome.standardOutput = listed.toUtf8();
    for (const rules::RulesProblem& problem : problems)
        outcome.standardError += problem.toString() + u'\n';
    outcome.exitCode = problems.empty() ? 0 : 1;
    return outcome;
}

// `history`: per kind, the rows the history holds and when the last of them was copied. A
// missing history is an empty one, and stays missing.
ConvertOutcome showHistory(const ConvertEnvironment& environment) {
    ConvertOutcome outcome;
    if (environment.historyFile.isEmpty() || !QFileInfo::exists(environment.historyFile))
        return outcome;
    history::HistoryStore store(environment.historyFile, environment.clock,
                                {.createMissing = false, .repairDamaged = false});
    const std::optional<std::vector<history::KindSummary>> kinds = store.summary();
    QString listed;
    for (const history::KindSummary& kind : kinds.value_or(std::vector<history::KindSummary>{}))
        listed += QStringLiteral("%1\t%2\t%3\n")
                      .arg(kind.kind)
                      .arg(kind.rows)
                      .arg(QDateTime::fromSecsSinceEpoch(kind.lastCopied).toString(Qt::ISODate));
    outcome.standardOutput = listed.toUtf8();
    for (const QString& notice : store.notices())
        outcome.standardError += QStringLiteral("%1: %2\n").arg(kProgram, notice);
    outcome.exitCode = kinds ? 0 : 1;
    return outcome;
}

QString skipReasonText(SkipReason reason) {
    return reason == SkipReason::UnreadableDate ? QStringLiteral("日付を読めませんでした")
                                                : QStringLiteral("金額を読めませんでした");
}

// What a rules kind found in a statement, for `check` and `learn`: how many entries and how many
// of them gave no row.
QString entriesFoundText(std::size_t entries, std::size_t withoutRow) {
    return QStringLiteral("%1: %2 件見つかりました。行にならなかったもの %3 件\n")
        .arg(kProgram)
        .arg(entries)
        .arg(withoutRow);
}

// "12-15": the 1-based lines an entry took, as `check --lines` writes them.
QString entryLinesText(const KindScan::Entry& entry) {
    if (entry.lastLine <= entry.firstLine)
        return QString::number(entry.firstLine + 1);
    return QStringLiteral("%1-%2").arg(entry.firstLine + 1).arg(entry.lastLine + 1);
}

// `check RULES.toml|KIND STATEMENT`: the rows as a conversion writes them (with --lines each
// after the lines its entry took), and on standard error how many entries there are, each entry
// that gives none by its first line, and the lines that looked like an entry but are none, with
// the part that failed.
ConvertOutcome checkKind(const StatementKind& kind, const LineModel& Lines,
                         const ConvertContext& context, bool withLines) {
    ConvertOutcome outcome;
    const KindScan scan = kind.scan(Lines, context);
    QString rows;
    QString skipped;
    std::size_t withoutRow = 0;
    for (const KindScan::Entry& entry : scan.entries) {
        if (entry.skipped) {
            ++withoutRow;
            skipped += QStringLiteral("%1: %2 行目: %3\n")
                           .arg(kProgram)
                           .arg(entry.firstLine + 1)
                           .arg(skipReasonText(*entry.skipped));
        } else {
            if (withLines)
                rows += entryLinesText(entry) + u'\t';
            rows += entry.cells.join(u'\t') + QStringLiteral("\r\n");
        }
    }
    outcome.standardOutput = rows.toUtf8();
    if (scan.entries.empty())
        outcome.standardError += QStringLiteral("%1: %2 (%3) の明細が見つかりませんでした\n")
                                     .arg(kProgram, kind.caption, kind.id);
    else
        outcome.standardError += entriesFoundText(scan.entries.size(), withoutRow) + skipped;
    for (const KindScan::NearMiss& nearMiss : scan.nearMisses)
        outcome.standardError +=
            QStringLiteral("%1: %2\n").arg(kProgram, rules::nearMissText(nearMiss, Lines));
    for (const QString& hint : scan.hints)
        outcome.standardError += QStringLiteral("%1: ヒント: %2\n").arg(kProgram, hint);
    return outcome;
}

// `learn EXAMPLE [STATEMENT]`: the rules file learned from one entry, on standard output or
// saved into the user's kinds folder; with a statement, what the kind finds in it.
ConvertOutcome learnFromExample(const LearnOptions& options, QIODevice& standardInput,
                                const KindRegistry& kinds, const ConvertEnvironment& environment) {
    const LoadedText example = loadStatement(options.example, standardInput);
    if (!example.wasRead())
        return failure(1, example.failure);
    learn::LearnRequest request;
    request.exampleLines = normaliseLineBreaks(example.text).split(kCrLf);
    while (!request.exampleLines.isEmpty() && request.exampleLines.back().isEmpty())
        request.exampleLines.removeLast();
    if (!options.file.isEmpty()) {
        LoadedText statement = loadStatement(options.file, standardInput);
        if (!statement.wasRead())
            return failure(1, statement.failure);
        request.statement = std::move(statement.text);
    }
    request.wantedCells = options.wantedCells;
    request.literalCells = options.literalCells;
    request.caption = options.caption;
    request.id = options.id;
    for (const StatementKind& kind : kinds.kinds())
        request.takenIds << kind.id;
    request.takenIds << rules::reservedIds();
    for (const StatementKind& builtIn : builtInKinds())
        request.builtInIds << builtIn.id;
    for (const QFileInfo& file :
         QDir(environment.kindFolders.user).entryInfoList({QStringLiteral("*.toml")}, QDir::Files))
        request.takenIds << file.completeBaseName();

    // The caption, where none is given, from what the statement says around the example (the
    // mail's heading, the card's name), as the window's learning dialog proposes it.
    if (request.caption.isEmpty())
        request.caption =
            learn::proposeCaption(request.statement, request.exampleLines, request.takenIds);
    std::vector<learn::LearnExample> examples{
        {request.exampleLines, request.wantedCells, request.literalCells}};
    for (qsizetype k = 0; k < options.furtherExamples.size(); ++k) {
        const LoadedText further = loadStatement(options.furtherExamples[k], standardInput);
        if (!further.wasRead())
            return failure(1, further.failure);
        QStringList lines = normaliseLineBreaks(further.text).split(kCrLf);
        while (!lines.isEmpty() && lines.back().isEmpty())
            lines.removeLast();
        examples.push_back({lines, options.furtherRows[k], {}});
    }
    const std::variant<learn::LearnedKind, QString> learned =
        learn::learnKindFromExamples(examples, request);
    if (const auto* reason = std::get_if<QString>(&learned))
        return failure(1, QStringLiteral("%1: %2\n").arg(kProgram, *reason));
    const auto& kind = std::get<learn::LearnedKind>(learned);

    const QString path = environment.kindFolders.user + u'/' + kind.id + QStringLiteral(".toml");
    ConvertOutcome outcome;
    for (const QString& warning : kind.warnings)
        outcome.standardError += QStringLiteral("%1: %2\n").arg(kProgram, warning);
    for (const QString& note : kind.notes)
        outcome.standardError += QStringLiteral("%1: %2\n").arg(kProgram, note);
    if (!options.file.isEmpty()) {
        outcome.standardError +=
            entriesFoundText(static_cast<std::size_t>(kind.entries), kind.skippedEntries.size());
        for (const QString& nearMiss : kind.nearMisses)
            outcome.standardError += QStringLiteral("%1: %2\n").arg(kProgram, nearMiss);
    }
    if (!options.save) {
        outcome.standardOutput = kind.fileText.toUtf8();
        return outcome;
    }
    if (QFileInfo::exists(path) && !options.force)
        return failure(1, outcome.standardError +
                              QStringLiteral("%1: %2 はもうあります。置き換えるときは --force を"
                                             "付けてください\n")
                                  .arg(kProgram, path));
    QDir().mkpath(environment.kindFolders.user);
    QSaveFile file(path);
    const QByteArray bytes = kind.fileText.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return failure(1,
                       outcome.standardError + QStringLiteral("%1: %2 を保存できませんでした: %3\n")
                                                   .arg(kProgram, path, file.errorString()));
    outcome.standardError += QStringLiteral("%1: %2 に保存しました\n").arg(kProgram, path);
    return outcome;
}

// --new-only once the rows are made: says how many were left out, and leaves the recording of
// all of them until standard output is written. Nothing new: the clipboard would keep what it
// holds, so nothing is recorded.
void leaveOutCopiedRows(ConvertOutcome& outcome, const std::shared_ptr<Conversion>& conversion,
                        const std::shared_ptr<history::HistoryStore>& store) {
    const ConversionReport& report = conversion->report();
    const StatementKind& kind = conversion->kind();
    const QString name = QStringLiteral("%1: %2 (%3)").arg(kProgram, kind.caption, kind.id);
    if (report.convertedRows > 0 && !conversion->delivers())
        outcome.standardError +=
            QStringLiteral("%1: %2 行はすべてコピー済みです\n").arg(name).arg(report.convertedRows);
    else if (report.copiedBefore > 0)
        outcome.standardError += QStringLiteral("%1: コピー済みの %2 行を除きました\n")
                                     .arg(name)
                                     .arg(report.copiedBefore);
    for (const QString& notice : store->notices())
        outcome.standardError += QStringLiteral("%1: %2\n").arg(kProgram, notice);
    if (!conversion->delivers())
        return;
    // The conversion records into the store: both live until the rows are out.
    outcome.afterOutput = [conversion, store, said = store->notices()] {
        conversion->recordDelivered();
        QString messages;
        for (const QString& notice : conversion->report().historyNotices) {
            if (!said.contains(notice))
                messages += QStringLiteral("%1: %2\n").arg(kProgram, notice);
        }
        return messages;
    };
}

} // namespace

ConvertEnvironment ConvertEnvironment::forRunningProgram() {
    ConvertEnvironment environment{
        settingsFileNameFor(QCoreApplication::applicationDirPath() + QStringLiteral("/Tallemo")),
        Regional::system(),
        [] { return std::make_unique<QtHttpTransport>(); },
        /*keepAreaText=*/false,
    };
    environment.kindFolders = rules::KindFolders::forProgram(
        environment.iniFileName, QCoreApplication::applicationDirPath());
    environment.historyFile =
        history::historyFileFor(environment.iniFileName, QCoreApplication::applicationDirPath());
    environment.categoriesFile = categories::categoriesFileFor(
        environment.iniFileName, QCoreApplication::applicationDirPath());
    environment.categoryRulesFile = categories::categoryRulesFileFor(environment.iniFileName);
    rules::LoadedKinds loaded = rules::loadKinds(environment.kindFolders);
    environment.kinds = std::move(loaded.registry);
    environment.kindProblems = std::move(loaded.problems);
    return environment;
}

QString settingsFileLine(const QString& iniFileName) {
    return QStringLiteral("\nSettings file used: %1.ini\n").arg(iniFileName);
}

QString convertHelpText(const KindRegistry& kinds, const rules::KindFolders& folders) {
    return QStringLiteral(
               "Usage: %1 KIND [FILE] [OPTIONS]\n"
               "\n"
               "Turns a bank or card statement into TAB-separated spreadsheet rows, exactly as\n"
               "the Tallemo window does when the statement is pasted and the kind's button is\n"
               "pressed.\n"
               "\n"
               "The statement is read from FILE, or from standard input when FILE is absent or\n"
               "\"-\". It must be UTF-8 (a byte-order mark is allowed); CR LF, LF and CR all end\n"
               "a line, and the text ends at its first NUL, as a pasted text would.\n"
               "\n"
               "The rows the window puts on the clipboard are written to standard output in\n"
               "UTF-8, each followed by CR LF. When the window would leave the clipboard as it\n"
               "was, nothing is written. When no entries are found, a notice says so on\n"
               "standard error, naming the kind the statement looks like.\n"
               "\n"
               "Kinds:\n"
               "%2"
               "\n"
               "Commands:\n"
               "%4"
               "\n"
               "Options:\n"
               "%3"
               "\n"
               "Kinds of your own are rules files, ID.toml (see tallemo-kinds(5)), in\n"
               "  %5\n"
               "which replace those of the same id that come with the program, in\n"
               "  %6\n"
               "\n"
               "Settings are read from the Tallemo window's settings file: Tallemo.ini in this\n"
               "program's folder when that file exists or the folder is writable (the installed\n"
               "programs' folder never gets a new one), otherwise\n"
               "$XDG_CONFIG_HOME/Tallemo/Tallemo.ini (normally ~/.config/Tallemo/Tallemo.ini).\n"
               "The history of copied rows that --new-only reads and writes is history.sqlite\n"
               "beside Tallemo.ini when that is in this program's folder, otherwise\n"
               "$XDG_DATA_HOME/Tallemo/history.sqlite (normally ~/.local/share/Tallemo/).\n"
               "\n"
               "Exit status:\n"
               "  0  done\n"
               "  1  the conversion failed: the message the window would show in its error box,\n"
               "     or the exchange-rate failure line, is written to standard error; also when\n"
               "     a file cannot be read or written or the input is not UTF-8\n"
               "  2  the arguments are wrong\n")
        .arg(kProgram, kindsHelp(kinds), optionsHelp(), commandsHelp(), folders.user,
             folders.shipped);
}

namespace {

// One subcommand of the companion: its name, its lines in the help, the options it takes, and
// what it does. The conversion is the subcommand a kind's id names.
class Subcommand {
public:
    Subcommand() = default;
    virtual ~Subcommand() = default;
    Subcommand(const Subcommand&) = delete;
    Subcommand& operator=(const Subcommand&) = delete;
    Subcommand(Subcommand&&) = delete;
    Subcommand& operator=(Subcommand&&) = delete;

    // The word that names it; empty for the conversion.
    virtual QString name() const = 0;
    // What the help's list of commands says of it (empty: nothing).
    virtual QString help() const { return {}; }
    // The options it takes besides --help.
    virtual QList<const QCommandLineOption*> options() const { return {}; }
    // How many arguments it takes after its name, at least and at most.
    virtual std::pair<qsizetype, qsizetype> argumentCount() const { return {0, 1}; }
    // What it says when it gets too few.
    virtual QString missingArgument() const { return {}; }
    virtual std::variant<ConvertOutcome, UsageError> run(const Call& call) const = 0;
};

// A statement read from a call's FILE argument (standard input when there is none or it is "-"),
// as the text area would hold it after a paste.
std::variant<LineModel, ConvertOutcome> statementOf(const Call& call, const QString& file) {
    LoadedText statement = loadStatement(file, call.standardInput);
    if (!statement.wasRead())
        return failure(1, statement.failure);
    return LineModel::fromPastedText(std::move(statement.text));
}

class ConversionCommand final : public Subcommand {
public:
    QString name() const override { return {}; }
    QList<const QCommandLineOption*> options() const override {
        return commandLine().conversionOnly();
    }
    std::variant<ConvertOutcome, UsageError> run(const Call& call) const override {
        const std::variant<ConversionOptions, UsageError> parsed =
            conversionOptions(call, call.arguments.front());
        if (const auto* usage = std::get_if<UsageError>(&parsed))
            return *usage;
        ConversionOptions options = std::get<ConversionOptions>(parsed);
        options.file = call.arguments.value(1);
        std::variant<LineModel, ConvertOutcome> statement = statementOf(call, options.file);
        if (auto* failed = std::get_if<ConvertOutcome>(&statement))
            return std::move(*failed);
        return convertStatement(options, std::get<LineModel>(statement), call.environment);
    }

private:
    static ConvertOutcome convertStatement(const ConversionOptions& options, LineModel& Lines,
                                           const ConvertEnvironment& environment);
};

class DetectCommand final : public Subcommand {
public:
    QString name() const override { return kDetect; }
    QString help() const override {
        return QStringLiteral("  %1 list the kinds the statement looks like, best first: each\n"
                              "             kind's id, a TAB and its number of entries\n")
            .arg(name().leftJustified(10));
    }
    std::variant<ConvertOutcome, UsageError> run(const Call& call) const override {
        std::variant<LineModel, ConvertOutcome> statement =
            statementOf(call, call.arguments.value(0));
        if (auto* failed = std::get_if<ConvertOutcome>(&statement))
            return std::move(*failed);
        QString found;
        for (const RankedKind& ranked : call.kinds.rank(std::get<LineModel>(statement)))
            found +=
                QStringLiteral("%1\t%2\n").arg(ranked.kind->id).arg(ranked.recognition.entries);
        ConvertOutcome outcome;
        outcome.standardOutput = found.toUtf8();
        return outcome;
    }
};

class KindsCommand final : public Subcommand {
public:
    QString name() const override { return kKinds; }
    QString help() const override {
        return QStringLiteral(
                   "  %1 list every kind: id, caption and where it comes from\n"
                   "             (built-in or its rules file), TAB-separated; the problems\n"
                   "             of broken rules files go to standard error (exit status 1)\n")
            .arg(name().leftJustified(10));
    }
    std::pair<qsizetype, qsizetype> argumentCount() const override { return {0, 0}; }
    std::variant<ConvertOutcome, UsageError> run(const Call& call) const override {
        return listKinds(call.kinds, call.environment.kindProblems);
    }
};

class CheckCommand final : public Subcommand {
public:
    QString name() const override { return kCheck; }
    QString help() const override {
        return QStringLiteral(
            "  check RULES.toml|KIND [FILE]\n"
            "             check a rules file, or take a kind by its id; with FILE,\n"
            "             write the rows it gives and say on standard error which\n"
            "             entries give none and why (--lines: each row after the\n"
            "             statement's lines its entry took, \"12-15\\t\")\n");
    }
    QList<const QCommandLineOption*> options() const override { return commandLine().checkOnly(); }
    std::pair<qsizetype, qsizetype> argumentCount() const override { return {1, 2}; }
    QString missingArgument() const override {
        return QStringLiteral("%1 needs a rules file or a kind's id").arg(kCheck);
    }
    std::variant<ConvertOutcome, UsageError> run(const Call& call) const override;
};

class LearnCommand final : public Subcommand {
public:
    QString name() const override { return kLearn; }
    QString help() const override {
        return QStringLiteral(
            "  learn EXAMPLE [FILE] [--example EXAMPLE --row CELLS]...\n"
            "             learn a kind from the lines of one entry (EXAMPLE, a file or\n"
            "             \"-\") and write its rules file; with FILE, the statement it\n"
            "             came from: say how many entries the kind finds there and\n"
            "             which lines begin like an entry but are none\n");
    }
    QList<const QCommandLineOption*> options() const override { return commandLine().learnOnly(); }
    std::pair<qsizetype, qsizetype> argumentCount() const override { return {1, 2}; }
    QString missingArgument() const override {
        return QStringLiteral("%1 needs a file with the example entry").arg(kLearn);
    }
    std::variant<ConvertOutcome, UsageError> run(const Call& call) const override {
        const std::variant<LearnOptions, UsageError> parsed = learnOptions(call);
        if (const auto* usage = std::get_if<UsageError>(&parsed))
            return *usage;
        return learnFromExample(std::get<LearnOptions>(parsed), call.standardInput, call.kinds,
                                call.environment);
    }
};

class HistoryCommand final : public Subcommand {
public:
    QString name() const override { return kHistory; }
    QString help() const override {
        return QStringLiteral("  %1 list the history of copied rows, one line per kind: id, the\n"
                              "             number of rows and the last copy's local time, "
                              "TAB-separated\n")
            .arg(name().leftJustified(10));
    }
    std::pair<qsizetype, qsizetype> argumentCount() const override { return {0, 0}; }
    std::variant<ConvertOutcome, UsageError> run(const Call& call) const override {
        return showHistory(call.environment);
    }
};

// `categories [learn [ROWS] | forget [DESCRIPTION]]` and `fill [ROWS]`.
class CategoriesCommand final : public Subcommand {
public:
    explicit CategoriesCommand(QString name) : m_name(std::move(name)) {}
    QString name() const override { return m_name; }
    QString help() const override {
        if (m_name == commandName(Command::Fill))
            return QStringLiteral(
                "  fill [ROWS]\n"
                "             spreadsheet rows in, the same rows out with their empty cells\n"
                "             3 and 4 filled where Tallemo is sure; the count on standard error\n");
        return QStringLiteral(
            "  categories [learn [ROWS] | forget [DESCRIPTION]]\n"
            "             list what was learned (description, the two cells, how often,\n"
            "             last seen), learn from spreadsheet rows that have their\n"
            "             categories, or forget one description (all when none is given)\n");
    }
    std::pair<qsizetype, qsizetype> argumentCount() const override {
        return {0, m_name == commandName(Command::Fill) ? 1 : 2};
    }
    std::variant<ConvertOutcome, UsageError> run(const Call& call) const override {
        return *runCategoriesCommand(QStringList{m_name} + call.arguments, call.standardInput,
                                     call.environment);
    }

private:
    QString m_name;
};

class HelpCommand final : public Subcommand {
public:
    QString name() const override { return kHelp; }
    std::pair<qsizetype, qsizetype> argumentCount() const override { return {0, 1}; }
    std::variant<ConvertOutcome, UsageError> run(const Call& call) const override {
        ConvertOutcome outcome;
        outcome.standardOutput = (convertHelpText(call.kinds, call.environment.kindFolders) +
                                  settingsFileLine(call.environment.iniFileName))
                                     .toUtf8();
        return outcome;
    }
};

// Every subcommand, in the order the help lists them; the conversion last.
const std::vector<std::unique_ptr<const Subcommand>>& subcommands() {
    static const std::vector<std::unique_ptr<const Subcommand>> all = [] {
        std::vector<std::unique_ptr<const Subcommand>> list;
        list.push_back(std::make_unique<DetectCommand>());
        list.push_back(std::make_unique<KindsCommand>());
        list.push_back(std::make_unique<CheckCommand>());
        list.push_back(std::make_unique<LearnCommand>());
        list.push_back(std::make_unique<HistoryCommand>());
        list.push_back(std::make_unique<CategoriesCommand>(commandName(Command::Categories)));
        list.push_back(std::make_unique<CategoriesCommand>(commandName(Command::Fill)));
        list.push_back(std::make_unique<HelpCommand>());
        list.push_back(std::make_unique<ConversionCommand>());
        return list;
    }();
    return all;
}

} // namespace

QStringList subcommandNames() {
    QStringList names;
    for (const auto& subcommand : subcommands()) {
        if (!subcommand->name().isEmpty())
            names << subcommand->name();
    }
    return names;
}

namespace {

QString commandsHelp() {
    QString text;
    for (const auto& subcommand : subcommands())
        text += subcommand->help();
    return text;
}

const Subcommand& subcommandNamed(QStringView word) {
    for (const auto& subcommand : subcommands()) {
        if (subcommand->name() == word)
            return *subcommand;
    }
    return *subcommands().back();
}

std::variant<ConvertOutcome, UsageError> CheckCommand::run(const Call& call) const {
    const QString named = call.arguments.front();
    const QString file = call.arguments.value(1);
    // A kind's id, unless a file of that name is there: rules files are checked under any name.
    const StatementKind* known = QFileInfo::exists(named) ? nullptr : call.kinds.find(named);
    std::optional<StatementKind> checkedFile;
    QString namingWarning;
    if (known == nullptr) {
        QStringList builtInIds;
        for (const StatementKind& kind : builtInKinds())
            builtInIds << kind.id;
        rules::RulesKindOrProblem read =
            rules::readRulesFile(named, builtInIds, rules::FileNaming::MayDiffer);
        if (const auto* problem = std::get_if<rules::RulesProblem>(&read))
            return failure(1, problem->toString() + u'\n');
        checkedFile = std::get<StatementKind>(std::move(read));
        // A file is checked before it is put into the folder, under any name; only the folder
        // wants it named after its id.
        if (QFileInfo(named).fileName() != checkedFile->id + QStringLiteral(".toml"))
            namingWarning =
                QStringLiteral("%1: %2: kinds フォルダに入れるときは %3.toml という名前にして"
                               "ください\n")
                    .arg(kProgram, named, checkedFile->id);
    }
    const StatementKind& checkedKind = known != nullptr ? *known : *checkedFile;
    if (file.isEmpty()) {
        ConvertOutcome outcome;
        outcome.standardOutput =
            QStringLiteral("%1\t%2\n").arg(checkedKind.id, checkedKind.caption).toUtf8();
        outcome.standardError = namingWarning;
        return outcome;
    }
    std::variant<LineModel, ConvertOutcome> statement = statementOf(call, file);
    if (auto* failed = std::get_if<ConvertOutcome>(&statement))
        return std::move(*failed);
    // The context a conversion would have: today's date, the remarks setting, the rate from the
    // exchange-rate service.
    const ConvertEnvironment& environment = call.environment;
    ConvertContext context;
    context.regional = environment.regional;
    context.remark = remarkWanted(checkedKind, environment.iniFileName, std::nullopt);
    context.yenPerDollar = [&environment](LineModel& lines) -> std::optional<double> {
        const std::unique_ptr<HttpTransport> transport =
            environment.makeTransport ? environment.makeTransport() : nullptr;
        if (!transport)
            return std::nullopt;
        return fetchYenPerDollar(environment.iniFileName, lines, *transport).yenPerDollar;
    };
    try {
        ConvertOutcome checked = checkKind(checkedKind, std::get<LineModel>(statement), context,
                                           call.parser.isSet(commandLine().lines));
        checked.standardError.prepend(namingWarning);
        return checked;
    } catch (const AppError& error) {
        return failure(1, namingWarning + errorBoxText(error.message()) + u'\n');
    }
}

ConvertOutcome ConversionCommand::convertStatement(const ConversionOptions& options,
                                                   LineModel& Lines,
                                                   const ConvertEnvironment& environment) {
    ConvertOutcome outcome;
    const StatementKind& kind = *options.kind;
    ConversionRequest request;
    request.kinds = environment.kinds ? environment.kinds : KindRegistry::builtIn();
    request.kind = &kind;
    request.regional = options.date
                           ? Regional::fixed(*options.date, environment.regional.decimalSeparator)
                           : environment.regional;
    request.remark = remarkWanted(kind, environment.iniFileName, options.remark);
    request.rate = [&](LineModel& lines) -> RateAnswer {
        if (options.rate)
            return {options.rate, {}};
        std::unique_ptr<HttpTransport> transport;
        if (environment.makeTransport)
            transport = environment.makeTransport();
        if (!transport)
            return {};
        const RateFetch fetch = fetchYenPerDollar(environment.iniFileName, lines, *transport);
        return {fetch.yenPerDollar, fetch.failureReason};
    };
    // The history is read and written only with --new-only; the rows are recorded once they are
    // out (afterOutput).
    std::shared_ptr<history::HistoryStore> store;
    if (options.newOnly) {
        request.copiedRows = CopiedRows::LeftOut;
        request.history = [&store, &environment] {
            store =
                std::make_shared<history::HistoryStore>(environment.historyFile, environment.clock);
            return store.get();
        };
    }
    QStringList fillNotices;
    const std::unique_ptr<categories::CategoryMatcher> matcher =
        categoriesFor(kind, fillWanted(options.fill, environment.iniFileName),
                      environment.categoriesFile, environment.categoryRulesFile, fillNotices);
    request.categories = matcher.get();
    // Without the text area only the rows are wanted, in UTF-8: they are written as they are made
    // where no later stage needs them whole.
    const bool areaWanted = environment.keepAreaText || options.areaFile;
    const RowsSink keepRows;
    if (!areaWanted)
        request.rowsSink = environment.writeRows ? &environment.writeRows : &keepRows;

    auto conversion = std::make_shared<Conversion>(std::move(request));
    try {
        conversion->run(Lines);
        const ConversionReport& report = conversion->report();
        outcome.standardOutput = conversion->rowsUtf8();
        // A script must hear of a statement that gave no rows (it would otherwise take an empty
        // output for a month without entries), of rows from a text that does not look like the
        // kind, and of entries left out.
        const QString notice = report.foundNothing()
                                   ? conversionMessage(report, /*forCommandLine=*/true)
                                   : rowsNotice(report, /*forCommandLine=*/true);
        if (!notice.isEmpty())
            outcome.standardError = QStringLiteral("%1: %2\n").arg(kProgram, notice);
        if (options.newOnly && store)
            leaveOutCopiedRows(outcome, conversion, store);
    } catch (const AppError& error) {
        outcome.standardError = errorBoxText(error.message()) + QLatin1Char('\n');
        outcome.exitCode = 1;
    }
    const std::optional<QString> rateFailure = conversion->report().rateFailure;
    // A script hears what the categories did to its rows, as the window's message says it.
    if (const QString filled = fillNote(conversion->report()); !filled.isEmpty())
        outcome.standardError +=
            QStringLiteral("%1: %2 (%3): %4\n").arg(kProgram, kind.caption, kind.id, filled);
    for (const QString& notice : fillNotices)
        outcome.standardError += QStringLiteral("%1: %2\n").arg(kProgram, notice);

    // Without a rate the window shows only the failure line in the text area and keeps the
    // clipboard; a script must not take that quiet end for a conversion without dividends.
    if (rateFailure) {
        outcome.standardError += kRateFailureLine + QLatin1Char('\n');
        if (!rateFailure->isEmpty())
            outcome.standardError += QStringLiteral("%1: %2\n").arg(kProgram, *rateFailure);
        outcome.exitCode = 1;
    }
    if (areaWanted)
        outcome.areaText = Lines.text().toUtf8();

    if (options.areaFile) {
        QSaveFile area(*options.areaFile);
        const bool written = area.open(QIODevice::WriteOnly) &&
                             area.write(outcome.areaText) == outcome.areaText.size() &&
                             area.commit();
        if (!written) {
            outcome.standardError += QStringLiteral("%1: cannot write %2: %3\n")
                                         .arg(kProgram, *options.areaFile, area.errorString());
            outcome.exitCode = 1;
        }
    }
    return outcome;
}

} // namespace

ConvertOutcome runConvertCommand(const QStringList& arguments, QIODevice& standardInput,
                                 const ConvertEnvironment& environment) {
    const KindRegistry& kinds = environment.kinds ? *environment.kinds : *KindRegistry::builtIn();
    const CommandLine& line = commandLine();
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    parser.addOptions(line.all());
    const auto usageFailure = [&](const QString& problem) {
        QString message = QStringLiteral("%1: %2\n").arg(kProgram, problem);
        // A kind that is missing because its rules file is broken: say what is wrong with it.
        for (const rules::RulesProblem& broken : environment.kindProblems) {
            if (!arguments.isEmpty() &&
                QFileInfo(broken.path).fileName() == arguments.front() + QStringLiteral(".toml"))
                message += broken.toString() + u'\n';
        }
        return failure(2, message + usageText());
    };
    // QCommandLineParser takes the first argument for the program's name.
    if (!parser.parse(QStringList{kProgram} + arguments))
        return usageFailure(parser.errorText());
    QStringList positional = parser.positionalArguments();
    const Subcommand& subcommand =
        parser.isSet(line.help) ? subcommandNamed(kHelp) : subcommandNamed(positional.value(0));
    if (positional.isEmpty() && subcommand.name() != kHelp)
        return usageFailure(QStringLiteral("no statement kind given"));
    // A subcommand's arguments follow its name; a conversion's follow the kind's id.
    if (!subcommand.name().isEmpty() && !positional.isEmpty())
        positional.removeFirst();
    if (subcommand.name() != kHelp) {
        auto [fewest, most] = subcommand.argumentCount();
        if (subcommand.name().isEmpty())
            ++most;
        if (positional.size() > most)
            return usageFailure(QStringLiteral("unexpected argument '%1'").arg(positional[most]));
        if (positional.size() < fewest)
            return usageFailure(subcommand.missingArgument());
        const QList<const QCommandLineOption*> own = subcommand.options();
        const QList<const QCommandLineOption*> learnOnly = line.learnOnly();
        for (const QCommandLineOption* option :
             line.conversionOnly() + learnOnly + line.checkOnly()) {
            if (!parser.isSet(*option) || own.contains(option))
                continue;
            if (learnOnly.contains(option))
                return usageFailure(
                    QStringLiteral("--%1 applies to %2 only").arg(option->names().front(), kLearn));
            return usageFailure(QStringLiteral("--%1 does not apply to %2")
                                    .arg(option->names().front(), subcommand.name()));
        }
    }
    std::variant<ConvertOutcome, UsageError> ran =
        subcommand.run(Call{parser, positional, standardInput, environment, kinds});
    if (const auto* usage = std::get_if<UsageError>(&ran))
        return usageFailure(usage->message);
    return std::get<ConvertOutcome>(std::move(ran));
}

int runConvertProgram(const QStringList& arguments) {
#ifdef _WIN32
    // The rows end in CR LF already; text mode would make that CR CR LF.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    bool outputFailed = false;
    const auto writeOut = [&outputFailed](QByteArrayView bytes) {
        if (!outputFailed && !bytes.isEmpty())
            outputFailed = std::fwrite(bytes.data(), 1, static_cast<std::size_t>(bytes.size()),
                                       stdout) != static_cast<std::size_t>(bytes.size());
    };
    ConvertOutcome outcome;
    try {
        // A closed standard input fails to open; reading it then fails with a message.
        QFile standardInput;
        (void)standardInput.open(stdin, QIODevice::ReadOnly | QIODevice::Unbuffered);
        ConvertEnvironment environment = ConvertEnvironment::forRunningProgram();
        environment.writeRows = writeOut;
        outcome = runConvertCommand(arguments.mid(1), standardInput, environment);
    } catch (const std::exception& error) {
        outcome = failure(1, QStringLiteral("%1: %2\n").arg(kProgram, error.what()));
    }

    writeOut(outcome.standardOutput);
    if (outputFailed || std::fflush(stdout) != 0) {
        outcome.standardError += QStringLiteral("%1: cannot write standard output\n").arg(kProgram);
        outcome.exitCode = 1;
    } else if (outcome.afterOutput) {
        // The rows count as copied only once they are out.
        outcome.standardError += outcome.afterOutput();
    }
    if (!outcome.standardError.isEmpty()) {
        std::fputs(outcome.standardError.toUtf8().constData(), stderr);
        std::fflush(stderr);
    }
    return outcome.exitCode;
}

} // namespace tallemo
