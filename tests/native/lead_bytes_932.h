#pragma once
// The lead bytes of code page 932 (Shift JIS), as the system reports them:
// 0x81-0x9F and 0xE0-0xFC. '表' is 0x95 0x5C there, its second byte a backslash.

inline const unsigned char* LeadBytes932() {
    static unsigned char table[256];
    for (int c = 0; c < 256; ++c) table[c] = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    return table;
}
