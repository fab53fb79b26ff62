#include "text/IntegerSyntax.h"
#include "support/QtText.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>

namespace tallemo {
namespace {

struct SyntaxCase {
    QString text;
    std::optional<int> value; // nothing when the text is rejected
};

TEST(TryStrToInt, AcceptsAndRejects) {
    const SyntaxCase cases[] = {
        // decimal, with blanks and signs
        {"2024", 2024},
        {"0001", 1},
        {" 999", 999},
        {"  42", 42},
        {"   7", 7},
        {"   0", 0},
        {"-123", -123},
        {"+123", 123},
        {" -12", -12},
        {"  -0", 0},
        {"007", 7},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"00000000000000000042", 42},
        {"2147483648", {}},
        {"-2147483649", {}},
        {"99999999999999999999", {}},
        {"123 ", {}},
        {"1 23", {}},
        {"    ", {}},
        {"", {}},
        {"+-12", {}},
        {"-+12", {}},
        {"- 12", {}},
        {"   -", {}},
        {"12.5", {}},
        {"1,00", {}},
        {"２０２４", {}},
        {"\t123", {}},
        {"\u3000123", {}},
        // hexadecimal
        {"$1F0", 0x1F0},
        {"x1f0", 0x1F0},
        {"X1F0", 0x1F0},
        {"0x1F", 0x1F},
        {"0X1f", 0x1F},
        {"-$FF", -255},
        {" $FF", 255},
        {" 0x1", 1},
        {"$40", 64},
        {"$7FFFFFFF", INT_MAX},
        {"$80000000", INT_MIN},
        {"$FFFFFFFF", -1},
        {"-$FFFFFFFF", 1},
        {"$000000001", 1},
        {"$100000000", {}},
        {"  0x", {}},
        {"   $", {}},
        {"00x1", {}},
        {"$FFG", {}},
        {"$-1F", {}},
        {"0x 1", {}},
        {"$ 1", {}},
    };
    for (const SyntaxCase& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        int value = 0;
        const bool accepted = TryStrToInt(c.text, value);
        EXPECT_EQ(accepted, c.value.has_value());
        if (accepted && c.value) {
            EXPECT_EQ(value, *c.value);
        }
    }
}

} // namespace
} // namespace tallemo
