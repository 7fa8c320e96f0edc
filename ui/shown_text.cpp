#include "ui/shown_text.h"

#include <windows.h>

#include "app_state.h"

namespace {

// Appends bytes [from, to) of a line in its encoding, converted to the ANSI
// code page: a character it cannot hold becomes its default character. The
// marks lie between whole characters, so each part converts on its own.
void Append(const char* text, size_t from, size_t to, LineEncoding encoding, ShownText* out) {
    const int room = static_cast<int>(sizeof out->text - 1 - out->length);
    char* into = out->text + out->length;
    if (to <= from || room <= 0) return;
    if (encoding == kAnsiLine) {
        const size_t count = to - from < static_cast<size_t>(room) ? to - from : static_cast<size_t>(room);
        CopyMemory(into, text + from, count);
        out->length += count;
        return;
    }
    static WCHAR wide[kLineTextRoom];
    int units;
    if (encoding == kUtf16Line) {
        units = static_cast<int>((to - from) / 2);
        CopyMemory(wide, text + from, 2 * static_cast<size_t>(units));  // the text need not lie on an even address
    } else {
        units = MultiByteToWideChar(CP_UTF8, 0, text + from, static_cast<int>(to - from), wide, kLineTextRoom);
    }
    if (units <= 0) return;
    const int written = WideCharToMultiByte(CP_ACP, 0, wide, units, into, room, nullptr, nullptr);
    if (written > 0) out->length += static_cast<size_t>(written);
}

void AddMark(size_t begin, size_t end, ShownText* out) {
    if (begin >= end) return;
    if (out->markCount > 0 && out->marks[out->markCount - 1].end >= begin) {
        out->marks[out->markCount - 1].end = static_cast<uint32_t>(end);
        return;
    }
    if (out->markCount == kShownMarkLimit) return;
    out->marks[out->markCount++] = {static_cast<uint32_t>(begin), static_cast<uint32_t>(end)};
}

}  // namespace

// Where the code page cannot hold it, its default character would stand
// in: three dots read better. Under the UTF-8 code page there is no such check.
void PrepareShownTexts() {
    BOOL lost = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, 0, &kEllipsisCharacter, 1, App.Ellipsis, sizeof App.Ellipsis - 1,
                                           nullptr, GetACP() == CP_UTF8 ? nullptr : &lost);
    if (length <= 0 || lost) lstrcpyA(App.Ellipsis, kEllipsisFallback);
    else App.Ellipsis[length] = '\0';
}

void ShowListedLine(const LineListing& listing, size_t index, ShownText* out) {
    const ListedLine& line = listing.lines[index];
    const char* text = listing.text.data() + line.text;
    out->length = 0;
    out->markCount = 0;
    if (line.cutBefore) Append(App.Ellipsis, 0, lstrlenA(App.Ellipsis), kAnsiLine, out);
    size_t at = 0;
    for (size_t m = line.marks; m < line.marks + line.markCount; ++m) {
        const LineMark& mark = listing.marks[m];
        if (mark.begin < at) continue;
        Append(text, at, mark.begin, line.encoding, out);
        const size_t begin = out->length;
        Append(text, mark.begin, mark.end, line.encoding, out);
        AddMark(begin, out->length, out);
        at = mark.end;
    }
    Append(text, at, line.length, line.encoding, out);
    out->text[out->length] = '\0';
}
