#include "rates/RatesAnswerTest.h"

#include "AppError.h"
#include "rates/Json.h"
#include "text/LineModel.h"
#include "text/NumberText.h"
#include "text/Regional.h"

namespace tallemo {

void ratesAnswerTest(LineModel& Lines, const Regional& regional) {
    const std::optional<JsonValue> jValue = parseJson(Lines.text());
    if (!jValue || !jValue->isObject())
        throw AppError(QStringLiteral("テキストが JSON オブジェクトではありません"));
    const JsonValue* JSONObject = jValue->member(u"rates");
    if (JSONObject == nullptr || !JSONObject->isObject())
        throw AppError(QStringLiteral("オブジェクト 'rates' が見つかりません"));
    if (JSONObject->items.empty())
        throw AppError(QStringLiteral("オブジェクト 'rates' にメンバーがありません"));
    const QString firstName = JSONObject->names.front();
    const double LJPY = memberAsFloat(*JSONObject, QStringLiteral("JPY"));
    const double LUSD = memberAsFloat(*JSONObject, QStringLiteral("USD"));
    Lines.add(firstName);
    Lines.add(generalNumberText(LJPY / LUSD, regional.decimalSeparator));
}

} // namespace tallemo
