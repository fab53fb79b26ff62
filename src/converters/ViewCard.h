#pragma once

namespace tallemo {

class Clipboard;
class LineModel;

// The View card converter ("View"): one row per year line block; the rows replace the whole
// text and go to the clipboard. LSuica adds the remarks cell "Suica" (the caller reads the
// setting at every run).
void ConvertViewCard(LineModel& Lines, Clipboard& clipboard, bool LSuica);

} // namespace tallemo
