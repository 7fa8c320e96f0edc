#include "core/decimal_text.h"

#include <gtest/gtest.h>
#include <limits.h>
#include <string.h>

TEST(FormatDecimal, SignedThirtyTwoBitValues) {
    const struct {
        int32_t value;
        const char* text;
    } cases[] = {
        {0, "0"},           {1, "1"},          {-1, "-1"},           {9, "9"},
        {10, "10"},         {47, "47"},        {-305, "-305"},       {9999999, "9999999"},
        {10000000, "10000000"}, {INT_MAX, "2147483647"}, {INT_MIN, "-2147483648"},
    };
    for (const auto& c : cases) {
        char out[kDecimalTextSize];
        memset(out, '#', sizeof out);
        FormatDecimal(c.value, out);
        EXPECT_STREQ(out, c.text) << "value " << c.value;
    }
}

TEST(FormatUnsignedDecimal, SixtyFourBitValues) {
    const struct {
        uint64_t value;
        const char* text;
    } cases[] = {
        {0, "0"}, {7, "7"}, {10, "10"}, {4294967296ull, "4294967296"}, {UINT64_MAX, "18446744073709551615"},
    };
    for (const auto& c : cases) {
        char out[kLongDecimalTextSize];
        memset(out, '#', sizeof out);
        FormatUnsignedDecimal(c.value, out);
        EXPECT_STREQ(out, c.text) << "value " << c.value;
    }
}
