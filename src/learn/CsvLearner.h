#pragma once

#include "learn/Learner.h"

#include <QString>
#include <QStringList>

#include <variant>
#include <vector>

// Learning from a line of a comma-separated file: the kind learned is a comma-separated kind
// (format = 'csv') that takes whole fields by their column, not a pattern of the line.
namespace tallemo::learn::detail {

// Whether the example is a record of a comma-separated file: one line without a TAB that the
// CSV reader splits into three fields or more, with no amount written with a grouping comma
// outside quotes ("SHOP 1,500円" is a mail's line), and, where the statement has more lines, at
// least one other line of as many fields.
bool isCsvExample(const QStringList& exampleLines, const QString& statement);

// A comma-separated kind that gives every example's row: each cell a column of the record, by
// the name the header above the example in the statement gives it, else by its number; where
// examples take a cell from different columns (a bank's 出金 and 入金), the first non-empty of
// them. With one example and no wanted row, the row is proposed from its fields. learned carries
// the id and caption. The reason in Japanese when the examples give no such kind.
std::variant<LearnedKind, QString> learnCsvKind(const std::vector<LearnExample>& examples,
                                                LearnedKind learned, const QString& statement);

} // namespace tallemo::learn::detail
