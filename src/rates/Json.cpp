#include "rates/Json.h"

#include "AppError.h"
#include "text/NumberText.h"

#include <rapidjson/reader.h>

#include <QByteArrayView>

#include <string_view>
#include <utility>

namespace tallemo {

const JsonValue* JsonValue::member(QStringView name) const {
    if (kind != Kind::Object)
        return nullptr;
    for (std::size_t k = 0; k < names.size(); ++k) {
        if (names[k] == name)
            return &items[k];
    }
    return nullptr;
}

namespace {

// Builds the tree from the reader's events. Containers being filled sit on a stack of our own, so
// building does not recurse; the depth limit keeps the recursion of writing and destroying the
// tree bounded.
class TreeBuilder : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, TreeBuilder> {
public:
    using SizeType = rapidjson::SizeType;

    bool Null() { return add(JsonValue{}); }
    bool Bool(bool b) { return add(scalar(b ? JsonValue::Kind::True : JsonValue::Kind::False)); }
    explicit TreeBuilder(std::vector<QString> numbers) : m_numbers(std::move(numbers)) {}

    // The reader sees each number as "0" (see parseJson); its literal comes back here, in order.
    bool RawNumber(const char* /*str*/, SizeType /*length*/, bool /*copy*/) {
        if (m_nextNumber >= m_numbers.size())
            return false;
        JsonValue value = scalar(JsonValue::Kind::Number);
        value.text = std::move(m_numbers[m_nextNumber++]);
        return add(std::move(value));
    }
    bool String(const char* str, SizeType length, bool /*copy*/) {
        return add(scalar(JsonValue::Kind::String, str, length));
    }
    bool StartObject() { return open(JsonValue::Kind::Object); }
    bool Key(const char* str, SizeType length, bool /*copy*/) {
        m_open.back().names.push_back(QString::fromUtf8(str, length));
        return true;
    }
    bool EndObject(SizeType /*memberCount*/) { return close(); }
    bool StartArray() { return open(JsonValue::Kind::Array); }
    bool EndArray(SizeType /*elementCount*/) { return close(); }

    std::optional<JsonValue> takeRoot() { return std::move(m_root); }

private:
    static JsonValue scalar(JsonValue::Kind kind, const char* str = nullptr, SizeType length = 0) {
        JsonValue value;
        value.kind = kind;
        if (str != nullptr)
            value.text = QString::fromUtf8(str, length);
        return value;
    }

    bool open(JsonValue::Kind kind) {
        if (m_open.size() >= static_cast<std::size_t>(kMaxJsonDepth))
            return false;
        m_open.push_back(scalar(kind));
        return true;
    }

    bool close() {
        JsonValue value = std::move(m_open.back());
        m_open.pop_back();
        return add(std::move(value));
    }

    bool add(JsonValue value) {
        if (m_open.empty())
            m_root = std::move(value);
        else
            m_open.back().items.push_back(std::move(value));
        return true;
    }

    std::vector<JsonValue> m_open;
    std::optional<JsonValue> m_root;
    std::vector<QString> m_numbers;
    std::size_t m_nextNumber = 0;
};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The length of the JSON number literal at the start of s (minus, integer part without leading
// zeros, fraction, exponent), or 0 when none starts there.
qsizetype numberLength(QByteArrayView s) {
    qsizetype p = 0;
    const auto digits = [&] {
        const qsizetype start = p;
        while (p < s.size() && isDigit(s[p]))
            ++p;
        return p - start;
    };
    if (p < s.size() && s[p] == '-')
        ++p;
    if (p < s.size() && s[p] == '0')
        ++p;
    else if (digits() == 0)
        return 0;
    if (p < s.size() && s[p] == '.') {
        ++p;
        if (digits() == 0)
            return 0;
    }
    if (p < s.size() && (s[p] == 'e' || s[p] == 'E')) {
        ++p;
        if (p < s.size() && (s[p] == '+' || s[p] == '-'))
            ++p;
        if (digits() == 0)
            return 0;
    }
    return p;
}

bool continuesNumber(char c) {
    return isDigit(c) || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

// The text with every number literal outside strings replaced by "0", and the literals in order.
// RapidJSON refuses a number too large for a double (1e400) even when asked for numbers as text,
// though it is valid JSON; the reader then only checks the syntax around the numbers, and the
// literals are kept as received. A run that is no complete literal is left for the reader to
// refuse, so the replacement never makes invalid text valid.
QByteArray withPlainNumbers(const QByteArray& utf8, std::vector<QString>& numbers) {
    QByteArray out;
    out.reserve(utf8.size());
    bool inString = false;
    for (qsizetype k = 0; k < utf8.size();) {
        const char c = utf8[k];
        if (inString) {
            out.append(c);
            if (c == '\\' && k + 1 < utf8.size()) {
                out.append(utf8[k + 1]);
                k += 2;
                continue;
            }
            inString = c != '"';
            ++k;
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '-' || isDigit(c)) {
            qsizetype run = k;
            while (run < utf8.size() && continuesNumber(utf8[run]))
                ++run;
            const QByteArrayView literal(utf8.constData() + k, run - k);
            if (numberLength(literal) == literal.size()) {
                numbers.push_back(QString::fromLatin1(literal));
                out.append('0');
            } else {
                out.append(literal);
            }
            k = run;
            continue;
        }
        out.append(c);
        ++k;
    }
    return out;
}

void appendString(QString& out, const QString& s) {
    static constexpr std::u16string_view hex = u"0123456789ABCDEF";
    out.append(u'"');
    for (const QChar c : s) {
        switch (c.unicode()) {
        case u'"':
            out.append(u"\\\"");
            break;
        case u'\\':
            out.append(u"\\\\");
            break;
        case u'\b':
            out.append(u"\\b");
            break;
        case u'\f':
            out.append(u"\\f");
            break;
        case u'\n':
            out.append(u"\\n");
            break;
        case u'\r':
            out.append(u"\\r");
            break;
        case u'\t':
            out.append(u"\\t");
            break;
        default:
            // Control characters, and the line and paragraph separators the text area would break
            // the line at.
            if (c.unicode() < 0x20 || c.unicode() == 0x2028 || c.unicode() == 0x2029) {
                const char16_t u = c.unicode();
                out.append(u"\\u");
                out.append(QChar(hex[(u >> 12) & 0xF]));
                out.append(QChar(hex[(u >> 8) & 0xF]));
                out.append(QChar(hex[(u >> 4) & 0xF]));
                out.append(QChar(hex[u & 0xF]));
            } else {
                out.append(c);
            }
        }
    }
    out.append(u'"');
}

void appendValue(QString& out, const JsonValue& value) {
    switch (value.kind) {
    case JsonValue::Kind::Null:
        out.append(u"null");
        break;
    case JsonValue::Kind::False:
        out.append(u"false");
        break;
    case JsonValue::Kind::True:
        out.append(u"true");
        break;
    case JsonValue::Kind::Number:
        out.append(value.text);
        break;
    case JsonValue::Kind::String:
        appendString(out, value.text);
        break;
    case JsonValue::Kind::Object:
        out.append(u'{');
        for (std::size_t k = 0; k < value.items.size(); ++k) {
            if (k > 0)
                out.append(u',');
            appendString(out, value.names[k]);
            out.append(u':');
            appendValue(out, value.items[k]);
        }
        out.append(u'}');
        break;
    case JsonValue::Kind::Array:
        out.append(u'[');
        for (std::size_t k = 0; k < value.items.size(); ++k) {
            if (k > 0)
                out.append(u',');
            appendValue(out, value.items[k]);
        }
        out.append(u']');
        break;
    }
}

QString kindName(JsonValue::Kind kind) {
    switch (kind) {
    case JsonValue::Kind::Object:
        return QStringLiteral("object");
    case JsonValue::Kind::Array:
        return QStringLiteral("array");
    default:
        return QStringLiteral("null");
    }
}

} // namespace

std::optional<JsonValue> parseJson(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    // The reader takes a NUL for the end of the text, which would let text after it pass unseen;
    // a raw NUL is valid nowhere in JSON.
    if (utf8.contains('\0'))
        return std::nullopt;
    constexpr unsigned flags = rapidjson::kParseIterativeFlag |
                               rapidjson::kParseNumbersAsStringsFlag |
                               rapidjson::kParseValidateEncodingFlag;
    std::vector<QString> numbers;
    const QByteArray plain = withPlainNumbers(utf8, numbers);
    rapidjson::StringStream stream(plain.constData());
    TreeBuilder builder(std::move(numbers));
    rapidjson::Reader reader;
    if (reader.Parse<flags>(stream, builder).IsError())
        return std::nullopt;
    return builder.takeRoot();
}

QString compactJson(const JsonValue& value) {
    QString out;
    appendValue(out, value);
    return out;
}

double memberAsFloat(const JsonValue& object, const QString& name) {
    const JsonValue* value = object.member(name);
    if (value == nullptr)
        throw AppError(QStringLiteral("値 '%1' が見つかりません").arg(name));
    switch (value->kind) {
    case JsonValue::Kind::Number:
    case JsonValue::Kind::String:
        return decimalTextToFloat(value->text, QStringLiteral("."));
    case JsonValue::Kind::True:
        return 1;
    case JsonValue::Kind::False:
        return 0;
    default:
        throw AppError(QStringLiteral("%1 から %2 への変換はサポートされていません")
                           .arg(kindName(value->kind), QStringLiteral("Double")));
    }
}

} // namespace tallemo
