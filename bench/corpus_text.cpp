#include "bench/corpus_text.h"

#include <stdio.h>

namespace {

// No 'j' or 'z' in any of these, and 'q' only in "equ ": the planted queries
// below rely on that to occur exactly where they are planted.
const char* const kParts[] = {
    "Get",    "Set",   "Create", "Open",    "Close",  "Message", "Box",    "File",   "Window", "Proc",
    "Reg",    "Key",   "Value",  "Ex",      "Info",   "Handle",  "Thread", "Module", "Name",   "Path",
    "Text",   "Font",  "Brush",  "Menu",    "Item",   "Dialog",  "Color",  "Mode",   "Widget", "Rect",
    "Point",  "Heap",  "Alloc",  "Free",    "Load",   "Lib",     "Cursor", "Icon",   "Bitmap", "Stream",
    "Buffer", "Class", "Long",   "Process", "Length", "Format",  "Char",   "Wait",   "Event",  "Data"};
const char* const kTypes[] = {"DWORD", "WORD", "BYTE", "HWND", "LPSTR", "HANDLE", "BOOL", "LPARAM", "WPARAM"};

template <size_t N>
size_t CountOf(const char* const (&)[N]) {
    return N;
}

// Include files align their values in columns.
void PadTo(std::string& line, size_t column) { line.append(line.size() < column ? column - line.size() : 1, ' '); }

}  // namespace

const PlantedQuery kPlantedQueries[4] = {
    {"rare", "ZephyrPortalQuad", "zEPHYRpORTALqUAD"},
    {"once", "OncePerFileJot", "oNCEpERfILEjOT"},
    {"frequent", "FrequentQuill", "fREQUENTqUILL"},
    {"absent", "NowhereJazzQix", "nOWHEREjAZZqIX"},
};

// splitmix64: small, fast and the same everywhere.
uint64_t CorpusText::Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::string CorpusText::Name() {
    std::string s;
    const size_t parts = 2 + Pick(3);
    for (size_t i = 0; i < parts; ++i) s += kParts[Pick(CountOf(kParts))];
    return s;
}

std::string CorpusText::Upper(const std::string& name) {
    std::string out;
    for (char c : name) {
        if (c >= 'A' && c <= 'Z' && !out.empty()) out += '_';
        out += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    }
    return out;
}

std::string CorpusText::Type() { return kTypes[Pick(CountOf(kTypes))]; }

std::string CorpusText::Line() {
    char number[32];
    std::string line;
    switch (Pick(6)) {
    case 0:
        line = "#define " + Upper(Name());
        PadTo(line, 48);
        snprintf(number, sizeof number, "0x%04X", static_cast<unsigned>(Pick(0x10000)));
        line += number;
        break;
    case 1: {
        line = Name() + (Pick(2) ? "A" : "W");
        PadTo(line, 32);
        line += "PROTO";
        const size_t args = Pick(6);
        for (size_t i = 0; i < args; ++i) line += (i ? ", :" : " :") + Type();
        break;
    }
    case 2:
        line = Upper(Name());
        PadTo(line, 40);
        snprintf(number, sizeof number, "equ %uh", static_cast<unsigned>(Pick(100000)));
        line += number;
        break;
    case 3:
        line = "; " + Name() + " returns the " + Name() + " of the " + Name();
        break;
    case 4: {
        line = "WINUSERAPI " + Type() + " WINAPI " + Name() + "(";
        const size_t args = 1 + Pick(4);
        for (size_t i = 0; i < args; ++i) line += (i ? ", " : "") + Type() + " " + Name();
        line += ");";
        break;
    }
    default:
        line = "    " + Name();
        PadTo(line, 28);
        line += Type() + " ?";
        break;
    }
    return line + "\r\n";
}

std::string CorpusText::Text(size_t size) {
    std::string text;
    text.reserve(size + 256);
    while (text.size() < size) text += Line();
    text.resize(size);
    return text;
}
