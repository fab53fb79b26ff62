#pragma once

#include "converters/StatementKinds.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tallemo::rules {

// A rules file's limits: larger files, longer templates and patterns that compile to more than
// this are refused, so that a broken or hostile file cannot slow the window down.
constexpr qsizetype kMaxFileSize = qsizetype{64} * 1024;
constexpr int kMaxEntryLines = 20;
constexpr int kMaxPatternMemory = 2 << 20;

// The ids no rules file may take: the companion's commands, which `tallemo-convert ID` would
// otherwise shadow. The built-in kinds' ids are taken too.
const QStringList& reservedIds();

// Something wrong with a rules file, where it is: line and column 1-based, 0 when the problem
// is the file as a whole.
struct RulesProblem {
    QString path;
    int line = 0;
    int column = 0;
    QString text; // a Japanese summary, then the library's detail where there is one

    // PATH:LINE:COLUMN: text
    QString toString() const;
};

// The file's text as toml++ may be given it, or the problem that keeps it from being given:
// toml++ 3.3 misreads many characters from U+0080 to U+FFFF outside strings, so they are moved to a
// private-use plane first. Every text the reader gives back goes through textFromTomlReader.
std::variant<std::string, RulesProblem> shieldedForTomlReader(const QString& path,
                                                              const QByteArray& contents);
QString textFromTomlReader(std::string_view text);

// A rules file read into a kind (its engine compiled), or what is wrong with it.
using RulesKindOrProblem = std::variant<StatementKind, RulesProblem>;

// Reads the rules file at path, whose contents are given. takenIds are the ids the kind may not
// take besides the reserved ones (the built-in kinds'). The file's name must be ID.toml.
RulesKindOrProblem readRulesKind(const QString& path, const QByteArray& contents,
                                 const QStringList& takenIds);
// The same, reading the file.
RulesKindOrProblem readRulesFile(const QString& path, const QStringList& takenIds);

// What one walk of a rules kind over a text found, for `check` and the learner.
struct RulesScan {
    struct Entry {
        int firstLine = 0; // 0-based
        int lastLine = 0;
        std::optional<SkipReason> skipped; // why it gave no row, if it did not
        QStringList cells;                 // the row's cells, when it gave one
    };
    std::vector<Entry> entries;
    // Lines that match the template's first line but begin no entry.
    std::vector<int> unmatchedStarts;
};

// Walks the text as the kind's converter does. kind must have been read from a rules file.
RulesScan scanWithRules(const StatementKind& kind, const LineModel& Lines);

} // namespace tallemo::rules
