#include "core/query_matcher.h"

#include <string.h>

#include "core/query_spellings.h"
#include "core/regex_pattern.h"
#include "core/text_matcher.h"
#include "core/whole_words.h"

namespace {

// --- Text and whole words ---------------------------------------------------

size_t FindSpelling(const QueryMatcher& m, const char* text, size_t length, TextPlace place, const char* query) {
    return m.wholeWords ? FindWholeWord(text, length, place, query, m.caseInsensitive)
                        : FindText(text, length, query, m.caseInsensitive);
}

// The first hit of any spelling the file is searched for; on a tie, the
// ANSI bytes come first.
size_t FirstTextHit(const QueryMatcher& m, const PieceScan& scan, const char* text, size_t length, bool last,
                    MatchEncoding* encoding) {
    const QuerySpellings& s = m.spellings;
    const TextPlace place = {scan.offset, last};
    size_t hit = FindSpelling(m, text, length, place, s.ansi);
    *encoding = kAnsiMatch;
    if (s.utf8Length != 0) {
        const size_t at = FindSpelling(m, text, length, place, s.utf8);
        if (at < hit) {
            hit = at;
            *encoding = kUtf8Match;
        }
    }
    if (scan.utf16) {
        const size_t at = m.wholeWords ? FindWholeWordUtf16(text, length, place, s.utf16, s.utf16Length, m.caseInsensitive)
                                       : FindUtf16Text(text, length, scan.offset, s.utf16, s.utf16Length, m.caseInsensitive);
        if (at < hit) {
            hit = at;
            *encoding = kUtf16Match;
        }
    }
    return hit;
}

void KeepOverlap(PieceScan& scan, size_t length, size_t* keep) {
    *keep = length < scan.overlap ? length : scan.overlap;
    scan.offset += length - *keep;
}

// --- Patterns ---------------------------------------------------------------

// A whole-text scan goes this many bytes of whole lines at a time, and a
// search for a literal confirms this many candidate lines at a time, between
// looks at the stop: a pattern slow on its text (RE2 falls back from its
// automaton to a simulation, which can be as slow as a few MB/s) still stops
// within milliseconds.
enum { kScanSlice = 16 << 10, kCandidatesBetweenLooks = 64 };

bool Stopped(const std::atomic<bool>* stop) { return stop != nullptr && stop->load(std::memory_order_relaxed); }

// One encoding of a pattern, the literal that finds its candidate lines and
// the others each of them must hold.
struct Form {
    const CompiledPattern* pattern;
    const std::string* literal;
    const std::vector<std::string>* others;
    MatchEncoding encoding;
};

bool HoldsOthers(const Form& form, const char* line, size_t length) {
    for (const std::string& other : *form.others)
        if (FindText(line, length, other.c_str(), true) == length) return false;
    return true;
}

size_t LineEndAfter(const char* text, size_t at, size_t to) {
    const void* lf = memchr(text + at, '\n', to - at);
    return lf != nullptr ? static_cast<size_t>(static_cast<const char*>(lf) - text) : to;
}

size_t LineStartBefore(const char* text, size_t from, size_t at) {
    while (at > from && text[at - 1] != '\n') --at;
    return at;
}

// Whether the line from start, up to its LF at end (or to the end of
// whole lines, where the file ends), holds a match; its CR before an LF is
// no part of it. firstCut: it goes on from before start, whose byte is
// context only.
bool LineMatches(const CompiledPattern& p, const char* text, size_t start, size_t end, bool hasEnd, bool firstCut) {
    if (hasEnd && end > start && text[end - 1] == '\r') --end;
    return FindInLine(p, text + start, end - start, firstCut ? 1 : 0, false, nullptr);
}

// The start of the first line in text[from, to), whole lines, that holds a
// match; to when none does. A candidate, from the literal or the whole-text
// scan, narrows each step to one line.
size_t FirstMatchingLine(const Form& form, const char* text, size_t from, size_t to, bool cut, bool last,
                         const std::atomic<bool>* stop) {
    // The last line of a file without a line end may hold an empty match at to.
    const bool openEnd = last && (to == from || text[to - 1] != '\n');
    unsigned candidates = 0;
    for (size_t at = from; at < to || (openEnd && at == to);) {
        size_t candidate = to;
        if (!form.literal->empty()) {
            candidate = at + FindText(text + at, to - at, form.literal->c_str(), true);
            if (candidate >= to || (++candidates % kCandidatesBetweenLooks == 0 && Stopped(stop))) return to;
        } else {
            for (;;) {
                const size_t slice = to - at > kScanSlice ? LineEndAfter(text, at + kScanSlice, to) : to;
                const size_t sliceEnd = slice < to ? slice + 1 : to;
                const bool atEnd = sliceEnd == to;
                if (NextCandidate(*form.pattern, text, at, sliceEnd, &candidate) &&
                    (candidate < sliceEnd || (atEnd && openEnd)))
                    break;
                if (atEnd || Stopped(stop)) return to;
                at = sliceEnd;
            }
        }
        const size_t start = LineStartBefore(text, at, candidate);
        const size_t end = LineEndAfter(text, candidate, to);
        const bool hasEnd = end < to || !last;
        if (HoldsOthers(form, text + start, end - start) &&
            LineMatches(*form.pattern, text, start, end, hasEnd, cut && start == from))
            return start;
        if (end == to) break;
        at = end + 1;
    }
    return to;
}

// UTF-16 LE code units text[from, to) as UTF-8; a lone surrogate as U+FFFD.
void Utf16ToUtf8(const char* text, size_t from, size_t to, std::string& out) {
    const unsigned char* t = reinterpret_cast<const unsigned char*>(text);
    out.clear();
    for (size_t i = from; i + 1 < to; i += 2) {
        unsigned c = t[i] | t[i + 1] << 8;
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < to) {
            const unsigned low = t[i + 2] | t[i + 3] << 8;
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (c >= 0xD800 && c < 0xE000) c = 0xFFFD;
        AppendUtf8(out, c);
    }
}

bool IsLineFeedUnit(const char* at) { return at[0] == '\n' && at[1] == 0; }

// Lines of a UTF-16 file end at its LF character; each that may hold a
// match is converted to UTF-8 and matched whole. Offsets are even in the
// file, as every piece begins at an even offset.
struct Utf16Lines {
    const QueryMatcher& m;
    const char* text;
    std::string line;  // the one being matched, in UTF-8

    size_t LineEnd(size_t at, size_t to) const {
        while (at + 1 < to && !IsLineFeedUnit(text + at)) at += 2;
        return at + 1 < to ? at : to;
    }
    size_t LineStart(size_t from, size_t at) const {
        while (at > from && !IsLineFeedUnit(text + at - 2)) at -= 2;
        return at;
    }
    // A cut line's first character is context only; goesOn: its last too.
    bool Matches(size_t start, size_t end, bool hasEnd, bool cut, bool goesOn) {
        if (hasEnd && end >= start + 2 && text[end - 2] == '\r' && text[end - 1] == 0) end -= 2;
        size_t from = 0;
        if (cut && end >= start + 2) {
            Utf16ToUtf8(text, start, start + 2, line);
            from = line.size();
        }
        Utf16ToUtf8(text, start, end, line);
        return FindInLine(*m.utf8, line.data(), line.size(), from, goesOn, nullptr);
    }
    size_t FirstMatchingLine(size_t from, size_t to, unsigned long long offset, bool cut, bool last,
                             const std::atomic<bool>* stop) {
        const std::string& literal = m.utf16Literal;
        unsigned lines = 0;
        for (size_t at = from; at < to;) {
            if (++lines % kCandidatesBetweenLooks == 0 && Stopped(stop)) return to;
            size_t candidate = at;
            if (!literal.empty())
                candidate = at + FindUtf16Text(text + at, to - at, offset + at, literal.data(), literal.size(), true);
            if (candidate >= to) return to;
            const size_t start = LineStart(at, candidate);
            const size_t end = LineEnd(candidate, to);
            if (Matches(start, end, end < to || !last, cut && start == from, false)) return start;
            at = end + 2;
        }
        return to;
    }
};

// Where whole lines end in text[from, length): after the last line end; from
// when there is none.
size_t WholeLinesEnd(const char* text, size_t from, size_t length, bool utf16) {
    size_t at = length;
    if (utf16) {
        at -= (at - from) & 1;
        while (at >= from + 2 && !IsLineFeedUnit(text + at - 2)) at -= 2;
        return at >= from + 2 ? at : from;
    }
    while (at > from && text[at - 1] != '\n') --at;
    return at;
}

size_t FirstPatternMatch(const QueryMatcher& m, PieceScan& scan, const char* text, size_t length, bool last,
                         size_t* keep, MatchEncoding* encoding, bool anyWillDo) {
    const size_t from = scan.offset == 0 ? scan.textStart : 0;
    const size_t wholeEnd = last ? length : WholeLinesEnd(text, from, length, scan.utf16);
    const bool cut = scan.midLine && scan.offset != 0;
    Utf16Lines lines = {m, text, std::string()};
    size_t best = length;
    if (scan.utf16) {
        const size_t at = lines.FirstMatchingLine(from, wholeEnd, scan.offset, cut, last, scan.stop);
        if (at < wholeEnd) best = at;
        *encoding = kUtf16Match;
    } else {
        const Form forms[] = {
            {m.bytes.get(), &CandidateLiteral(*m.bytes, false), &OtherLiterals(*m.bytes, false), kAnsiMatch},
            {m.utf8.get(), &CandidateLiteral(*m.bytes, true), &OtherLiterals(*m.bytes, true), kUtf8Match}};
        for (const Form& form : forms) {
            if (form.encoding == kUtf8Match && !m.utf8InEveryFile) break;
            const size_t at = FirstMatchingLine(form, text, from, wholeEnd, cut, last, scan.stop);
            if (at < wholeEnd && at < best) {
                best = at;
                *encoding = form.encoding;
                if (anyWillDo) break;
            }
        }
    }
    if (best < length || last) {
        *keep = 0;
        return best;
    }
    // The unfinished last line waits for the next piece, unless it is too
    // long to keep: then what it holds so far is searched, and its end kept.
    const size_t tail = length - wholeEnd;
    const bool tailCut = wholeEnd == from && cut;
    if (tail <= kMaxKept) {
        *keep = tail;
        scan.midLine = tailCut;
    } else {
        bool found;
        if (scan.utf16) {
            found = lines.Matches(wholeEnd, length - ((length - wholeEnd) & 1), false, tailCut, true);
            *encoding = kUtf16Match;
        } else {
            found = FindInLine(*m.bytes, text + wholeEnd, tail, tailCut ? 1 : 0, true, nullptr);
            *encoding = kAnsiMatch;
            if (!found && m.utf8InEveryFile) {
                found = FindInLine(*m.utf8, text + wholeEnd, tail, tailCut ? 1 : 0, true, nullptr);
                *encoding = kUtf8Match;
            }
        }
        if (found) return wholeEnd;
        *keep = kMaxKept;
        scan.midLine = true;
    }
    scan.offset += length - *keep;
    return length;
}

void AppendUtf16(std::string& out, const std::string& ascii) {
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
}

LiteralQuery InUtf16(LiteralQuery q) {
    std::string units;
    AppendUtf16(units, q.literal);
    q.literal = units;
    for (LiteralQuery& part : q.parts) part = InUtf16(part);
    return q;
}

// --- Line by line ------------------------------------------------------------

// One spelling's first hit that begins at or after from in the line. For
// whole words, the character before from comes along to decide the hit's
// start; the line's own start and end are boundaries, but at a cut or where
// the line goes on the character beyond decides.
size_t SpellingInLine(const QueryMatcher& m, const LinePart& line, size_t from, const char* query,
                      size_t queryLength, bool utf16Spelling) {
    const size_t length = line.length;
    if (!m.wholeWords) {
        const size_t at = utf16Spelling ? FindUtf16Text(line.text + from, length - from, line.offset + from, query,
                                                        queryLength, m.caseInsensitive)
                                         : FindText(line.text + from, length - from, query, m.caseInsensitive);
        return from + at;
    }
    const size_t unit = line.utf16 ? 2 : 1;
    size_t base = 0;
    TextPlace place = {0, !line.goesOn};  // offset 0: the start of the text is a boundary
    if (from > 0 || line.cut) {
        base = from >= unit ? from - unit : 0;
        // Any offset but 0 leaves a hit on the context character undecided;
        // its parity is kept for UTF-16.
        place.offset = line.offset + base;
        if (place.offset == 0) place.offset = unit;
    }
    size_t at = utf16Spelling
                    ? FindWholeWordUtf16(line.text + base, length - base, place, query, queryLength, m.caseInsensitive)
                    : FindWholeWord(line.text + base, length - base, place, query, m.caseInsensitive);
    at += base;
    return at >= from ? at : length;
}

bool TextInLine(const QueryMatcher& m, const LinePart& line, size_t from, MatchSpan* span, MatchEncoding* encoding) {
    const QuerySpellings& s = m.spellings;
    if (s.ansiLength == 0) return false;
    size_t hit = SpellingInLine(m, line, from, s.ansi, s.ansiLength, false), size = s.ansiLength;
    *encoding = kAnsiMatch;
    if (s.utf8Length != 0) {
        const size_t at = SpellingInLine(m, line, from, s.utf8, s.utf8Length, false);
        if (at < hit) hit = at, size = s.utf8Length, *encoding = kUtf8Match;
    }
    if (line.utf16) {
        const size_t at = SpellingInLine(m, line, from, s.utf16, s.utf16Length, true);
        if (at < hit) hit = at, size = s.utf16Length, *encoding = kUtf16Match;
    }
    if (hit >= line.length) return false;
    *span = {hit, hit + size};
    return true;
}

size_t Utf8Length(unsigned c) { return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4; }

// The character at unit i of UTF-16 LE text[0, length), as Utf16ToUtf8
// reads it, and how many bytes it takes there.
unsigned Utf16CharacterAt(const unsigned char* t, size_t i, size_t length, size_t* bytes) {
    unsigned c = t[i] | t[i + 1] << 8;
    *bytes = 2;
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < length) {
        const unsigned low = t[i + 2] | t[i + 3] << 8;
        if (low >= 0xDC00 && low < 0xE000) {
            *bytes = 4;
            return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        }
    }
    return c >= 0xD800 && c < 0xE000 ? 0xFFFD : c;
}

// Offsets between a UTF-16 line and its UTF-8 form: the UTF-8 offset of
// UTF-16 offset `at`, or with toUtf16 the other way round.
size_t MapOffset(const char* text, size_t length, size_t at, bool toUtf16) {
    const unsigned char* t = reinterpret_cast<const unsigned char*>(text);
    size_t i = 0, u = 0;
    while (i + 1 < length && (toUtf16 ? u < at : i < at)) {
        size_t bytes;
        u += Utf8Length(Utf16CharacterAt(t, i, length, &bytes));
        i += bytes;
    }
    return toUtf16 ? i : u;
}

// A pattern on the line's ANSI bytes and, where it holds a character outside
// ASCII, on its UTF-8 form; in a UTF-16 file on the line's characters,
// converted to UTF-8, the span converted back.
bool PatternInLine(const QueryMatcher& m, const LinePart& line, size_t from, MatchSpan* span,
                   MatchEncoding* encoding) {
    if (line.utf16) {
        std::string utf8;
        const size_t length = line.length - line.length % 2;
        Utf16ToUtf8(line.text, 0, length, utf8);
        MatchSpan found;
        if (!FindInLine(*m.utf8, utf8.data(), utf8.size(), MapOffset(line.text, length, from, false), line.goesOn,
                        &found))
            return false;
        *span = {MapOffset(line.text, length, found.begin, true), MapOffset(line.text, length, found.end, true)};
        *encoding = kUtf16Match;
        return true;
    }
    bool any = FindInLine(*m.bytes, line.text, line.length, from, line.goesOn, span);
    *encoding = kAnsiMatch;
    MatchSpan other;
    if (m.utf8InEveryFile && FindInLine(*m.utf8, line.text, line.length, from, line.goesOn, &other) &&
        (!any || other.begin < span->begin)) {
        *span = other;
        *encoding = kUtf8Match;
        any = true;
    }
    return any;
}

}  // namespace

MatcherResult PrepareQueryMatcher(const char* ansi, const char16_t* wide, const unsigned char* leadBytes,
                                  bool caseInsensitive, bool wholeWords, bool pattern, QueryMatcher& matcher,
                                  PatternError* error) {
    matcher.bytes = nullptr;
    matcher.utf8 = nullptr;
    matcher.caseInsensitive = caseInsensitive;
    matcher.wholeWords = wholeWords;
    matcher.pattern = pattern;
    matcher.utf8InEveryFile = false;
    matcher.utf16Literal.clear();
    const size_t length = strlen(ansi);
    if (length > kMaxQueryLength) return kQueryTooLong;
    memcpy(matcher.query, ansi, length + 1);
    if (!PrepareQuerySpellings(matcher.query, wide, matcher.spellings)) return kQueryTooLong;
    // An empty pattern finds nothing, as an empty text does.
    matcher.pattern = pattern && length > 0;
    if (!matcher.pattern) return kMatcherReady;

    // The ANSI form first: a fault's part of the pattern is shown as typed.
    const QuerySpellings& s = matcher.spellings;
    PatternFault fault;
    matcher.bytes.reset(CompilePattern(s.ansi, kBytePattern, leadBytes, caseInsensitive, wholeWords, &fault),
                        FreePattern);
    if (matcher.bytes != nullptr)
        matcher.utf8.reset(CompilePattern(s.utf8Length != 0 ? s.utf8 : s.ansi, kUtf8Pattern, nullptr,
                                          caseInsensitive, wholeWords, &fault),
                           FreePattern);
    if (matcher.utf8 == nullptr) {
        ReleaseQueryMatcher(matcher);
        error->position = fault.position;
        error->message = fault.message;
        return kBadPattern;
    }
    matcher.utf8InEveryFile = s.utf8Length != 0;
    AppendUtf16(matcher.utf16Literal, CandidateLiteral(*matcher.bytes, true));
    return kMatcherReady;
}

void ReleaseQueryMatcher(QueryMatcher& matcher) {
    matcher.bytes.reset();
    matcher.utf8.reset();
}

void CopyQueryMatcher(const QueryMatcher& from, QueryMatcher& to) {
    to = from;
    to.spellings.ansi = to.query;
}

void BeginFileScan(const QueryMatcher& matcher, const char* text, size_t length, PieceScan& scan,
                   const std::atomic<bool>* stop) {
    scan.stop = stop;
    scan.offset = 0;
    scan.utf16 = StartsWithUtf16Mark(text, length);
    scan.midLine = false;
    scan.textStart = 0;
    if (scan.utf16) scan.textStart = 2;
    else if (length >= 3 && memcmp(text, "\xEF\xBB\xBF", 3) == 0) scan.textStart = 3;
    // Whole words: a hit with a character on either side comes along, so
    // that one left undecided at a piece's end is seen whole in the next,
    // whatever the pieces' sizes.
    const QuerySpellings& s = matcher.spellings;
    size_t longest = s.ansiLength > s.utf8Length ? s.ansiLength : s.utf8Length;
    if (scan.utf16 && s.utf16Length > longest) longest = s.utf16Length;
    scan.overlap = matcher.wholeWords ? longest + (scan.utf16 ? 4 : 2) : SpellingOverlap(s, scan.utf16);
    // Pieces of a UTF-16 file begin on whole characters.
    if (scan.utf16) scan.overlap += scan.overlap & 1;
}

bool PieceHoldsMatch(const QueryMatcher& matcher, PieceScan& scan, const char* text, size_t length, bool last,
                     size_t* keep) {
    MatchEncoding encoding;
    if (matcher.pattern) return FirstPatternMatch(matcher, scan, text, length, last, keep, &encoding, true) < length;
    if (matcher.wholeWords) {
        if (FirstTextHit(matcher, scan, text, length, last, &encoding) < length) return true;
    } else if (PieceHoldsQuery(text, length, scan.offset, matcher.spellings, scan.utf16, matcher.caseInsensitive)) {
        return true;
    }
    KeepOverlap(scan, length, keep);
    return false;
}

size_t FirstMatchInPiece(const QueryMatcher& matcher, PieceScan& scan, const char* text, size_t length, bool last,
                         size_t* keep, MatchEncoding* encoding) {
    *encoding = kAnsiMatch;
    if (matcher.pattern) return FirstPatternMatch(matcher, scan, text, length, last, keep, encoding, false);
    const size_t hit = FirstTextHit(matcher, scan, text, length, last, encoding);
    if (hit < length) return hit;
    KeepOverlap(scan, length, keep);
    return length;
}

size_t FindLineWithMatch(const QueryMatcher& matcher, const PieceScan& file, const char* text, size_t from,
                         size_t to, unsigned long long offset) {
    if (from >= to) return to;
    PieceScan scan = file;
    scan.midLine = false;
    size_t keep = 0, base = from;
    MatchEncoding encoding;
    if (!matcher.pattern) {
        // The line end before from comes along, so that a whole word at the
        // line's start is decided; at the file's start, its mark does.
        const size_t unit = scan.utf16 ? 2 : 1;
        if (offset == 0 && from <= scan.textStart) base = 0;
        else if (from >= unit) base = from - unit;
    }
    scan.offset = offset + base;
    const size_t at = base + FirstMatchInPiece(matcher, scan, text + base, to - base, true, &keep, &encoding);
    return at < from ? from : at;
}

bool MatchInLine(const QueryMatcher& matcher, const LinePart& line, size_t from, MatchSpan* span,
                 MatchEncoding* encoding) {
    if (from > line.length) return false;
    if (matcher.pattern) return PatternInLine(matcher, line, from, span, encoding);
    return TextInLine(matcher, line, from, span, encoding);
}

LiteralQuery RequiredLiterals(const QueryMatcher& matcher, bool utf16File) {
    if (!matcher.pattern) return LiteralQuery();
    if (utf16File) return InUtf16(PatternLiterals(*matcher.bytes, true));
    LiteralQuery bytes = PatternLiterals(*matcher.bytes, false);
    if (!matcher.utf8InEveryFile) return bytes;
    LiteralQuery either;
    either.kind = LiteralQuery::kOr;
    either.parts.push_back(bytes);
    either.parts.push_back(PatternLiterals(*matcher.bytes, true));
    return either;
}
