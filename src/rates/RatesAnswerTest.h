#pragma once

namespace tallemo {

class LineModel;
struct Regional;

// The hidden test command (`Button2Click`): reads a service answer from the whole text, adds the
// name of the rates object's first member and the general number text of JPY / USD as two lines.
// Throws AppError with the failing step's message: memberAsFloat's, or one for a text that is no
// JSON object, one without a rates object and one whose rates object is empty. A failed run adds
// nothing.
void ratesAnswerTest(LineModel& Lines, const Regional& regional);

} // namespace tallemo
