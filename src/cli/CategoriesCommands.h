#pragma once

#include "cli/ConvertCommand.h"

#include <QStringList>

#include <optional>

class QIODevice;

namespace tallemo {

// `tallemo-convert categories [learn [ROWS] | forget [DESCRIPTION]]` and `tallemo-convert fill
// [ROWS]`; nothing when the arguments are no such command.
std::optional<ConvertOutcome> runCategoriesCommand(const QStringList& arguments,
                                                   QIODevice& standardInput,
                                                   const ConvertEnvironment& environment);

// `categories learn`: learns the spreadsheet rows of the file (standard input when empty or "-");
// the counts on standard error; fails only when no line was a row with cells.
ConvertOutcome learnCategories(const QString& file, QIODevice& standardInput,
                               const ConvertEnvironment& environment);
// `categories`: DESCRIPTION TAB CELL3 TAB CELL4 TAB TIMES TAB LAST (yyyy-MM-dd), one line each.
ConvertOutcome listCategories(const ConvertEnvironment& environment);
// `categories forget`: the description's learned rows, or all of them when it is not given.
ConvertOutcome forgetCategories(const std::optional<QString>& description,
                                const ConvertEnvironment& environment);
// `fill`: the rows with their empty cells 3 and 4 filled where Tallemo is sure.
ConvertOutcome fillCategories(const QString& file, QIODevice& standardInput,
                              const ConvertEnvironment& environment);

// Whether a conversion fills: --fill or --no-fill when given, else the window's setting.
bool fillWanted(const std::optional<bool>& option, const QString& iniFileName);

} // namespace tallemo
