#pragma once

namespace tallemo {

class Clipboard;
class LineModel;

// The card usage statement converter ("楽天カード"): rewrites every entry's main line in place
// into a row, deletes its marker line and the two lines after it, and puts the rows that are
// still in the text, top to bottom, on the clipboard.
void ConvertCardStatement(LineModel& Lines, Clipboard& clipboard);

} // namespace tallemo
