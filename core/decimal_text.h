#pragma once
#include <stdint.h>

// Room for any signed 32-bit value: '-', ten digits and the terminator.
enum { kDecimalTextSize = 12 };

// Writes value in decimal, zero-terminated, into out (kDecimalTextSize bytes).
void FormatDecimal(int32_t value, char* out);

// Room for any unsigned 64-bit value: twenty digits and the terminator.
enum { kLongDecimalTextSize = 21 };

// Writes value in decimal, zero-terminated, into out (kLongDecimalTextSize bytes).
void FormatUnsignedDecimal(uint64_t value, char* out);
