#pragma once

#include "converters/StatementKinds.h"
#include "rules/KindFolders.h"
#include "text/OutputList.h"
#include "text/Regional.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QIODevice;

namespace tallemo {

class HttpTransport;

// What the companion takes from its surroundings, so that tests can run it in-process without
// the network, the clock, the machine's locale or the program's folder.
struct ConvertEnvironment {
    // The window program's settings path (its folder + "/Tallemo"); Tallemo.ini holds the remark
    // switches and the exchange-rate service's API key.
    QString iniFileName;
    // Today's date text (unless --date is given) and the decimal separator of dollar amounts.
    Regional regional;
    // The transport for the exchange-rate request of `foreign` without --rate.
    std::function<std::unique_ptr<HttpTransport>()> makeTransport;
    // Whether the outcome carries the text area's text also without --area. Tests look at it;
    // the program itself does not, and on a long statement it costs as much as the rows.
    bool keepAreaText = true;
    // Where the rows go while they are made, when nothing is asked of the text area and no error
    // can follow them (see StatementKind::canFailAfterRows); the program writes them to standard
    // output. Unset, or for the other kinds, they come back in ConvertOutcome::standardOutput.
    RowsSink writeRows = nullptr;
    // The statement kinds: the built-in ones when unset.
    std::shared_ptr<const KindRegistry> kinds = nullptr;
    // What was wrong with the rules files when the kinds were read, for `kinds`.
    std::vector<rules::RulesProblem> kindProblems = {};
    // Where the rules files are, for the help.
    rules::KindFolders kindFolders = {};
    // The history of copied rows that --new-only and `history` read (see historyFileFor), and
    // the time a copy is recorded with (the system's clock when unset).
    QString historyFile = {};
    std::function<QDateTime()> clock = nullptr;
    // The learned categories (see categoriesFileFor) and the user's categories.toml.
    QString categoriesFile = {};
    QString categoryRulesFile = {};

    // The real surroundings: the window program's settings file (see settingsFileNameFor), the
    // system's regional settings, Qt Network, the kinds of the rules files beside the settings
    // file and the program. Needs a QCoreApplication.
    static ConvertEnvironment forRunningProgram();
};

// One run of the companion: what it writes and how it ends.
struct ConvertOutcome {
    QByteArray standardOutput; // the text the command put on the clipboard, UTF-8
    QString standardError;     // empty, or the message(s) to show, each ending in a line break
    int exitCode = 0;          // 0 done, 1 failed, 2 usage error
    QByteArray areaText; // the text area afterwards, UTF-8 (empty when nothing ran, and without
                         // --area unless the environment keeps it)
    // What is left once standard output is written (--new-only: recording the rows in the
    // history); returns what to add to standard error. Empty when nothing is left.
    std::function<QString()> afterOutput = nullptr;
};

// Runs `tallemo-convert` with arguments (without the program name). The statement is read from
// the FILE argument, or from standardInput when there is none or it is "-". Writes the --area
// file itself; the caller writes standardOutput, then runs afterOutput, then writes
// standardError.
ConvertOutcome runConvertCommand(const QStringList& arguments, QIODevice& standardInput,
                                 const ConvertEnvironment& environment);

// The names of the subcommands, from the companion's list of them.
QStringList subcommandNames();

// The text --help prints, followed by settingsFileLine.
QString convertHelpText(const KindRegistry& kinds, const rules::KindFolders& folders);
// The line that ends --help: which settings file this run reads.
QString settingsFileLine(const QString& iniFileName);

// The whole program: reads standard input, writes standard output and standard error, and
// returns the exit status. Needs a QCoreApplication.
int runConvertProgram(const QStringList& arguments);

} // namespace tallemo
