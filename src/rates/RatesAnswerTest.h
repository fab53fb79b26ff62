#pragma once

namespace tallemo {

class LineModel;
struct Regional;

// The hidden test command (`Button2Click`): reads a service answer from the whole text, adds the
// name of the rates object's first member and the general number text of JPY / USD as two lines.
// Throws AppError with the failing step's message; a failed run adds nothing. Besides the reading
// rules of memberAsFloat: "テキストが JSON オブジェクトではありません" (no JSON object),
// "オブジェクト 'rates' が見つかりません" (no rates object), "オブジェクト 'rates'
// にメンバーがありません" (an empty rates object).
void ratesAnswerTest(LineModel& Lines, const Regional& regional);

} // namespace tallemo
