#include "core/ansi_lead_bytes.h"

#include <windows.h>

namespace {

struct Table {
    unsigned char lead[256];
};

Table Build() {
    Table table;
    for (int c = 0; c < 256; ++c) table.lead[c] = IsDBCSLeadByte(static_cast<BYTE>(c)) ? 1 : 0;
    return table;
}

}  // namespace

LeadByteTable AnsiLeadBytes() {
    static const Table table = Build();
    return table.lead;
}
