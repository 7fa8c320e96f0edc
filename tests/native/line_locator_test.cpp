#include "core/line_locator.h"

#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <string>

namespace {

// A file in memory, read in the pieces asked for; a read error, if any, at failAt.
struct MemoryFile {
    std::string bytes;
    size_t at = 0;
    size_t failAt = std::string::npos;
};

bool ReadMemory(void* context, char* into, size_t want, size_t* got) {
    MemoryFile& file = *static_cast<MemoryFile*>(context);
    const size_t end = file.failAt < file.bytes.size() ? file.failAt : file.bytes.size();
    *got = file.at < end ? std::min(want, end - file.at) : 0;
    memcpy(into, file.bytes.data() + file.at, *got);
    file.at += *got;
    return file.at < file.failAt || *got == want;
}

struct Found {
    unsigned long long line;
    std::string text;
};

Found Locate(const std::string& bytes, const std::string& query, bool caseInsensitive = false,
             size_t failAt = std::string::npos) {
    static char buffer[kLocatorBufferSize];
    MemoryFile file{bytes, 0, failAt};
    LineLocation out;
    memset(&out, '#', sizeof out);
    LocateLine(ReadMemory, &file, buffer, query.c_str(), caseInsensitive, &out);
    return {out.line, out.text};
}

// Worked out apart from the product: the whole file at once.
Found Reference(const std::string& bytes, const std::string& query) {
    const size_t hit = bytes.find(query);
    if (query.empty() || hit == std::string::npos) return {0, ""};
    const size_t start = bytes.rfind('\n', hit) == std::string::npos ? 0 : bytes.rfind('\n', hit) + 1;
    const size_t end = bytes.find('\n', hit) == std::string::npos ? bytes.size() : bytes.find('\n', hit);
    std::string text;
    for (size_t i = start; i < end; ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        text += (c < 0x20 || c == 0x7F) ? ' ' : static_cast<char>(c);
    }
    text.erase(0, text.find_first_not_of(' ') == std::string::npos ? text.size() : text.find_first_not_of(' '));
    text.resize(std::min<size_t>(text.size(), kLineTextLimit));
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return {1 + static_cast<unsigned long long>(std::count(bytes.begin(), bytes.begin() + hit, '\n')), text};
}

TEST(LocateLine, KnownFiles) {
    const std::string longLine = std::string(50, ' ') + "needle" + std::string(300, 'x');
    const struct {
        const char* name;
        std::string bytes;
        const char* query;
        bool caseInsensitive;
        unsigned long long line;
        std::string text;
    } cases[] = {
        {"first byte, CR LF", "needle here\r\nmore\r\n", "needle", false, 1, "needle here"},
        {"LF only, tabs", "a\nb\n\t c\tneedle\td\t\nneedle\n", "needle", false, 3, "c needle d"},
        {"CR LF ends one line", "a\r\nb\r\n  needle  \r\n", "needle", false, 3, "needle"},
        {"no line end at all", "some words, then needle, then more", "needle", false, 1,
         "some words, then needle, then more"},
        {"last byte", "abc\nxyz!", "!", false, 2, "xyz!"},
        {"zero and control bytes", std::string("\0\x01 a\0b needle\x1b\x7f\r\n", 18), "needle", false, 1,
         "a b needle"},
        {"lone CR is no line end", "one\rtwo needle\n", "needle", false, 1, "one two needle"},
        {"bytes from 0x80 kept", "\xE4\xF6\xFC needle \xC9", "needle", false, 1, "\xE4\xF6\xFC needle \xC9"},
        {"cut to the limit after the blanks", longLine, "needle", false, 1, longLine.substr(50, 200)},
        {"case-insensitive", "x\nNEEDLE\n", "needle", true, 2, "NEEDLE"},
        {"inside a failed partial match", "a\naaab\n", "aab", false, 2, "aaab"},
        {"absent", "a\nb\nc\n", "needle", false, 0, ""},
        {"empty query", "needle", "", false, 0, ""},
        {"first of two", "x\nneedle one\nneedle two\n", "needle", false, 2, "needle one"},
    };
    for (const auto& c : cases) {
        const Found found = Locate(c.bytes, c.query, c.caseInsensitive);
        EXPECT_EQ(found.line, c.line) << c.name;
        EXPECT_EQ(found.text, c.text) << c.name;
    }
}

// Every way a hit and its line can lie across the read pieces: the hit
// across a boundary or beside it, its line begun pieces before and ended
// pieces after, or ended right at it.
TEST(LocateLine, HitsAndLinesAcrossEveryPieceBoundary) {
    const size_t boundaries[] = {kFirstReadPiece, kFirstReadPiece + kReadPiece};
    const size_t size = kFirstReadPiece + 2 * kReadPiece + 100;
    for (size_t length : {1, 2, 5, 40}) {
        std::string query;
        for (size_t k = 0; k < length; ++k) query += static_cast<char>('Q' + k % 3);
        for (size_t boundary : boundaries) {
            for (size_t start : {boundary - length - 1, boundary - length, boundary - length + 1,
                                 boundary - (length + 1) / 2, boundary - 1, boundary, boundary + 1}) {
                for (int layout = 0; layout < 4; ++layout) {
                    std::string bytes(size, 'a');
                    for (size_t i = 100; i < size; i += 97) bytes[i] = ' ';
                    for (size_t i = 500; i < size; i += 1000) bytes[i] = '\n';
                    // The hit's line: begun a piece before, or right at it; ended a piece after, or right after.
                    for (size_t i = start > 20000 ? start - 20000 : 0; i < start + 140000 && i < size; ++i)
                        if (bytes[i] == '\n') bytes[i] = '\t';
                    if (layout & 1) bytes[start - 1] = '\n';
                    if ((layout & 2) && start + length < size) bytes[start + length] = '\n';
                    bytes.replace(start, length, query);
                    const Found want = Reference(bytes, query);
                    ASSERT_NE(want.line, 0u);
                    const Found got = Locate(bytes, query);
                    ASSERT_EQ(got.line, want.line)
                        << "query length " << length << ", hit at " << start << ", layout " << layout;
                    ASSERT_EQ(got.text, want.text)
                        << "query length " << length << ", hit at " << start << ", layout " << layout;
                }
            }
        }
    }
}

TEST(LocateLine, AReadErrorEndsTheFileWhereItHappened) {
    const std::string bytes = std::string(kFirstReadPiece + 10, 'a') + "\nneedle and more\n";
    const size_t needle = kFirstReadPiece + 11;
    EXPECT_EQ(Locate(bytes, "needle", false, needle + 5).line, 0u);
    const Found found = Locate(bytes, "needle", false, needle + 7);
    EXPECT_EQ(found.line, 2u);
    EXPECT_EQ(found.text, "needle");  // its line ends where the reading did
}

}  // namespace
