#pragma once

#include "converters/StatementKinds.h"

namespace tallemo {

// The View card converter ("View"): one row per year line block; the rows replace the whole
// text. LSuica adds the remarks cell "Suica" (the caller reads the setting at every run).
// entryLines, when given, gets each row's year, date and amount lines.
OutputList convertViewCard(LineModel& Lines, bool LSuica, const RowsSink* rowsSink = nullptr,
                           std::vector<EntryLines>* entryLines = nullptr);
Recognition recogniseViewCard(const LineModel& Lines);
QString viewCardSampleEntry(int i);

} // namespace tallemo
