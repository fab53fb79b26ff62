#pragma once

#include "converters/StatementKinds.h"
#include "rules/RulesKind.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <variant>

namespace tallemo::rules {

// Something wrong with the parts of a comma-separated kind: in its header pattern, or in the row
// cell of the given index.
struct CsvRulesProblem {
    int cell = -1; // -1: the header pattern
    QString text;
};

// The engine of a rules file that describes comma-separated lines (format = 'csv'): the header
// line is the first that matches headerPattern (none when it is empty), and the row's cells are
// templates whose fields are column numbers from 1 ("{3|yen}") or, below a header, the header's
// column names ("{利用金額|yen}").
// columns: the number of fields an entry's record has (0: any number that holds the columns the
// cells name), for a file without a header whose other lines have other counts. remarkCell:
// added as the last cell when the kind's setting is on (empty: none). layout gets what the row's
// cells are.
std::variant<std::shared_ptr<const StatementEngine>, CsvRulesProblem>
makeCsvEngine(const QString& headerPattern, const QStringList& cellTemplates, int columns,
              const QString& remarkCell, RowLayout& layout);

} // namespace tallemo::rules
