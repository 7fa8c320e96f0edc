#include "core/line_locator.h"

#include <string.h>


namespace {

// Bytes of a line kept before the final cut: enough for the limit in any of
// the encodings.
const size_t kCollected = kLineTextRoom - 1;

// What is known of the bytes before the buffer's first one: how many line
// ends they hold, and the shown text of the line they end in. A character
// is one byte, or in a UTF-16 file one code unit of two.
struct LineState {
    unsigned long long lineEnds;
    size_t unit;
    LineLocation* out;
};

unsigned CharacterAt(const unsigned char* at, size_t unit) {
    return unit == 2 ? at[0] | static_cast<unsigned>(at[1]) << 8 : at[0];
}

size_t CountLineEnds(const unsigned char* bytes, size_t count, size_t unit) {
    size_t ends = 0;
    if (unit == 1) {
        for (size_t i = 0; i < count; ++i) ends += bytes[i] == '\n';
    } else {
        for (size_t i = 0; i + 1 < count; i += 2) ends += bytes[i] == '\n' && bytes[i + 1] == 0;
    }
    return ends;
}

// A character as the list shows it: control characters, tabs and zeros as
// spaces, and so is UTF-16's byte-order mark; the blanks before a line's
// first visible character are left out.
void AppendShown(LineState& state, const unsigned char* at) {
    LineLocation& out = *state.out;
    unsigned c = CharacterAt(at, state.unit);
    if (c < 0x20 || c == 0x7F || c == 0xFEFF) c = ' ';
    if ((c == ' ' && out.length == 0) || out.length + state.unit > kCollected) return;
    out.text[out.length++] = static_cast<char>(c & 0xFF);
    if (state.unit == 2) out.text[out.length++] = static_cast<char>(c >> 8);
}

bool Full(const LineState& state) { return state.out->length + state.unit > kCollected; }

// Bytes that come before the hit: only the part after their last line end
// can belong to the hit's line. count is a whole number of characters.
void PassBytes(LineState& state, const unsigned char* bytes, size_t count) {
    size_t lineStart = count;
    while (lineStart > 0 && CharacterAt(bytes + lineStart - state.unit, state.unit) != '\n') lineStart -= state.unit;
    if (lineStart > 0) {
        state.lineEnds += CountLineEnds(bytes, lineStart, state.unit);
        state.out->length = 0;
    }
    for (size_t i = lineStart; i + state.unit <= count && !Full(state); i += state.unit) AppendShown(state, bytes + i);
}

// The hit's line from the hit on; true once its end, or the room, is reached.
bool FinishLine(LineState& state, const unsigned char* bytes, size_t count) {
    for (size_t i = 0; i + state.unit <= count; i += state.unit) {
        if (CharacterAt(bytes + i, state.unit) == '\n' || Full(state)) return true;
        AppendShown(state, bytes + i);
    }
    return Full(state);
}

// Where kLineTextLimit characters end: bytes, UTF-8 characters by their
// first bytes, or UTF-16 code units.
size_t CutLength(const LineLocation& out) {
    const size_t limit = kLineTextLimit;
    if (out.encoding == kUtf16Line) return out.length < 2 * limit ? out.length : 2 * limit;
    if (out.encoding == kAnsiLine) return out.length < limit ? out.length : limit;
    size_t characters = 0;
    for (size_t i = 0; i < out.length; ++i)
        if ((out.text[i] & 0xC0) != 0x80 && characters++ == limit) return i;
    return out.length;
}

void EndText(LineLocation& out) {
    const size_t unit = out.encoding == kUtf16Line ? 2 : 1;
    size_t length = CutLength(out);
    while (length >= unit && out.text[length - unit] == ' ' && (unit == 1 || out.text[length - 1] == 0))
        length -= unit;
    out.length = length;
    out.text[length] = '\0';
    out.text[length + 1] = '\0';  // a whole zero code unit after UTF-16
}

}  // namespace

// The same pieces as the search, each after what the matcher kept of the
// one before, so that a match across two pieces is found whole; in a UTF-16
// file the kept bytes are even, so every piece begins on a whole character.
void LocateLine(ReadPieceFunction read, void* context, char* buffer, const QueryMatcher& matcher,
                LineLocation* out) {
    out->line = 0;
    out->encoding = kAnsiLine;
    out->length = 0;
    out->text[0] = '\0';
    if (matcher.spellings.ansiLength == 0 && !matcher.pattern) return;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(buffer);
    LineState state = {0, 1, out};
    size_t kept = 0;
    PieceScan scan;
    for (bool first = true;; first = false) {
        const size_t want = first ? kFirstReadPiece : kReadPiece;
        size_t got = 0;
        bool more = read(context, buffer + kept, want, &got) && got == want;
        const size_t have = kept + got;
        if (first) {
            BeginFileScan(matcher, buffer, have, scan);
            state.unit = scan.utf16 ? 2 : 1;
        }
        MatchEncoding how = kAnsiMatch;
        const size_t hit = FirstMatchInPiece(matcher, scan, buffer, have, !more, &kept, &how);
        if (hit < have) {
            // A UTF-16 file's line is shown in its characters, whichever spelling found it.
            out->encoding = scan.utf16 ? kUtf16Line : how == kUtf8Match ? kUtf8Line : kAnsiLine;
            const size_t lineFrom = hit - hit % state.unit;
            PassBytes(state, bytes, lineFrom);
            out->line = state.lineEnds + 1;
            bool complete = FinishLine(state, bytes + lineFrom, have - lineFrom);
            // The line goes on into the next pieces.
            while (!complete && more) {
                more = read(context, buffer, kReadPiece, &got) && got == kReadPiece;
                complete = FinishLine(state, bytes, got);
            }
            EndText(*out);
            return;
        }
        if (!more) {
            out->length = 0;  // what was kept of a line that holds no hit
            out->text[0] = '\0';
            return;
        }
        PassBytes(state, bytes, have - kept);
        memmove(buffer, buffer + have - kept, kept);
    }
}
