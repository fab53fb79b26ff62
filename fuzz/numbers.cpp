// The decimal number text and the integer syntax against small reference readings written from
// their rules, plus the general number text read back within its 15 digits.

#include "AppError.h"
#include "text/IntegerSyntax.h"
#include "text/NumberText.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QString>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

using namespace tallemo;

void check(bool ok, const char* what, const QString& text) {
    if (!ok) {
        std::fprintf(stderr, "%s: '%s'\n", what, text.toUtf8().constData());
        std::abort();
    }
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The text as ASCII, or nothing when it holds any other character (which neither rule accepts).
std::optional<std::string> ascii(const QString& text) {
    std::string out;
    for (const QChar c : text) {
        if (c.unicode() == 0 || c.unicode() > 0x7F)
            return std::nullopt;
        out.push_back(static_cast<char>(c.unicode()));
    }
    return out;
}

// Integer syntax: blanks, a sign, then "$", "x", "X", "0x" or "0X" and at most eight significant
// hexadecimal digits, or decimal digits within 32 bits; nothing after.
std::optional<int> referenceInteger(const QString& text) {
    const std::optional<std::string> s = ascii(text);
    if (!s)
        return std::nullopt;
    std::size_t p = s->find_first_not_of(' ');
    if (p == std::string::npos)
        return std::nullopt;
    bool negative = false;
    if ((*s)[p] == '+' || (*s)[p] == '-')
        negative = (*s)[p++] == '-';
    std::string rest = s->substr(p);
    bool hex = false;
    for (const char* prefix : {"0x", "0X", "$", "x", "X"}) {
        if (rest.rfind(prefix, 0) == 0) {
            hex = true;
            rest.erase(0, std::string(prefix).size());
            break;
        }
    }
    const char* digits = hex ? "0123456789abcdefABCDEF" : "0123456789";
    if (rest.empty() || rest.find_first_not_of(digits) != std::string::npos)
        return std::nullopt;
    const std::size_t lead = rest.find_first_not_of('0');
    const std::string significant = lead == std::string::npos ? "" : rest.substr(lead);
    if (hex) {
        if (significant.size() > 8)
            return std::nullopt;
        std::uint32_t pattern = significant.empty() ? 0 : std::stoul(significant, nullptr, 16);
        if (negative)
            pattern = ~pattern + 1;
        return static_cast<std::int32_t>(pattern);
    }
    if (significant.size() > 10)
        return std::nullopt;
    const long long magnitude = significant.empty() ? 0 : std::stoll(significant);
    const long long value = negative ? -magnitude : magnitude;
    if (value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return static_cast<int>(value);
}

// Decimal text rule with the separator sep: blanks, a sign, digits with at most one separator (not
// alone), an exponent with digits, blanks, nothing else. The value by strtod, which reads "." in
// the C locale this harness runs in; nothing for a value too large for a double.
std::optional<double> referenceDecimal(const QString& text, char sep, bool& syntaxOk) {
    syntaxOk = false;
    const std::optional<std::string> s = ascii(text);
    if (!s)
        return std::nullopt;
    std::size_t p = 0;
    const std::size_t n = s->size();
    while (p < n && (*s)[p] == ' ')
        ++p;
    std::string plain;
    if (p < n && ((*s)[p] == '+' || (*s)[p] == '-'))
        plain.push_back((*s)[p++]);
    std::size_t digits = 0;
    while (p < n && isDigit((*s)[p]))
        plain.push_back((*s)[p++]), ++digits;
    if (p < n && (*s)[p] == sep) {
        plain.push_back('.');
        ++p;
        while (p < n && isDigit((*s)[p]))
            plain.push_back((*s)[p++]), ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    if (p < n && ((*s)[p] == 'e' || (*s)[p] == 'E')) {
        plain.push_back('e');
        ++p;
        if (p < n && ((*s)[p] == '+' || (*s)[p] == '-'))
            plain.push_back((*s)[p++]);
        std::size_t expDigits = 0;
        while (p < n && isDigit((*s)[p]))
            plain.push_back((*s)[p++]), ++expDigits;
        if (expDigits == 0)
            return std::nullopt;
    }
    while (p < n && (*s)[p] == ' ')
        ++p;
    if (p != n)
        return std::nullopt;
    syntaxOk = true;
    errno = 0;
    const double value = std::strtod(plain.c_str(), nullptr);
    if (std::isinf(value))
        return std::nullopt;
    return value;
}

QString fuzzText(FuzzedDataProvider& data) {
    const std::string bytes = data.ConsumeRandomLengthString(48);
    // Mostly the characters the rules are about; now and then any code unit.
    QString text;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        text += u >= 0xF0 ? QChar(0x3000 + (u & 0x0F)) : QChar(u & 0x7F);
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const char separator = data.ConsumeBool() ? '.' : ',';
    const QString text = fuzzText(data);

    int value = 0;
    const bool parsed = TryStrToInt(text, value);
    const std::optional<int> expected = referenceInteger(text);
    check(parsed == expected.has_value(), "integer syntax accepts differently", text);
    check(!parsed || value == *expected, "integer syntax reads another value", text);

    bool syntaxOk = false;
    const std::optional<double> reference = referenceDecimal(text, separator, syntaxOk);
    std::optional<double> actual;
    try {
        actual = decimalTextToFloat(text, QString(QChar(separator)));
    } catch (const AppError&) {
    }
    check(actual.has_value() == reference.has_value(), "decimal text accepts differently", text);
    if (actual) {
        check(*actual == *reference && std::signbit(*actual) == std::signbit(*reference),
              "decimal text reads another value", text);
        // The general number text of a value reads back within its 15 significant digits.
        const QString general = generalNumberText(*actual, QString(QChar(separator)));
        const double back = decimalTextToFloat(general, QString(QChar(separator)));
        check(std::fabs(back - *actual) <= std::fabs(*actual) * 1e-14,
              "general number text reads back", general);
    }
    return 0;
}
