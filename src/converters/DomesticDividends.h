#pragma once

#include "converters/StatementKinds.h"

namespace tallemo {

// The domestic dividend converter ("国内配当"): one dividend row per "入金額" line, with the name
// of the last "銘柄名" line before it; the rows replace the whole text.
OutputList convertDomesticDividends(LineModel& Lines, const Regional& regional,
                                    const RowsSink* rowsSink = nullptr);
Recognition recogniseDomesticDividends(const LineModel& Lines);
QString domesticDividendsSampleEntry(int i);

} // namespace tallemo
