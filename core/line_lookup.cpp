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

// A line found in UTF-16 or by the query's UTF-8 spelling, in the code page
// the list shows; what it cannot hold becomes its default character.
void ToAnsiText(LineLocation* out) {
    static WCHAR wide[kLineTextRoom];
    int units = static_cast<int>(out->length / 2);
    if (out->encoding == kUtf16Line)
        CopyMemory(wide, out->text, out->length);
    else
        units = MultiByteToWideChar(CP_UTF8, 0, out->text, static_cast<int>(out->length), wide, kLineTextRoom);
    const int length = units > 0 ? WideCharToMultiByte(CP_ACP, 0, wide, units, out->text, kLineTextRoom, nullptr,
                                                       nullptr)
                                 : 0;
    out->length = static_cast<size_t>(length);
    out->text[out->length] = '\0';
    out->encoding = kAnsiLine;
}

}  // namespace

void LookUpLine(const char* path, const QueryMatcher& matcher, LineLocation* out) {
    out->line = 0;
    out->length = 0;
    out->text[0] = '\0';
    // Whoever has the file open, even for writing or deleting, it is read.
    HANDLE file = OpenFileForReading(path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     FILE_FLAG_SEQUENTIAL_SCAN);
    if (file == INVALID_HANDLE_VALUE) return;
    LocateLine(ReadPiece, &file, LookupBuffer, matcher, out);
    CloseHandle(file);
    if (out->encoding != kAnsiLine && out->length > 0) ToAnsiText(out);
}
