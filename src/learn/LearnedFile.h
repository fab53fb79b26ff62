#pragma once

#include "converters/StatementKinds.h"
#include "learn/Learner.h"
#include "rules/RulesKind.h"

#include <QString>

#include <variant>

// What the learners of line patterns and of comma-separated records share: the rules file's text,
// reading it back, and what the kind found in the statement.
namespace tallemo::learn::detail {

// A TOML string that reads back as text: a literal string where it can be one, so that patterns
// read as written.
QString tomlString(const QString& text);

// Literal text as a cell's template, its braces doubled.
QString cellTemplateText(const QString& literal);

// The learned file read as the kinds folder will read it, or why it cannot be.
std::variant<StatementKind, QString> loadLearned(const QString& id, const QString& text);

// What the kind found in the statement, for the user.
void recordScan(const rules::RulesScan& scan, const LineModel& statement, LearnedKind& learned);

} // namespace tallemo::learn::detail
