#pragma once

#include "converters/StatementKinds.h"

namespace tallemo {

// The View card converter ("View"): one row per year line block; the rows replace the whole
// text. LSuica adds the remarks cell "Suica" (the caller reads the setting at every run).
OutputList convertViewCard(LineModel& Lines, bool LSuica, const RowsSink* rowsSink = nullptr);
Recognition recogniseViewCard(const LineModel& Lines);
QString viewCardSampleEntry(int i);

} // namespace tallemo
