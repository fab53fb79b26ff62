#pragma once

namespace tallemo {

class Clipboard;
class LineModel;
struct Regional;

// The domestic dividend converter ("国内配当"): one dividend row per "入金額" line, with the name
// of the last "銘柄名" line before it; the rows replace the whole text and go to the clipboard.
void ConvertDomesticDividends(LineModel& Lines, Clipboard& clipboard, const Regional& regional);

} // namespace tallemo
