#include "core/line_locator.h"

#include <string.h>

namespace {

// A match, and the form of the query that found it.
struct Hit {
    size_t begin, end;
    MatchEncoding encoding;
};

// --- Characters -------------------------------------------------------------

// A character is one byte, or in a UTF-16 file one code unit of two.
unsigned CharacterAt(const unsigned char* at, size_t unit) {
    return unit == 2 ? at[0] | static_cast<unsigned>(at[1]) << 8 : at[0];
}

// As the lists show it: control characters, tabs and zeros as spaces, and so
// is UTF-16's byte-order mark.
unsigned Shown(unsigned c) { return c < 0x20 || c == 0x7F || c == 0xFEFF ? ' ' : c; }

bool IsLineEnd(const unsigned char* at, size_t unit) { return CharacterAt(at, unit) == '\n'; }

// Where the first line end at or after from lies in t[from, to); to when none does.
size_t LineEndAfter(const unsigned char* t, size_t from, size_t to, size_t unit) {
    if (unit == 1) {
        const void* lf = memchr(t + from, '\n', to - from);
        return lf != nullptr ? static_cast<size_t>(static_cast<const unsigned char*>(lf) - t) : to;
    }
    for (size_t i = from; i + 1 < to; i += 2)
        if (IsLineEnd(t + i, 2)) return i;
    return to;
}

size_t LineStartBefore(const unsigned char* t, size_t from, size_t at, size_t unit) {
    at -= (at - from) % unit;
    while (at > from && !IsLineEnd(t + at - unit, unit)) at -= unit;
    return at;
}

// After the last line end in t[from, to); from when there is none.
size_t WholeLinesEnd(const unsigned char* t, size_t from, size_t to, size_t unit) {
    size_t at = to - (to - from) % unit;
    while (at > from && !IsLineEnd(t + at - unit, unit)) at -= unit;
    return at;
}

unsigned long long CountLineEnds(const unsigned char* t, size_t from, size_t to, size_t unit) {
    unsigned long long ends = 0;
    if (unit == 1) {
        for (const unsigned char* at = t + from; (at = static_cast<const unsigned char*>(
                                                      memchr(at, '\n', static_cast<size_t>(t + to - at)))) != nullptr;
             ++at)
            ++ends;
    } else {
        for (size_t i = from; i + 1 < to; i += 2) ends += IsLineEnd(t + i, 2);
    }
    return ends;
}

bool HasVisible(const unsigned char* t, size_t from, size_t to, size_t unit) {
    for (size_t i = from; i + unit <= to; i += unit)
        if (Shown(CharacterAt(t + i, unit)) != ' ') return true;
    return false;
}

bool IsUtf8Lead(unsigned char c) { return (c & 0xC0) != 0x80; }

// Where `count` characters from at end, short of end: bytes, UTF-16 code
// units, or UTF-8 characters by their first bytes.
size_t Forward(const unsigned char* t, size_t at, size_t end, size_t count, LineEncoding encoding) {
    if (encoding != kUtf8Line) {
        const size_t unit = encoding == kUtf16Line ? 2 : 1;
        return end - at > count * unit ? at + count * unit : end;
    }
    size_t characters = 0;
    for (size_t i = at; i < end; ++i)
        if (IsUtf8Lead(t[i]) && characters++ == count) return i;
    return end;
}

// Where the character `count` before at begins, not before floor.
size_t Back(const unsigned char* t, size_t at, size_t floor, size_t count, LineEncoding encoding) {
    if (encoding != kUtf8Line) {
        const size_t unit = encoding == kUtf16Line ? 2 : 1;
        return at - floor > count * unit ? at - count * unit : floor;
    }
    size_t characters = 0;
    while (at > floor && characters < count)
        if (IsUtf8Lead(t[--at])) ++characters;
    return at;
}

// --- The listing ------------------------------------------------------------

// A line, or the part of a long one that the buffer holds: bytes
// [start, end) of the buffer, without its line end. The bytes before from
// were looked at already, or lie before the line; only matches beginning
// before acceptTo are taken, the others lie whole in the next window.
struct Window {
    size_t start, end, from, acceptTo;
    bool cut;            // the line began before the buffer
    bool goesOn;         // and goes on after it
    bool visibleBefore;  // its first visible character lies before the buffer
};

struct Lister {
    ReadPieceFunction read;
    void* context;
    unsigned char* buffer;
    const QueryMatcher& matcher;
    size_t keep;
    bool countAll;
    const std::atomic<bool>* stop;
    LineListing& out;

    size_t unit = 1;
    bool utf16 = false;
    PieceScan file = {};  // what the first piece told of the file
    unsigned long long offset = 0;  // of buffer[0] in the file
    unsigned long long line = 1;    // of the first byte not yet passed
    // A line longer than kLineKept that goes on past the buffer.
    bool longLine = false;
    bool listed = false;         // it is listed already
    bool visibleBefore = false;  // a visible character of it has left the buffer

    bool Done() const { return !countAll && out.count >= keep; }

    bool NextHit(const Window& w, size_t from, Hit* hit) const {
        const LinePart part = {reinterpret_cast<const char*>(buffer) + w.start, w.end - w.start, offset + w.start,
                               utf16, w.cut, w.goesOn};
        MatchSpan span;
        if (from > w.end || !MatchInLine(matcher, part, from - w.start, &span, &hit->encoding)) return false;
        hit->begin = w.start + span.begin;
        hit->end = w.start + span.end;
        return true;
    }

    // The shown characters of bytes [from, to), blanks at the end dropped.
    void AppendText(size_t from, size_t to, ListedLine& listed) {
        for (size_t i = from; i + unit <= to; i += unit) {
            const unsigned c = Shown(CharacterAt(buffer + i, unit));
            out.text.push_back(static_cast<char>(c & 0xFF));
            if (unit == 2) out.text.push_back(static_cast<char>(c >> 8));
        }
        size_t length = out.text.size() - listed.text;
        while (length >= unit && out.text[listed.text + length - unit] == ' ' &&
               (unit == 1 || out.text[listed.text + length - 1] == 0))
            length -= unit;
        out.text.resize(listed.text + length);
        listed.length = length;
    }

    // Every match that reaches into the shown bytes [from, to), from the
    // first one on; in a UTF-16 line, on whole characters.
    void AppendMarks(const Window& w, Hit match, size_t from, size_t to, ListedLine& listed) {
        const size_t shownEnd = from + listed.length;
        for (;;) {
            size_t begin = match.begin > from ? match.begin : from;
            size_t end = match.end < shownEnd ? match.end : shownEnd;
            begin -= (begin - from) % unit;
            if (end > begin) end += (end - begin) % unit;
            if (end > shownEnd) end = shownEnd;
            if (begin < end)
                out.marks.push_back({static_cast<uint32_t>(begin - from), static_cast<uint32_t>(end - from)});
            const size_t next = match.end > match.begin ? match.end : match.begin + unit;
            if (next >= to || !NextHit(w, next, &match) || match.begin >= to) break;
        }
        listed.markCount = out.marks.size() - listed.marks;
    }

    // Lists the line at its first match in the window; true when it holds one.
    bool TakeWindow(const Window& w) {
        Hit first;
        if (!NextHit(w, w.from, &first) || first.begin >= w.acceptTo) return false;
        ++out.count;
        if (out.lines.size() >= keep) return true;
        ListedLine listed = {line, utf16 ? kUtf16Line : first.encoding == kUtf8Match ? kUtf8Line : kAnsiLine, false,
                             out.text.size(), 0, out.marks.size(), 0};
        // From the line's first visible character, unless its first match
        // ends past the cut: then from shortly before that match.
        size_t visible = w.start;
        while (visible < w.end && Shown(CharacterAt(buffer + visible, unit)) == ' ') visible += unit;
        size_t from = visible;
        size_t limit = kLineTextLimit;
        if (w.visibleBefore || first.end > Forward(buffer, visible, w.end, limit, listed.encoding)) {
            from = Back(buffer, first.begin, w.start, kLeadBeforeHit, listed.encoding);
            if (w.visibleBefore || from > visible) {
                listed.cutBefore = true;
                limit -= 1;  // the ellipsis
                while (from < first.begin && Shown(CharacterAt(buffer + from, unit)) == ' ') from += unit;
            } else {
                from = visible;
            }
        }
        const size_t to = Forward(buffer, from, w.end, limit, listed.encoding);
        AppendText(from, to, listed);
        AppendMarks(w, first, from, to, listed);
        out.lines.push_back(listed);
        return true;
    }

    void Keep(size_t from, size_t have, size_t* kept) {
        *kept = have - from;
        memmove(buffer, buffer + from, *kept);
        offset += from;
    }

    // The whole lines of buffer[pos, to): only those that may hold a match
    // are looked at.
    void TakeWholeLines(size_t pos, size_t to) {
        while (pos < to && !Done()) {
            const size_t at = FindLineWithMatch(matcher, file, reinterpret_cast<const char*>(buffer), pos, to, offset);
            if (at >= to) break;
            const size_t start = LineStartBefore(buffer, pos, at, unit);
            const size_t lineEnd = LineEndAfter(buffer, at - (at - start) % unit, to, unit);
            line += CountLineEnds(buffer, pos, start, unit);
            size_t end = lineEnd;
            if (lineEnd < to && end >= start + unit && CharacterAt(buffer + end - unit, unit) == '\r') end -= unit;
            TakeWindow({start, end, start, end + 1, false, false, false});
            if (lineEnd >= to) return;
            ++line;
            pos = lineEnd + unit;
        }
        if (pos < to) line += CountLineEnds(buffer, pos, to, unit);
    }

    // A long line's next window, from the buffer's start; true when the
    // line ends in it, at *lineEnd.
    bool TakeLongLine(size_t kept, size_t have, bool more, size_t* lineEnd) {
        *lineEnd = LineEndAfter(buffer, kept, have, unit);
        const bool ends = *lineEnd < have || !more;
        if (!listed) {
            size_t end = *lineEnd;
            if (*lineEnd < have && end >= unit && CharacterAt(buffer + end - unit, unit) == '\r') end -= unit;
            const size_t from = kept - kLineKept / 2;
            listed = TakeWindow({0, end, from, ends ? end + 1 : have - kLineKept / 2, true, !ends, visibleBefore});
        }
        return ends;
    }

    // Begins a long line at start, whose first part is the buffer's rest.
    void BeginLongLine(size_t start, size_t have) {
        longLine = true;
        visibleBefore = false;
        listed = TakeWindow({start, have, start, have - kLineKept / 2, false, true, false});
    }

    void PassLongLine(size_t start, size_t leaving) {
        if (!visibleBefore) visibleBefore = HasVisible(buffer, start, leaving, unit);
    }

    // Keeps the unfinished last line, from start on, for the next piece,
    // and what lies before it that decides a whole word at its start: the
    // line end, or at the file's start its mark. *resume: where it begins.
    void KeepLine(size_t start, size_t have, size_t* kept, size_t* resume) {
        size_t from = start;
        if (offset == 0 && start <= file.textStart) from = 0;
        else if (start >= unit) from = start - unit;
        *resume = start - from;
        Keep(from, have, kept);
    }

    void Run() {
        size_t kept = 0, resume = 0;
        for (bool first = true; !Done(); first = false) {
            if (stop != nullptr && stop->load(std::memory_order_relaxed)) return;
            size_t got = 0;
            const size_t want = first ? kFirstReadPiece : kReadPiece;
            const bool more = read(context, reinterpret_cast<char*>(buffer) + kept, want, &got) && got == want;
            const size_t have = kept + got;
            size_t pos = resume;
            resume = 0;
            if (first) {
                BeginFileScan(matcher, reinterpret_cast<const char*>(buffer), have, file, stop);
                utf16 = file.utf16;
                unit = utf16 ? 2 : 1;
                pos = file.textStart;  // a byte-order mark is no part of the first line
            }
            if (longLine) {
                size_t lineEnd;
                if (!TakeLongLine(kept, have, more, &lineEnd)) {
                    PassLongLine(0, have - kLineKept);
                    Keep(have - kLineKept, have, &kept);
                    continue;
                }
                longLine = false;
                if (lineEnd >= have || Done()) return;
                ++line;
                pos = lineEnd + unit;
            }
            const size_t wholeEnd = more ? WholeLinesEnd(buffer, pos, have, unit) : have;
            TakeWholeLines(pos, wholeEnd);
            if (!more || Done()) return;
            // With room for what KeepLine keeps before the line.
            if (have - wholeEnd <= kLineKept - 4) {
                KeepLine(wholeEnd, have, &kept, &resume);
                continue;
            }
            BeginLongLine(wholeEnd, have);
            PassLongLine(wholeEnd, have - kLineKept);
            Keep(have - kLineKept, have, &kept);
        }
    }
};

}  // namespace

void ListMatchingLines(ReadPieceFunction read, void* context, char* buffer, const QueryMatcher& matcher, size_t keep,
                       bool countAll, const std::atomic<bool>* stop, LineListing* out) {
    *out = LineListing();
    if ((keep == 0 && !countAll) || (matcher.spellings.ansiLength == 0 && !matcher.pattern)) return;
    Lister lister = {read, context, reinterpret_cast<unsigned char*>(buffer), matcher, keep, countAll, stop, *out};
    lister.Run();
}
