// The program's search run, natively: indexes the given wildcard search paths
// and prints the full path of every file that holds the query, in index
// order, like `grep -l`. For comparing with other tools on the same files.
//   vantrel_search [-i] <query> <search path>...

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "core/file_index_posix.h"
#include "core/search_engine.h"

namespace {

int Unreadable;

void Visiting(const char*) {}
void Found(const char* path) {
    fputs(path, stdout);
    putc('\n', stdout);
}
// Three tones per unopenable file; counted once.
void Tone(unsigned hertz) { Unreadable += hertz == 200; }

}  // namespace

int main(int argc, char** argv) {
    int first = 1;
    const bool caseInsensitive = argc > 1 && strcmp(argv[1], "-i") == 0;
    if (caseInsensitive) ++first;
    if (argc - first < 2) {
        fprintf(stderr, "usage: vantrel_search [-i] <query> <search path>...\n");
        return 2;
    }
    // The query's bytes are taken as Latin-1 characters for its other spellings.
    static QuerySpellings query;
    if (!PrepareQuerySpellings(argv[first], nullptr, query)) {
        fprintf(stderr, "the query is longer than %d bytes in one of its spellings\n", kMaxQueryLength);
        return 2;
    }
    static char base[4096];
    if (getcwd(base, sizeof base - 1) == nullptr) return 2;
    strcat(base, "/");
    char* index = BuildPosixFileIndex(argv + first + 1, argc - first - 1, base);
    if (index == nullptr) return 2;
    static char path[32768];
    const SearchEvents events = {Visiting, Found, Tone};
    SearchIndex(index, query, caseInsensitive, path, sizeof path, events);
    free(index);
    if (Unreadable > 0) fprintf(stderr, "%d files could not be read\n", Unreadable);
    return 0;
}
