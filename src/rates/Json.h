#pragma once

// JSON of the exchange-rate service's answers: parsed with numbers kept as received.

#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

namespace tallemo {

// One JSON value. Numbers keep their literal text, so writing an answer back gives the digits the
// service sent (161.80 stays 161.80); objects keep their members in the order received, duplicate
// names included.
struct JsonValue {
    enum class Kind { Null, False, True, Number, String, Object, Array };

    Kind kind = Kind::Null;
    // A number's literal text or a string's content.
    QString text;
    // An object's members (names[k] belongs to items[k]) or an array's elements.
    std::vector<QString> names;
    std::vector<JsonValue> items;

    bool isObject() const { return kind == Kind::Object; }
    // The first member of that exact name, or nullptr (also when this is no object).
    const JsonValue* member(QStringView name) const;
};

// Nesting beyond this is refused as not JSON: the tree and its writer recurse once per level.
inline constexpr int kMaxJsonDepth = 512;

// One JSON value, optionally surrounded by whitespace; anything else (empty text, trailing text,
// nesting beyond kMaxJsonDepth) gives no value. A number too large for a double (1e400) is valid
// JSON and kept as its literal; reading it as a number fails later.
std::optional<JsonValue> parseJson(const QString& text);

// Compact text: no whitespace between tokens, members in order, numbers as received. Strings escape
// '"', '\', control characters and U+2028/U+2029, so the text is always one line of the text area.
QString compactJson(const JsonValue& value);

// The object's member `name` read as a 64-bit float: a number's literal text or a string's content
// by the decimal text rule with ".", true 1, false 0. Throws AppError for a string that is no
// number (decimalTextToFloat's message), for null, an object or an array (naming the kind that
// cannot become a Double) and for a missing member (naming it).
double memberAsFloat(const JsonValue& object, const QString& name);

} // namespace tallemo
