// The program's search run, natively: indexes the given wildcard search paths
// and prints the full path of every file that holds the query, in index
// order, like `grep -l`. For comparing with other tools on the same files.
//   vantrel_search [-jN] [-i] [-w] [-E] <query> <search path>...
// -jN reads with N readers; without it, one per processor. -w: whole words;
// -E: the query is a pattern.

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "core/file_index_posix.h"
#include "core/search_engine.h"

namespace {

int Unreadable;

void Visiting(void*, const char*) {}
// One line per path, as the other tools print them.
bool Rows(void*, RowBatch* batch) {
    for (char& c : batch->paths)
        if (c == '\0') c = '\n';
    fwrite(batch->paths.data(), 1, batch->paths.size(), stdout);
    FreeRowBatch(batch);
    return true;
}
// Three tones per unopenable file; counted once.
void Tone(void*, unsigned hertz) { Unreadable += hertz == 200; }
bool Finished(void*, bool) { return true; }

}  // namespace

int main(int argc, char** argv) {
    int first = 1;
    int readers = DefaultReaderCount();
    bool caseInsensitive = false, wholeWords = false, pattern = false;
    for (; first < argc && argv[first][0] == '-'; ++first) {
        if (strncmp(argv[first], "-j", 2) == 0) readers = atoi(argv[first] + 2);
        else if (strcmp(argv[first], "-i") == 0) caseInsensitive = true;
        else if (strcmp(argv[first], "-w") == 0) wholeWords = true;
        else if (strcmp(argv[first], "-E") == 0) pattern = true;
        else break;
    }
    if (argc - first < 2 || readers < 1) {
        fprintf(stderr, "usage: vantrel_search [-jN] [-i] [-w] [-E] <query> <search path>...\n");
        return 2;
    }
    // The query's bytes are taken as Latin-1 characters for its other spellings.
    static QueryMatcher query;
    PatternError error;
    switch (PrepareQueryMatcher(argv[first], nullptr, nullptr, caseInsensitive, wholeWords, pattern, query, &error)) {
    case kQueryTooLong:
        fprintf(stderr, "the query is longer than %d bytes in one of its spellings\n", kMaxQueryLength);
        return 2;
    case kBadPattern:
        fprintf(stderr, "Pattern error at %zu: %s\n", error.position, error.message.c_str());
        return 2;
    default:
        break;
    }
    static char base[4096];
    if (getcwd(base, sizeof base - 1) == nullptr) return 2;
    strcat(base, "/");
    char* index = BuildPosixFileIndex(argv + first + 1, argc - first - 1, base);
    if (index == nullptr) return 2;
    const SearchEvents events = {nullptr, Visiting, Rows, Tone, Finished, false};
    if (!SearchIndex(index, query, readers, events)) return 2;
    free(index);
    ReleaseQueryMatcher(query);
    if (Unreadable > 0) fprintf(stderr, "%d files could not be read\n", Unreadable);
    return 0;
}
