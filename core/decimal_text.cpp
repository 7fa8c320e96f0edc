#include "core/decimal_text.h"

void FormatDecimal(int32_t value, char* out) {
    // The magnitude is taken unsigned so that INT32_MIN has one.
    uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) *out++ = '-';
    while (count > 0) *out++ = digits[--count];
    *out = '\0';
}
