#include "core/line_lookup.h"

#include <windows.h>

#include "core/long_path.h"

namespace {

char LookupBuffer[kLocatorBufferSize];

bool ReadPiece(void* context, char* into, size_t want, size_t* got) {
    DWORD read = 0;
    const BOOL ok = ReadFile(*static_cast<HANDLE*>(context), into, static_cast<DWORD>(want), &read, nullptr);
    *got = read;
    return ok != FALSE;
}

}  // namespace

void LookUpLine(const char* path, const char* query, bool caseInsensitive, LineLocation* out) {
    out->line = 0;
    out->text[0] = '\0';
    // Whoever has the file open, even for writing or deleting, it is read.
    HANDLE file = OpenFileForReading(path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     FILE_FLAG_SEQUENTIAL_SCAN);
    if (file == INVALID_HANDLE_VALUE) return;
    LocateLine(ReadPiece, &file, LookupBuffer, query, caseInsensitive, out);
    CloseHandle(file);
}
