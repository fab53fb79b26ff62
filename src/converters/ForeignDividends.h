#pragma once

#include "converters/StatementKinds.h"

namespace tallemo {

// The US dividend converter ("国外配当"): fetches the rate, then adds one row per "入金額" line
// below the text, in yen with the rate used. Without a rate nothing is added beyond the trace
// lines and nothing is returned: the clipboard keeps its content. entryLines, when given, gets
// each row's name line and the three lines down to its "入金額" line.
std::optional<OutputList> convertForeignDividends(LineModel& Lines, const Regional& regional,
                                                  const YenPerDollarSource& GetYPD,
                                                  const RowsSink* rowsSink = nullptr,
                                                  std::vector<EntryLines>* entryLines = nullptr);
// Counts the rows the converter makes once it has a rate.
Recognition recogniseForeignDividends(const LineModel& Lines);
QString foreignDividendsSampleEntry(int i);

} // namespace tallemo
