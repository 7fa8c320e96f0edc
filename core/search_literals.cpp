#include "core/search_literals.h"

#include <string>
#include <utility>

namespace {

LiteralQuery Literal(const char* bytes, size_t length) {
    LiteralQuery literal;
    literal.kind = LiteralQuery::kLiteral;
    literal.literal.assign(bytes, length);
    for (char& c : literal.literal)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return literal;
}

}  // namespace

LiteralQuery SpellingLiterals(const QuerySpellings& spellings, bool utf16File) {
    LiteralQuery any;
    any.kind = LiteralQuery::kOr;
    any.parts.push_back(Literal(spellings.ansi, spellings.ansiLength));
    if (spellings.utf8Length != 0) any.parts.push_back(Literal(spellings.utf8, spellings.utf8Length));
    if (utf16File) any.parts.push_back(Literal(spellings.utf16, spellings.utf16Length));
    if (any.parts.size() == 1) return std::move(any.parts[0]);
    return any;
}

bool SearchLiterals(const QueryMatcher& matcher, LiteralQuery& plain, LiteralQuery& utf16) {
    if (matcher.pattern) {
        plain = RequiredLiterals(matcher, false);
        utf16 = RequiredLiterals(matcher, true);
        return plain.kind != LiteralQuery::kAll || utf16.kind != LiteralQuery::kAll;
    }
    // A spelling too short to be looked up rules out no file.
    const QuerySpellings& spellings = matcher.spellings;
    if (spellings.ansiLength < 3 || (spellings.utf8Length != 0 && spellings.utf8Length < 3) ||
        spellings.utf16Length < 3)
        return false;
    plain = SpellingLiterals(spellings, false);
    utf16 = SpellingLiterals(spellings, true);
    return true;
}
