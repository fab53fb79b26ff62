#pragma once

#include <functional>
#include <optional>

namespace tallemo {

class Clipboard;
class LineModel;
struct Regional;

// Yields yen per dollar, or nothing when the rate could not be had. It may add trace lines to
// the text (the exchange-rate client adds the service's answer or its failure line).
using YenPerDollarSource = std::function<std::optional<double>(LineModel& Lines)>;

// The US dividend converter ("国外配当"): fetches the rate, then adds one row per "入金額" line
// below the text, in yen with the rate used, and puts the rows on the clipboard. Without a rate
// nothing is added beyond the trace lines and the clipboard keeps its content.
void ConvertForeignDividends(LineModel& Lines, Clipboard& clipboard, const Regional& regional,
                             const YenPerDollarSource& GetYPD);

} // namespace tallemo
