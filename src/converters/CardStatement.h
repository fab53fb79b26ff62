#pragma once

#include "converters/StatementKinds.h"

namespace tallemo {

// The card usage statement converter ("楽天カード"): rewrites every entry's main line in place
// into a row, deletes its marker line and the two lines after it, and returns the rows that are
// still in the text, top to bottom. entryLines, when given, gets each row's main line and the
// lines after it up to the last one its marker took.
OutputList convertCardStatement(LineModel& Lines, const RowsSink* rowsSink = nullptr,
                                std::vector<EntryLines>* entryLines = nullptr);
Recognition recogniseCardStatement(const LineModel& Lines);
QString cardStatementSampleEntry(int i);

} // namespace tallemo
