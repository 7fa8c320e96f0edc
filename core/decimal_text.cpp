#include "core/decimal_text.h"

void FormatDecimal(int32_t value, char* out) {
    // The magnitude is taken unsigned so that INT32_MIN has one.
    uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    if (value < 0) *out++ = '-';
    FormatUnsignedDecimal(magnitude, out);
}

void FormatUnsignedDecimal(uint64_t value, char* out) {
    char digits[20];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) *out++ = digits[--count];
    *out = '\0';
}
