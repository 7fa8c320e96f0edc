#include "core/ansi_lead_bytes.h"
#include "ui/search_pattern.h"

void DeriveSearchPattern(const char* chosen, char* out, size_t outSize) {
    DeriveSearchPattern(chosen, out, outSize, AnsiLeadBytes());
}
