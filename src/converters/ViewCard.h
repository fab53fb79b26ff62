#pragma once

#include "converters/StatementKinds.h"

namespace tallemo {

// The View card converter ("View"): one row per year line block; the rows replace the whole
// text. LSuica adds the remarks cell "Suica" (the caller reads the setting at every run).
OutputList ConvertViewCard(LineModel& Lines, bool LSuica);
Recognition RecogniseViewCard(const LineModel& Lines);
QString ViewCardSampleEntry(int i);

} // namespace tallemo
