#include "core/line_locator.h"

#include <string.h>

#include "core/text_matcher.h"

namespace {

// What is known of the bytes before the buffer's first one: how many line
// ends they hold, and the display text of the line they end in.
struct LineState {
    unsigned long long lineEnds;
    size_t length;
    char* text;
};

size_t CountLineEnds(const unsigned char* bytes, size_t count) {
    size_t ends = 0;
    for (size_t i = 0; i < count; ++i) ends += bytes[i] == '\n';
    return ends;
}

// A byte as the list shows it: control bytes, tabs and zeros as spaces; the
// blanks before a line's first visible character are left out.
void AppendShown(LineState& state, unsigned char byte) {
    if (byte < 0x20 || byte == 0x7F) byte = ' ';
    if (byte == ' ' && state.length == 0) return;
    if (state.length < kLineTextLimit) state.text[state.length++] = static_cast<char>(byte);
}

// Bytes that come before the hit: only the part after their last line end
// can belong to the hit's line.
void PassBytes(LineState& state, const unsigned char* bytes, size_t count) {
    size_t lineStart = count;
    while (lineStart > 0 && bytes[lineStart - 1] != '\n') --lineStart;
    if (lineStart > 0) {
        state.lineEnds += CountLineEnds(bytes, lineStart);
        state.length = 0;
    }
    for (size_t i = lineStart; i < count && state.length < kLineTextLimit; ++i) AppendShown(state, bytes[i]);
}

// The hit's line from the hit on; true once its end, or the text's limit, is reached.
bool FinishLine(LineState& state, const unsigned char* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (bytes[i] == '\n' || state.length == kLineTextLimit) return true;
        AppendShown(state, bytes[i]);
    }
    return state.length == kLineTextLimit;
}

void EndText(LineState& state) {
    while (state.length > 0 && state.text[state.length - 1] == ' ') --state.length;
    state.text[state.length] = '\0';
}

}  // namespace

// The same pieces as the search: a first one of kFirstReadPiece bytes, then
// kReadPiece, each after the last queryLength - 1 bytes of the one before,
// so that an occurrence across two pieces is found whole.
void LocateLine(ReadPieceFunction read, void* context, char* buffer, const char* query, bool caseInsensitive,
                LineLocation* out) {
    out->line = 0;
    out->text[0] = '\0';
    const size_t queryLength = strlen(query);
    if (queryLength == 0 || queryLength > kMaxQueryLength) return;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(buffer);
    LineState state = {0, 0, out->text};
    size_t kept = 0;
    size_t want = kFirstReadPiece;
    for (;;) {
        size_t got = 0;
        bool more = read(context, buffer + kept, want, &got) && got == want;
        const size_t have = kept + got;
        const size_t hit = FindText(buffer, have, query, caseInsensitive);
        if (hit < have) {
            PassBytes(state, bytes, hit);
            out->line = state.lineEnds + 1;
            bool complete = FinishLine(state, bytes + hit, have - hit);
            // The line goes on into the next pieces.
            while (!complete && more) {
                more = read(context, buffer, kReadPiece, &got) && got == kReadPiece;
                complete = FinishLine(state, bytes, got);
            }
            EndText(state);
            return;
        }
        if (!more) {
            out->text[0] = '\0';  // what was kept of a line that holds no hit
            return;
        }
        kept = have < queryLength - 1 ? have : queryLength - 1;
        PassBytes(state, bytes, have - kept);
        memmove(buffer, buffer + have - kept, kept);
        want = kReadPiece;
    }
}
