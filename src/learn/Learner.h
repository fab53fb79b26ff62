#pragma once

#include "converters/StatementKinds.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>
#include <vector>

namespace tallemo {
class LineModel;
}

namespace tallemo::learn {

// What the user gives: one entry of a statement as pasted, the statement, and optionally the row
// the entry should give.
struct LearnRequest {
    QStringList exampleLines;
    QString statement;
    // The wanted row's cells; empty: the learner proposes a row in the card kind's layout.
    QStringList wantedCells;
    // Indexes of wanted cells that stay the typed text even where the same text stands in the
    // example.
    QSet<int> literalCells;
    QString caption;
    QString id; // empty: made from the caption
    // Ids that are taken (the kinds there are), for the id made from the caption.
    QStringList takenIds;
    // The built-in kinds' ids, which no id given may be.
    QStringList builtInIds;
};

// Where a field came from: a stretch of one example line.
struct LearnedField {
    int line = 0;  // 0-based, in the example
    int start = 0; // code units
    int length = 0;
    QString name; // the capture's name: date, amount, text (date2, …)
    QString cell; // the cell's template, e.g. {amount|yen}
};

struct LearnedKind {
    QString id;
    QString caption;
    QString fileText;  // the rules file
    QStringList cells; // the row the example gives (the wanted or the proposed one)
    std::vector<LearnedField> fields;
    // What else a cell could have come from, for the user: one sentence each.
    QStringList notes;

    // What the kind finds in the whole statement.
    int entries = 0;
    std::vector<QStringList> rows;
    // Entries that gave no row (their first line, 0-based), and the lines that match the
    // template's first line but begin no entry.
    std::vector<int> skippedEntries;
    std::vector<int> unmatchedStarts;
    // The same lines for the user, each with the part that failed.
    QStringList nearMisses;
    // What the user should know before saving: a wanted cell that became fixed text, a proposed
    // row without a date or an amount.
    QStringList warnings;
};

// Learns a rules kind from one example entry: a kind of line patterns, or a comma-separated kind
// when the example is a line of a comma-separated file. The reason in Japanese when nothing can be
// learned (an empty example, more than 20 lines, a wanted row none of whose cells stands in the
// example).
std::variant<LearnedKind, QString> learnKind(const LearnRequest& request);

// One example entry with the row it should give.
struct LearnExample {
    QStringList lines;
    QStringList wantedCells;
    // Indexes of wanted cells that stay the typed text.
    QSet<int> literalCells;
};

// Learns one rules kind that gives every example's row; the request's caption, id, taken and
// built-in ids and statement apply, its example lines and cells are the examples'. With several
// examples each must have its row; where TAB-table or comma-separated examples take a cell from
// different columns (a bank's 出金 and 入金), the cell is the first non-empty of those columns,
// each with its own filters. The reason in Japanese when no one kind gives every row.
std::variant<LearnedKind, QString> learnKindFromExamples(const std::vector<LearnExample>& examples,
                                                         const LearnRequest& request);

// The id made from a caption: its ASCII letters and digits in lower case, words joined by "-";
// "kind-N" when that gives no usable id or one that is taken.
QString idFromCaption(const QString& caption, const QStringList& takenIds);

// The caption proposed for a kind learned from an example: the line of the text above the example
// that names the issuer (a heading such as "JCBカードご利用のお知らせ", a card's name), else
// "例から作った書式 N" with the N of the first "kind-N" not taken, which is then its id too.
QString proposeCaption(const QString& statement, const QStringList& exampleLines,
                       const QStringList& takenIds);

// Whether the text holds what an example entry needs: a line with a date and a line with an
// amount, as the learner reads them (the same line or two). Stops at the first of each.
bool hasDatesAndAmounts(const LineModel& lines);

// The caption a learned kind gets when the user gives none.
inline const QString kDefaultLearnedCaption = QStringLiteral("新しい書式");

} // namespace tallemo::learn
