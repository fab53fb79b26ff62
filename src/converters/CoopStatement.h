#pragma once

namespace tallemo {

class Clipboard;
class LineModel;

// The co-op statement converter ("生協", "生協解析"): rewrites every line that begins with "20"
// in place and puts exactly those lines on the clipboard. LHoken adds the remarks cell "保険"
// (the caller reads the setting at every run).
void ConvertCoopStatement(LineModel& Lines, Clipboard& clipboard, bool LHoken);

} // namespace tallemo
