#pragma once
// Shared by the fuzz targets: reading an input as small header bytes and
// zero-separated texts, reference logic written apart from the product, and
// failure reports that show the bytes involved.

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

// Header bytes, then texts each ended by a zero byte (the last one may run to
// the end of the input). A zero separator keeps the seeds readable, and every
// text the product sees is zero-terminated anyway.
struct FuzzInput {
    const uint8_t* data;
    size_t size;

    FuzzInput(const uint8_t* d, size_t n) : data(d), size(n) {}

    bool Empty() const { return size == 0; }

    uint8_t Byte() {
        if (size == 0) return 0;
        --size;
        return *data++;
    }

    std::string Text() {
        size_t n = 0;
        while (n < size && data[n] != 0) ++n;
        std::string text(reinterpret_cast<const char*>(data), n);
        const size_t used = n < size ? n + 1 : n;
        data += used;
        size -= used;
        return text;
    }
};

inline bool RefIsSeparator(char c) { return c == '\\' || c == '/'; }

// Where a path's name begins: after its last separator, else after the colon
// of a bare drive ("C:name"), else at the start.
inline size_t RefDirectoryLength(const std::string& path) {
    const size_t last = path.find_last_of("\\/");
    if (last != std::string::npos) return last + 1;
    return (path.size() >= 2 && path[1] == ':') ? 2 : 0;
}

// The lead bytes of code page 932, where the second byte of a character may
// be 0x5C; each target checks its path logic under it as well.
inline const unsigned char* RefLeadBytes932() {
    static unsigned char table[256];
    for (int c = 0; c < 256; ++c) table[c] = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    return table;
}

// Where each character of s starts: a lead byte and the byte after it make
// one, except at the very end.
inline std::vector<size_t> RefCharacterStarts(const std::string& s, const unsigned char* leadBytes) {
    std::vector<size_t> starts;
    for (size_t i = 0; i < s.size();) {
        starts.push_back(i);
        i += leadBytes != nullptr && leadBytes[static_cast<unsigned char>(s[i])] && i + 1 < s.size() ? 2 : 1;
    }
    return starts;
}

// After the last character that is a separator byte, else as above.
inline size_t RefDirectoryLength(const std::string& path, const unsigned char* leadBytes) {
    const std::vector<size_t> starts = RefCharacterStarts(path, leadBytes);
    size_t length = 0;
    for (size_t k = 0; k < starts.size(); ++k) {
        const size_t end = k + 1 < starts.size() ? starts[k + 1] : path.size();
        if (end == starts[k] + 1 && RefIsSeparator(path[starts[k]])) length = end;
    }
    if (length == 0 && path.size() >= 2 && path[1] == ':') length = 2;
    return length;
}

inline std::string Printable(const std::string& s) {
    std::string out;
    char hex[5];
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else if (c == '\\') {
            out += "\\\\";
        } else {
            snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    return out;
}

// Reports a broken property and stops, so that libFuzzer keeps the input.
#define FUZZ_CHECK(condition, ...)                                         \
    do {                                                                   \
        if (!(condition)) {                                                \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
            fprintf(stderr, __VA_ARGS__);                                  \
            fprintf(stderr, "\n");                                         \
            abort();                                                       \
        }                                                                  \
    } while (0)
