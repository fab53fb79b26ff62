#pragma once

#include "converters/StatementKinds.h"

namespace tallemo {

// The co-op statement converter ("生協", "生協解析"): rewrites every line that begins with "20"
// in place and returns exactly those lines. LHoken adds the remarks cell "保険" (the caller reads
// the setting at every run).
OutputList convertCoopStatement(LineModel& Lines, bool LHoken, const RowsSink* rowsSink = nullptr);
Recognition recogniseCoopStatement(const LineModel& Lines);
QString coopStatementSampleEntry(int i);

} // namespace tallemo
