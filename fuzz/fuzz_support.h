#pragma once
// Shared by the fuzz targets: reading an input as small header bytes and
// zero-separated texts, reference logic written apart from the product, and
// failure reports that show the bytes involved.

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

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
