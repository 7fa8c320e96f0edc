#pragma once
#include <stdint.h>

// Room for any signed 32-bit value: '-', ten digits and the terminator.
enum { kDecimalTextSize = 12 };

// Writes value in decimal, zero-terminated, into out (kDecimalTextSize bytes).
void FormatDecimal(int32_t value, char* out);
