#pragma once

#include <string>
#include <vector>

// What every match of a search must contain, as a tree of literal byte
// strings: a file that holds none of the ways through the tree cannot hold a
// match, and need not be read. Literals compare with the ASCII letters folded
// to lower case, whatever the case mode, so one tree serves both.
struct LiteralQuery {
    enum Kind {
        kAll,      // nothing is known: every file may hold a match
        kNone,     // no file can hold a match
        kLiteral,  // the file holds `literal`
        kAnd,      // the file holds every one of `parts`
        kOr,       // the file holds at least one of `parts`
    };
    Kind kind = kAll;
    std::string literal;  // kLiteral: bytes, ASCII letters in lower case
    std::vector<LiteralQuery> parts;
};
