#include "rates/Json.h"

#include "text/AppError.h"
#include "text/NumberText.h"

#include <rapidjson/reader.h>

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
    bool RawNumber(const char* str, SizeType length, bool /*copy*/) {
        return add(scalar(JsonValue::Kind::Number, str, length));
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
};

void appendString(QString& out, const QString& s) {
    static const char16_t hex[] = u"0123456789ABCDEF";
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

std::optional<JsonValue> ParseJson(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    // The reader takes a NUL for the end of the text, which would let text after it pass unseen;
    // a raw NUL is valid nowhere in JSON.
    if (utf8.contains('\0'))
        return std::nullopt;
    constexpr unsigned flags = rapidjson::kParseIterativeFlag |
                               rapidjson::kParseNumbersAsStringsFlag |
                               rapidjson::kParseValidateEncodingFlag;
    rapidjson::StringStream stream(utf8.constData());
    TreeBuilder builder;
    rapidjson::Reader reader;
    if (reader.Parse<flags>(stream, builder).IsError())
        return std::nullopt;
    return builder.takeRoot();
}

QString CompactJson(const JsonValue& value) {
    QString out;
    appendValue(out, value);
    return out;
}

double MemberAsFloat(const JsonValue& object, const QString& name) {
    const JsonValue* value = object.member(name);
    if (value == nullptr)
        throw AppError(QStringLiteral("値 '%1' が見つかりません").arg(name));
    switch (value->kind) {
    case JsonValue::Kind::Number:
    case JsonValue::Kind::String:
        return DecimalTextToFloat(value->text, QStringLiteral("."));
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
