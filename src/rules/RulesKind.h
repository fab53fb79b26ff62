#pragma once

#include "converters/StatementKinds.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
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

// Why a kind may not take id, in the words every refusal uses, or nothing when it may. takenIds
// are the built-in kinds' ids.
std::optional<QString> idProblem(const QString& id, const QStringList& takenIds);

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

// Whether a rules file must be named after its id: in the kinds folders it must, but a file may
// be checked anywhere under any name before it is put there.
enum class FileNaming { MustBeId, MayDiffer };

// Reads the rules file at path, whose contents are given. takenIds are the ids the kind may not
// take besides the reserved ones (the built-in kinds').
RulesKindOrProblem readRulesKind(const QString& path, const QByteArray& contents,
                                 const QStringList& takenIds,
                                 FileNaming naming = FileNaming::MustBeId);
// The same, reading the file.
RulesKindOrProblem readRulesFile(const QString& path, const QStringList& takenIds,
                                 FileNaming naming = FileNaming::MustBeId);

// What one walk of a rules kind over a text found, for `check` and the learner.
struct RulesScan {
    struct Entry {
        int firstLine = 0; // 0-based
        int lastLine = 0;
        std::optional<SkipReason> skipped; // why it gave no row, if it did not
        QStringList cells;                 // the row's cells, when it gave one
    };
    std::vector<Entry> entries;
    // Lines that look like an entry's beginning but begin none: lines that match the template's
    // first line, or the file's looks-like pattern where it has one.
    struct NearMiss {
        int line = 0;         // 0-based, where the entry would have begun
        int failedLine = 0;   // the line that did not match, the text's line count at its end
        int templateLine = 0; // 0-based, the template line that found no match there
    };
    std::vector<NearMiss> nearMisses;
    // Patterns RE2 cannot match fast, with why and what would help: hints, not faults.
    QStringList hints;
};

// What a near miss is, for the user, with the part that failed: "22 行目「…」は明細の始まりに
// 見えましたが、23 行目「…」が書式の 2 行目のパターンに合いません". Lines: the scanned text.
QString nearMissText(const RulesScan::NearMiss& nearMiss, const LineModel& Lines);

// Walks the text as the kind's converter does. kind must have been read from a rules file.
RulesScan scanWithRules(const StatementKind& kind, const LineModel& Lines);

} // namespace tallemo::rules
