#pragma once

#include "converters/StatementKinds.h"

namespace tallemo {

// The domestic dividend converter ("国内配当"): one dividend row per "入金額" line, with the name
// of the last "銘柄名" line before it; the rows replace the whole text. entryLines, when given,
// gets each row's lines from that "銘柄名" line (or its "入金額" line alone) to its "入金額" line.
OutputList convertDomesticDividends(LineModel& Lines, const Regional& regional,
                                    const RowsSink* rowsSink = nullptr,
                                    std::vector<EntryLines>* entryLines = nullptr);
Recognition recogniseDomesticDividends(const LineModel& Lines);
QString domesticDividendsSampleEntry(int i);

} // namespace tallemo
