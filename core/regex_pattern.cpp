// The one file that calls the regex library (RE2).
//
// A pattern is parsed by RE2's own parser, rewritten, printed back as a
// pattern and compiled: case-sensitively, never matching a line end. The
// rewriting is what RE2 cannot be told by its options:
//  - Only the ASCII letters fold. Before parsing, every character from 0x80
//    up is moved to a private-use stand-in that has no case, so the parser's
//    folding, for the case mode and for a pattern's own (?i), reaches the
//    ASCII letters alone; printing moves each back. A fold partner that the
//    parser adds outside ASCII (U+212A for k) has no stand-in and is dropped.
//  - Whole words, exactly and in linear time: see WholeWords below.
//  - Capturing groups are dropped: only a match's bounds are ever asked for.

#include "core/regex_pattern.h"

#include <string.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/query_spellings.h"
#include "re2/prefilter.h"
#include "re2/re2.h"
#include "re2/regexp.h"

using re2::Prefilter;
using re2::RE2;
using re2::Regexp;
using re2::Rune;
using re2::StringPiece;

namespace {

// Below this, a literal finds too many candidates to beat scanning whole.
const size_t kMinCandidateLiteral = 3;

// Each program's memory, its lazily built automata included. Of the six a
// matcher holds (two encodings, each for a line, for whole lines and for its
// literals), a file is scanned with two, or four for a pattern outside ASCII.
const int64_t kPatternMemory = 2 << 20;

// --- Stand-ins for characters outside ASCII -------------------------------

// Characters from 0x80 to 0xFFFF stand in at plane 15, those from 0x10000
// to 0x1FFFD at plane 16: no cased letter lies above that.
const Rune kStandInBmp = 0xF0000;
const Rune kStandInAstral = 0x100000;
const Rune kLastStandIn = 0x10FFFD;

bool HasStandIn(Rune r) { return r >= 0x80 && r < 0x1FFFE; }

Rune StandIn(Rune r) { return r < 0x10000 ? kStandInBmp + r : kStandInAstral + (r - 0x10000); }

// The character a stand-in is for; -1 for a character that is none. The
// stand-ins below kStandInBmp + 0x80 are for trail bytes, in literals only.
Rune Original(Rune r) {
    if (r >= kStandInBmp && r < kStandInAstral) return r - kStandInBmp;
    if (r >= kStandInAstral && r <= kLastStandIn) return r - kStandInAstral + 0x10000;
    return -1;
}

void AppendEscaped(std::string& out, Rune r) {
    char hex[16];
    snprintf(hex, sizeof hex, "\\x{%x}", static_cast<unsigned>(r));
    out += hex;
}

// One character of the pattern: a byte (with its trail byte, under a
// double-byte code page, as a character of its own each) or UTF-8.
Rune NextCharacter(const std::string& p, size_t& i, bool utf8) {
    const unsigned char c = static_cast<unsigned char>(p[i++]);
    if (!utf8 || c < 0x80) return c;
    int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
    Rune r = c & (0x3F >> more);
    for (; more > 0 && i < p.size(); --more) r = r << 6 | (static_cast<unsigned char>(p[i++]) & 0x3F);
    return r;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A \x or octal escape of a character from 0x80 up, written for its stand-in;
// false, with i unmoved, for any other escape. i is just after the backslash.
bool RewriteCharacterEscape(const std::string& p, size_t& i, std::string& out) {
    size_t j = i;
    long value = 0;
    if (p[j] == 'x' && j + 1 < p.size() && p[j + 1] == '{') {
        j += 2;
        for (; j < p.size() && HexValue(p[j]) >= 0 && value < 0x110000; ++j) value = value * 16 + HexValue(p[j]);
        if (j >= p.size() || p[j] != '}') return false;
        ++j;
    } else if (p[j] == 'x') {
        if (j + 2 >= p.size() + 0 || HexValue(p[j + 1]) < 0 || j + 2 >= p.size() || HexValue(p[j + 2]) < 0)
            return false;
        value = HexValue(p[j + 1]) * 16 + HexValue(p[j + 2]);
        j += 3;
    } else if (p[j] >= '0' && p[j] <= '7') {
        // \0 and up to two more digits, or \1 to \7 followed by a digit: RE2's octal.
        const size_t first = j;
        if (p[j] != '0' && (j + 1 >= p.size() || p[j + 1] < '0' || p[j + 1] > '7')) return false;
        for (; j < p.size() && j < first + 3 && p[j] >= '0' && p[j] <= '7'; ++j) value = value * 8 + (p[j] - '0');
    } else {
        return false;
    }
    if (!HasStandIn(static_cast<Rune>(value))) return false;
    AppendEscaped(out, StandIn(static_cast<Rune>(value)));
    i = j;
    return true;
}

// Where the rewriting below stands: inside \Q...\E, or a class.
struct Lexer {
    bool quoted = false;
    bool inClass = false;
    bool classStart = false;  // just after [ or [^, where ] is a member
};

// One step of the rewriting below: an escape, or one character.
void RewriteStep(const std::string& p, size_t& i, bool utf8, const unsigned char* leadBytes, Lexer& lexer,
                 std::string& out) {
    const bool classStart = lexer.classStart;
    lexer.classStart = false;
    if (p[i] == '\\' && i + 1 < p.size()) {
        if (lexer.quoted) {
            if (p[i + 1] == 'E') lexer.quoted = false;
            out.append(p, i, 2);
            i += 2;
            return;
        }
        ++i;
        if (RewriteCharacterEscape(p, i, out)) return;
        out += '\\';
        if (p[i] == 'Q') lexer.quoted = true;
        if (static_cast<unsigned char>(p[i]) < 0x80) {
            out += p[i++];
            return;
        }
    } else if (!lexer.quoted && lexer.inClass) {
        if (p[i] == ']' && !classStart) lexer.inClass = false;
        if (p[i] == '^' && classStart && p[i - 1] == '[') lexer.classStart = true;
        if (p[i] == '[' && i + 1 < p.size() && p[i + 1] == ':') {  // [:alpha:] as a whole
            const size_t end = p.find(":]", i + 2);
            if (end != std::string::npos) {
                out.append(p, i, end + 2 - i);
                i = end + 2;
                return;
            }
        }
    } else if (!lexer.quoted && p[i] == '[') {
        lexer.inClass = true;
        lexer.classStart = true;
    }
    const bool lead = !utf8 && leadBytes != nullptr && leadBytes[static_cast<unsigned char>(p[i])] && i + 1 < p.size();
    const Rune r = NextCharacter(p, i, utf8);
    // A character of two bytes stays one where it can: a group of its bytes
    // outside a class (a class takes each byte alone). A trail byte is never
    // a metacharacter.
    const bool group = lead && !lexer.inClass && !lexer.quoted;
    if (group) out += "(?:";
    AppendUtf8(out, HasStandIn(r) ? StandIn(r) : r);
    if (lead) AppendUtf8(out, kStandInBmp + static_cast<unsigned char>(p[i++]));
    if (group) out += ')';
}

// The pattern in UTF-8 with every character from 0x80 up, typed or escaped
// by its number, replaced by its stand-in. Escapes inside \Q...\E are text.
// origin[k] is where in p the step that wrote out[k] began; origin has one
// more entry, p's size.
std::string WithStandIns(const std::string& p, bool utf8, const unsigned char* leadBytes,
                         std::vector<size_t>& origin) {
    std::string out;
    Lexer lexer;
    origin.clear();
    for (size_t i = 0; i < p.size();) {
        const size_t start = i;
        RewriteStep(p, i, utf8, leadBytes, lexer, out);
        origin.resize(out.size(), start);
    }
    origin.push_back(p.size());
    return out;
}

// --- Printing the parsed pattern back -------------------------------------

// Word characters: ASCII letters, digits and '_', and every character from
// 0x80 up. Their complement within a line: the other ASCII characters but LF.
struct Range {
    Rune lo, hi;
};
typedef std::vector<Range> Ranges;

// No position is both a word boundary and none; valid in either encoding.
const char kNoMatch[] = "\\b\\B";
const char kNonWord[] = "[\\x00-\\x09\\x0b-/:-@\\[-\\^`{-\\x7f]";

// How one node is printed: as it is; only those of its nonempty matches
// that begin, end, or begin and end with a non-word character; or only its
// empty matches (the assertions they must pass).
enum Part { kWhole, kStartsNonWord, kEndsNonWord, kBothNonWord, kEmptyOnly };

class Printer {
public:
    // For whole lines at once (scan), `^` and `$` are those of every line,
    // and `$` also matches before CR LF; else the text is one line.
    // Having taken the CR, `$` leaves an assertion after it judging the CR
    // instead of the line's end: in a pattern that holds a `$`, the scan
    // lets `^`, `\b` and `\B` also pass at any line end, and the line
    // form decides.
    Printer(bool utf8, bool scan, bool endInside = false)
        : utf8_(utf8), scan_(scan), lenient_(scan && endInside) {}

    // False when what is printed can match nothing.
    bool Print(Regexp* re, Part part, std::string& out);

    const char* Begin() const { return scan_ ? "(?m:^)" : "^"; }
    const char* End() const { return scan_ ? "(?:\\r?(?m:$))" : "$"; }

private:
    bool utf8_, scan_, lenient_;

    std::string Assertion(const char* what) const {
        return lenient_ ? std::string("(?:") + what + "|(?m:$))" : std::string(what);
    }

    void Character(Rune r, std::string& out);
    bool Class(Ranges ranges, Part part, std::string& out);
    Ranges ClassRanges(Regexp* re);
    Ranges Literal(Rune r, bool fold);
    bool Concat(Regexp** subs, int n, Part part, std::string& out);
    bool Repeat(Regexp* re, int min, int max, Part part, std::string& out);
    std::string Count(Regexp* re, int min, int max);
};

// The character as the compiled pattern's text holds it: its stand-in
// undone; -1 when the text cannot hold it (a character above 0xFF for
// single bytes, or an unknown one from 0x80 up, such as a fold partner).
Rune TextCharacter(Rune r, bool utf8) {
    if (r < 0x80) return r;
    const Rune original = Original(r);
    if (original < 0) return (utf8 && r >= 0x1FFFE && r < kStandInBmp) ? r : -1;
    return utf8 || original < 0x100 ? original : -1;
}

void Printer::Character(Rune r, std::string& out) {
    if (r > 0x20 && r < 0x7F && strchr("\\.+*?()|[]{}^$-", static_cast<int>(r)) == nullptr) {
        out += static_cast<char>(r);
    } else {
        AppendEscaped(out, r);
    }
}

Ranges Normalized(Ranges ranges) {
    std::sort(ranges.begin(), ranges.end(), [](const Range& a, const Range& b) { return a.lo < b.lo; });
    Ranges merged;
    for (const Range& r : ranges) {
        if (!merged.empty() && r.lo <= merged.back().hi + 1)
            merged.back().hi = std::max(merged.back().hi, r.hi);
        else
            merged.push_back(r);
    }
    return merged;
}

void AddClipped(Ranges& out, Rune lo, Rune hi, Rune from, Rune to, Rune shift) {
    lo = std::max(lo, from);
    hi = std::min(hi, to);
    if (lo <= hi) out.push_back({lo + shift, hi + shift});
}

Ranges Intersect(const Ranges& a, const Ranges& b) {
    Ranges out;
    for (const Range& x : a)
        for (const Range& y : b) AddClipped(out, x.lo, x.hi, y.lo, y.hi, 0);
    return Normalized(out);
}

const Ranges& NonWordRanges() {
    static const Ranges ranges = {{0, 9}, {0x0B, '0' - 1}, {'9' + 1, 'A' - 1}, {'Z' + 1, '_' - 1}, {'`', '`'},
                                  {'z' + 1, 0x7F}};
    return ranges;
}

// One character out of ranges; for a part that begins or ends with a
// non-word character, only those.
bool Printer::Class(Ranges ranges, Part part, std::string& out) {
    if (part == kEmptyOnly) ranges.clear();
    if (part != kWhole) ranges = Intersect(ranges, NonWordRanges());
    if (ranges.empty()) {
        out += kNoMatch;
        return false;
    }
    out += '[';
    for (const Range& range : ranges) {
        Character(range.lo, out);
        if (range.hi > range.lo) {
            out += '-';
            Character(range.hi, out);
        }
    }
    out += ']';
    return true;
}

// The class's characters as the text holds them: ASCII as it is, the rest
// through their stand-ins only. A negated class covers the stand-ins too,
// so it keeps every character but those it names.
Ranges Printer::ClassRanges(Regexp* re) {
    Ranges ranges;
    re2::CharClass* cc = re->cc();
    for (re2::CharClass::iterator i = cc->begin(); i != cc->end(); ++i) {
        AddClipped(ranges, i->lo, i->hi, 0, 0x7F, 0);
        AddClipped(ranges, i->lo, i->hi, kStandInBmp + 0x80, utf8_ ? kStandInBmp + 0xFFFF : kStandInBmp + 0xFF,
                   -kStandInBmp);
        if (utf8_) {
            AddClipped(ranges, i->lo, i->hi, kStandInAstral, kLastStandIn, 0x10000 - kStandInAstral);
            AddClipped(ranges, i->lo, i->hi, 0x1FFFE, kStandInBmp - 1, 0);
        }
    }
    return Normalized(ranges);
}

Ranges Printer::Literal(Rune r, bool fold) {
    const Rune c = TextCharacter(r, utf8_);
    if (c < 0) return {};
    if (fold && (c | 0x20) >= 'a' && (c | 0x20) <= 'z') return Normalized({{c & ~0x20, c & ~0x20}, {c | 0x20, c | 0x20}});
    return {{c, c}};
}

bool Group(const std::string& inner, bool ok, std::string& out) {
    out += "(?:";
    out += ok ? inner : kNoMatch;
    out += ')';
    return ok;
}

// Choices, of which those that can match are joined; false when none can.
struct Choices {
    std::string text;
    bool any = false;

    void Add(const std::string& choice, bool ok) {
        if (!ok) return;
        text += (any ? "|(?:" : "(?:") + choice + ")";
        any = true;
    }
    bool Print(std::string& out) const { return Group(text, any, out); }
};

// The concatenation subs[0, n). A nonempty match that begins with a
// non-word character begins with some subs[i] doing so, after subs that
// each matched empty; one that ends so, alike from the back; one that does
// both has a first and a last sub that matched anything, the same or two.
bool Printer::Concat(Regexp** subs, int n, Part part, std::string& out) {
    auto span = [&](int from, int to, Part p, std::string& text) {  // subs[from, to) in one part
        bool ok = true;
        for (int j = from; j < to; ++j) ok = Print(subs[j], p, text) && ok;
        return ok;
    };
    if (part == kWhole || part == kEmptyOnly) {
        std::string inner;
        const bool ok = span(0, n, part, inner);
        return Group(inner, ok, out);
    }
    Choices choices;
    if (part == kEndsNonWord) {
        for (int last = n - 1; last >= 0; --last) {
            std::string text, trail;
            if (!span(last + 1, n, kEmptyOnly, trail)) break;
            const bool ok = span(0, last, kWhole, text) && Print(subs[last], kEndsNonWord, text);
            choices.Add(text + trail, ok);
        }
        return choices.Print(out);
    }
    for (int first = 0; first < n; ++first) {
        std::string lead;
        if (!span(0, first, kEmptyOnly, lead)) break;
        if (part == kStartsNonWord) {
            std::string text = lead;
            const bool ok = Print(subs[first], kStartsNonWord, text) && span(first + 1, n, kWhole, text);
            choices.Add(text, ok);
            continue;
        }
        for (int last = n - 1; last >= first; --last) {
            std::string text = lead, trail;
            if (!span(last + 1, n, kEmptyOnly, trail)) break;
            const bool ok = first == last ? Print(subs[first], kBothNonWord, text)
                                          : Print(subs[first], kStartsNonWord, text) &&
                                                span(first + 1, last, kWhole, text) &&
                                                Print(subs[last], kEndsNonWord, text);
            choices.Add(text + trail, ok);
        }
    }
    return choices.Print(out);
}

std::string Printer::Count(Regexp* re, int min, int max) {
    const char* lazy = (re->parse_flags() & Regexp::NonGreedy) ? "?" : "";
    if (max < 0) return "{" + std::to_string(min) + ",}" + lazy;
    return "{" + std::to_string(min) + "," + std::to_string(max) + "}" + lazy;
}

// min to max (-1: no bound) repeats of the node's one sub. A nonempty part
// takes the first or last repeat that matched anything as the one that
// begins or ends the match; repeats that matched empty count towards min,
// and when the others are too few, they stand at the match's start or end.
bool Printer::Repeat(Regexp* re, int min, int max, Part part, std::string& out) {
    Regexp* sub = re->sub()[0];
    std::string whole, empty;
    const bool wholeOk = Print(sub, kWhole, whole);
    const bool nullable = Print(sub, kEmptyOnly, empty);
    auto repeats = [&](int lo, int hi) {  // lo to hi more whole repeats
        if (hi == 0) return std::string();
        return "(?:" + whole + ")" + Count(re, lo, hi);
    };
    auto less = [](int bound, int by) { return bound < 0 ? -1 : bound - by; };
    if (part == kWhole) {
        if (!wholeOk) return Group("", min == 0, out);
        out += "(?:" + whole + ")" + Count(re, min, max);
        return true;
    }
    if (part == kEmptyOnly) return min == 0 ? Group("", true, out) : Group(empty, nullable, out);
    if (max == 0 || !wholeOk) return Group("", false, out);
    Choices choices;
    if (part == kStartsNonWord || part == kEndsNonWord) {
        std::string own;
        const bool ownOk = Print(sub, part, own);
        const std::string others = repeats(min > 1 ? min - 1 : 0, less(max, 1));
        choices.Add(part == kStartsNonWord ? own + others : others + own, ownOk);
        if (min > 1 && nullable) {
            const std::string any = repeats(0, less(max, 1));
            choices.Add(part == kStartsNonWord ? empty + own + any : any + own + empty, ownOk);
        }
        return choices.Print(out);
    }
    // Both: one repeat that matched anything, or a first and a last.
    std::string both, starts, ends;
    const bool bothOk = Print(sub, kBothNonWord, both);
    if (min <= 1) choices.Add(both, bothOk);
    else if (nullable) {
        choices.Add(empty + both, bothOk);
        choices.Add(both + empty, bothOk);
    }
    if (max < 0 || max >= 2) {
        const bool ok = Print(sub, kStartsNonWord, starts) && Print(sub, kEndsNonWord, ends);
        choices.Add(starts + repeats(min > 2 ? min - 2 : 0, less(max, 2)) + ends, ok);
        if (min > 2 && nullable) {
            const std::string any = repeats(0, less(max, 2));
            choices.Add(empty + starts + any + ends, ok);
            choices.Add(starts + any + ends + empty, ok);
        }
    }
    return choices.Print(out);
}

bool Printer::Print(Regexp* re, Part part, std::string& out) {
    const bool fold = (re->parse_flags() & Regexp::FoldCase) != 0;
    const bool emptyWidth = part == kWhole || part == kEmptyOnly;
    switch (re->op()) {
    case re2::kRegexpEmptyMatch:
        return Group("", emptyWidth, out);
    case re2::kRegexpLiteral:
        return Class(Literal(re->rune(), fold), part, out);
    case re2::kRegexpCharClass:
        return Class(ClassRanges(re), part, out);
    case re2::kRegexpAnyChar:
    case re2::kRegexpAnyByte:
        return Class({{0, utf8_ ? 0x10FFFF : 0xFF}}, part, out);
    case re2::kRegexpLiteralString: {
        if (part == kEmptyOnly) return Group("", false, out);
        const int n = re->nrunes();
        std::string inner;
        bool ok = true;
        for (int i = 0; i < n; ++i) {
            const bool first = i == 0 && (part == kStartsNonWord || part == kBothNonWord);
            const bool last = i == n - 1 && (part == kEndsNonWord || part == kBothNonWord);
            ok = Class(Literal(re->runes()[i], fold), first || last ? kStartsNonWord : kWhole, inner) && ok;
        }
        return Group(inner, ok, out);
    }
    case re2::kRegexpBeginLine:
    case re2::kRegexpBeginText:
        return Group(Assertion(Begin()), emptyWidth, out);
    case re2::kRegexpEndLine:
    case re2::kRegexpEndText:
        return Group(End(), emptyWidth, out);
    case re2::kRegexpWordBoundary:
        return Group(Assertion("\\b"), emptyWidth, out);
    case re2::kRegexpNoWordBoundary:
        return Group(Assertion("\\B"), emptyWidth, out);
    case re2::kRegexpCapture:
        return Print(re->sub()[0], part, out);
    case re2::kRegexpConcat:
        return Concat(re->sub(), re->nsub(), part, out);
    case re2::kRegexpAlternate: {
        Choices choices;
        for (int i = 0; i < re->nsub(); ++i) {
            std::string choice;
            const bool ok = Print(re->sub()[i], part, choice);
            choices.Add(choice, ok);
        }
        return choices.Print(out);
    }
    case re2::kRegexpStar:
        return Repeat(re, 0, -1, part, out);
    case re2::kRegexpPlus:
        return Repeat(re, 1, -1, part, out);
    case re2::kRegexpQuest:
        return Repeat(re, 0, 1, part, out);
    case re2::kRegexpRepeat:
        return Repeat(re, re->min(), re->max(), part, out);
    default:  // kRegexpNoMatch
        return Group("", false, out);
    }
}

// --- Whole words -----------------------------------------------------------

// A match [s, e) of the line is whole when neither s nor e lies between two
// word characters. s does not when it is the line's start, or the character
// before it or the match's first character is no word character; e alike.
// Each combination is a pattern of its own, the characters outside the
// match consumed and the match itself in a group; together they find
// exactly the whole matches, in one linear pass. An empty match counts
// where its position does. Returns the number of groups.
int WholeWords(Printer& printer, Regexp* re, std::string& out) {
    const std::string before = std::string("(?:") + printer.Begin() + "|" + kNonWord + ")";
    const std::string after = std::string("(?:") + printer.End() + "|" + kNonWord + ")";
    Choices choices;
    int groups = 0;
    auto add = [&](const std::string& head, Part part, const std::string& tail) {
        std::string inner;
        if (!printer.Print(re, part, inner)) return;
        choices.Add(head + "(" + inner + ")" + tail, true);
        ++groups;
    };
    // Those that consume nothing before the match come first: of two
    // choices that begin at one place, the earlier match is taken.
    add("", kStartsNonWord, after);
    add("", kBothNonWord, "");
    add(before, kWhole, after);
    add(before, kEndsNonWord, "");
    add(printer.Begin(), kEmptyOnly, "");
    add("", kEmptyOnly, printer.End());
    add(kNonWord, kEmptyOnly, "");
    add("", kEmptyOnly, kNonWord);
    choices.Print(out);
    return groups;
}

bool HoldsEnd(Regexp* re) {
    if (re->op() == re2::kRegexpEndLine || re->op() == re2::kRegexpEndText) return true;
    for (int i = 0; i < re->nsub(); ++i)
        if (HoldsEnd(re->sub()[i])) return true;
    return false;
}

}  // namespace

struct CompiledPattern {
    std::unique_ptr<RE2> line;   // a match within one line
    std::unique_ptr<RE2> scan;   // over whole lines at once: at least every line that line matches in
    std::unique_ptr<RE2> plain;  // the pattern alone, without whole words: what the literals come from
    int groups;                  // of line: the match is whichever one took part; 0: the whole match
    std::string literal, asciiLiteral;
    std::vector<std::string> others, asciiOthers;
    bool utf8;
    bool dbcs;
    unsigned char leadBytes[256];
};

namespace {

RE2::Options PatternOptions(bool utf8) {
    RE2::Options options;
    options.set_encoding(utf8 ? RE2::Options::EncodingUTF8 : RE2::Options::EncodingLatin1);
    options.set_never_nl(true);
    options.set_log_errors(false);
    options.set_max_mem(kPatternMemory);
    return options;
}

// Characters of p before byte offset end: UTF-8 characters, or bytes with
// a lead byte and its trail counted once.
size_t CharactersBefore(const std::string& p, size_t end, bool utf8, const unsigned char* leadBytes) {
    size_t count = 0;
    for (size_t i = 0; i < end; ++count) {
        const unsigned char c = static_cast<unsigned char>(p[i]);
        if (utf8) {
            i += c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        } else {
            i += leadBytes != nullptr && leadBytes[c] && i + 1 < p.size() ? 2 : 1;
        }
    }
    return count;
}

// RE2's own message, its quoted part of the pattern given back as typed.
void SetParseFault(const re2::RegexpStatus& status, const std::string& pattern, const std::string& parsed,
                   const std::vector<size_t>& origin, bool utf8, const unsigned char* leadBytes, PatternFault* fault) {
    const StringPiece arg = status.error_arg();
    size_t from = 0, to = 0;
    if (arg.data() >= parsed.data() && arg.data() + arg.size() <= parsed.data() + parsed.size()) {
        from = origin[static_cast<size_t>(arg.data() - parsed.data())];
        to = origin[static_cast<size_t>(arg.data() + arg.size() - parsed.data())];
    }
    fault->position = CharactersBefore(pattern, from, utf8, leadBytes) + 1;
    fault->message = re2::RegexpStatus::CodeText(status.code());
    if (to > from) fault->message += ": " + pattern.substr(from, to - from);
}

bool Compiled(std::unique_ptr<RE2>& re, const std::string& text, bool utf8, PatternFault* fault) {
    re.reset(new RE2(text, PatternOptions(utf8)));
    if (re->ok()) return true;
    fault->position = 1;
    fault->message = re->error();
    return false;
}

LiteralQuery Leaf(LiteralQuery::Kind kind, const std::string& literal = std::string()) {
    LiteralQuery q;
    q.kind = kind;
    q.literal = literal;
    return q;
}

// The runs of ASCII characters in a literal; under a double-byte code page a
// trail byte is no ASCII character, even where its value is one.
LiteralQuery AsciiRuns(const std::string& atom, const CompiledPattern& p) {
    LiteralQuery runs = Leaf(LiteralQuery::kAnd);
    std::string run;
    for (size_t i = 0; i <= atom.size(); ++i) {
        const unsigned char c = i < atom.size() ? static_cast<unsigned char>(atom[i]) : 0x80;
        if (c < 0x80) {
            run += static_cast<char>(c);
            continue;
        }
        if (!run.empty()) runs.parts.push_back(Leaf(LiteralQuery::kLiteral, run));
        run.clear();
        if (p.dbcs && p.leadBytes[c]) ++i;
    }
    if (runs.parts.empty()) return Leaf(LiteralQuery::kAll);
    if (runs.parts.size() == 1) return runs.parts[0];
    return runs;
}

LiteralQuery FromPrefilter(Prefilter* filter, const CompiledPattern& p, bool asciiOnly) {
    if (filter == nullptr) return Leaf(LiteralQuery::kAll);
    switch (filter->op()) {
    case Prefilter::NONE:
        return Leaf(LiteralQuery::kNone);
    case Prefilter::ATOM:
        if (filter->atom().empty()) return Leaf(LiteralQuery::kAll);
        return asciiOnly ? AsciiRuns(filter->atom(), p) : Leaf(LiteralQuery::kLiteral, filter->atom());
    case Prefilter::AND:
    case Prefilter::OR: {
        LiteralQuery q = Leaf(filter->op() == Prefilter::AND ? LiteralQuery::kAnd : LiteralQuery::kOr);
        for (Prefilter* sub : *filter->subs()) q.parts.push_back(FromPrefilter(sub, p, asciiOnly));
        return q;
    }
    default:
        return Leaf(LiteralQuery::kAll);
    }
}

std::string LongestCommonPart(const std::string& a, const std::string& b) {
    size_t bestAt = 0, best = 0;
    std::vector<size_t> row(b.size() + 1, 0), next(b.size() + 1, 0);
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            next[j] = a[i - 1] == b[j - 1] ? row[j - 1] + 1 : 0;
            if (next[j] > best) {
                best = next[j];
                bestAt = i - best;
            }
        }
        row.swap(next);
    }
    return a.substr(bestAt, best);
}

// One string that every way through the tree holds: the longest of an
// AND's, what all of an OR's have in common.
std::string RequiredString(const LiteralQuery& q) {
    switch (q.kind) {
    case LiteralQuery::kLiteral:
        return q.literal;
    case LiteralQuery::kAnd: {
        std::string best;
        for (const LiteralQuery& part : q.parts) {
            const std::string s = RequiredString(part);
            if (s.size() > best.size()) best = s;
        }
        return best;
    }
    case LiteralQuery::kOr: {
        if (q.parts.empty()) return std::string();
        std::string common = RequiredString(q.parts[0]);
        for (size_t i = 1; i < q.parts.size() && !common.empty(); ++i)
            common = LongestCommonPart(common, RequiredString(q.parts[i]));
        return common;
    }
    default:
        return std::string();
    }
}

// The longest required string to search for, and the other strings an AND
// holds, to check its candidates with.
void CandidatesFrom(const LiteralQuery& q, std::string& literal, std::vector<std::string>& others) {
    literal = RequiredString(q);
    others.clear();
    if (literal.size() < kMinCandidateLiteral) {
        literal.clear();
        return;
    }
    if (q.kind != LiteralQuery::kAnd) return;
    bool passed = false;  // the part the literal comes from
    for (const LiteralQuery& part : q.parts) {
        const std::string s = RequiredString(part);
        if (s.empty()) continue;
        if (!passed && s == literal) {
            passed = true;
            continue;
        }
        others.push_back(s);
    }
}

}  // namespace

CompiledPattern* CompilePattern(const std::string& pattern, PatternEncoding encoding,
                                const unsigned char* leadBytes, bool caseInsensitive, bool wholeWords,
                                PatternFault* fault) {
    const bool utf8 = encoding == kUtf8Pattern;
    std::vector<size_t> origin;
    const std::string parsed = WithStandIns(pattern, utf8, leadBytes, origin);
    const int flags = Regexp::LikePerl | Regexp::NeverNL | (caseInsensitive ? Regexp::FoldCase : 0);
    re2::RegexpStatus status;
    Regexp* re = Regexp::Parse(parsed, static_cast<Regexp::ParseFlags>(flags), &status);
    if (re == nullptr) {
        SetParseFault(status, pattern, parsed, origin, utf8, leadBytes, fault);
        return nullptr;
    }
    std::unique_ptr<CompiledPattern> p(new CompiledPattern);
    p->utf8 = utf8;
    p->dbcs = leadBytes != nullptr;
    if (leadBytes != nullptr) memcpy(p->leadBytes, leadBytes, sizeof p->leadBytes);
    else memset(p->leadBytes, 0, sizeof p->leadBytes);

    Printer line(utf8, false), scan(utf8, true, HoldsEnd(re));
    std::string plain, lineText, scanText;
    line.Print(re, kWhole, plain);
    p->groups = 0;
    if (wholeWords) {
        p->groups = WholeWords(line, re, lineText);
        WholeWords(scan, re, scanText);
    } else {
        lineText = plain;
        scan.Print(re, kWhole, scanText);
    }
    re->Decref();
    if (!Compiled(p->plain, plain, utf8, fault) || !Compiled(p->line, lineText, utf8, fault) ||
        !Compiled(p->scan, scanText, utf8, fault))
        return nullptr;
    if (!utf8) {
        std::unique_ptr<Prefilter> filter(Prefilter::FromRE2(p->plain.get()));
        CandidatesFrom(FromPrefilter(filter.get(), *p, false), p->literal, p->others);
        CandidatesFrom(FromPrefilter(filter.get(), *p, true), p->asciiLiteral, p->asciiOthers);
    }
    return p.release();
}

void FreePattern(const CompiledPattern* pattern) { delete pattern; }

bool FindInLine(const CompiledPattern& pattern, const char* line, size_t length, size_t from, bool goesOn,
                MatchSpan* span) {
    StringPiece groups[9];
    const int wanted = span == nullptr ? 0 : 1 + pattern.groups;
    const size_t end = goesOn && length > from ? length - 1 : length;
    if (!pattern.line->Match(StringPiece(line, length), from, end, RE2::UNANCHORED, groups, wanted)) return false;
    if (span == nullptr) return true;
    const StringPiece* match = &groups[0];
    for (int g = 1; g <= pattern.groups; ++g)
        if (groups[g].data() != nullptr) match = &groups[g];
    span->begin = static_cast<size_t>(match->data() - line);
    span->end = span->begin + match->size();
    return true;
}

bool NextCandidate(const CompiledPattern& pattern, const char* text, size_t from, size_t to, size_t* at) {
    StringPiece match;
    if (!pattern.scan->Match(StringPiece(text, to), from, to, RE2::UNANCHORED, &match, 1)) return false;
    *at = static_cast<size_t>(match.data() - text);
    return true;
}

const std::string& CandidateLiteral(const CompiledPattern& pattern, bool asciiOnly) {
    return asciiOnly ? pattern.asciiLiteral : pattern.literal;
}

const std::vector<std::string>& OtherLiterals(const CompiledPattern& pattern, bool asciiOnly) {
    return asciiOnly ? pattern.asciiOthers : pattern.others;
}

LiteralQuery PatternLiterals(const CompiledPattern& pattern, bool asciiOnly) {
    std::unique_ptr<Prefilter> filter(Prefilter::FromRE2(pattern.plain.get()));
    return FromPrefilter(filter.get(), pattern, asciiOnly);
}
