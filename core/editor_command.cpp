#include "core/editor_command.h"

#include <string.h>

#include "core/decimal_text.h"

namespace {

const char kFilePlaceholder[] = "%file%";
const char kLinePlaceholder[] = "%line%";

// Editors whose line option needs no setting, by their program's file name.
const struct {
    const char* name;
    const char* form;
} kKnownEditors[] = {
    {"notepad++.exe", "-n%line% \"%file%\""},
    {"code.exe", "-g \"%file%:%line%\""},
    {"sublime_text.exe", "\"%file%:%line%\""},
    {"subl.exe", "\"%file%:%line%\""},
    {"gvim.exe", "+%line% \"%file%\""},
    {"vim.exe", "+%line% \"%file%\""},
    {"notepad2.exe", "/g %line% \"%file%\""},
    {"notepad3.exe", "/g %line% \"%file%\""},
    {"emacs.exe", "+%line% \"%file%\""},
    {"runemacs.exe", "+%line% \"%file%\""},
};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// ASCII letters fold; the first n bytes of text against the whole of word.
bool SameWord(const char* text, size_t n, const char* word) {
    if (strlen(word) != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (Lower(text[i]) != Lower(word[i])) return false;
    return true;
}

bool StartsWithWord(const char* text, const char* word) {
    const size_t n = strlen(word);
    return strlen(text) >= n && SameWord(text, n, word);
}

// The first placeholder in text, or null.
const char* FindPlaceholder(const char* text) {
    for (const char* p = text; *p != '\0'; ++p)
        if (StartsWithWord(p, kFilePlaceholder) || StartsWithWord(p, kLinePlaceholder)) return p;
    return nullptr;
}

bool HoldsLinePlaceholder(const char* text) {
    for (const char* p = text; *p != '\0'; ++p)
        if (StartsWithWord(p, kLinePlaceholder)) return true;
    return false;
}

// A known editor's form for the program, which may stand in quotes.
const char* KnownForm(const char* program) {
    size_t length = strlen(program);
    if (length >= 2 && program[0] == '"' && program[length - 1] == '"') --length;
    size_t name = length;
    while (name > 0 && program[name - 1] != '\\' && program[name - 1] != '/' && program[name - 1] != '"') --name;
    for (const auto& editor : kKnownEditors)
        if (SameWord(program + name, length - name, editor.name)) return editor.form;
    return nullptr;
}

struct Writer {
    char* out;
    size_t size;
    size_t used;
    bool fits;
};

void Append(Writer& w, const char* text, size_t n) {
    if (!w.fits || n >= w.size - w.used) {
        w.fits = false;
        return;
    }
    memcpy(w.out + w.used, text, n);
    w.used += n;
    w.out[w.used] = '\0';
}

void AppendText(Writer& w, const char* text) { Append(w, text, strlen(text)); }

// The template with its placeholders replaced; false when it does not fit.
bool Expand(const char* form, const char* path, unsigned long long line, char* out, size_t size) {
    char number[kLongDecimalTextSize];
    FormatUnsignedDecimal(line, number);
    Writer w = {out, size, 0, size > 0};
    if (w.fits) out[0] = '\0';
    for (const char* p = form; *p != '\0';) {
        if (StartsWithWord(p, kFilePlaceholder)) {
            AppendText(w, path);
            p += sizeof kFilePlaceholder - 1;
        } else if (StartsWithWord(p, kLinePlaceholder)) {
            AppendText(w, number);
            p += sizeof kLinePlaceholder - 1;
        } else {
            Append(w, p++, 1);
        }
    }
    return w.fits;
}

void QuotePath(const char* path, char* out, size_t size) {
    Writer w = {out, size, 0, size > 0};
    if (w.fits) out[0] = '\0';
    AppendText(w, "\"");
    AppendText(w, path);
    AppendText(w, "\"");
}

// Splits a setting that holds a template into its program and where the
// template begins; restoreQuote tells that the settings file dropped the
// quotes around the whole value, and the template gets its last one back.
void SplitProgram(const char* setting, char* program, const char** form, bool* restoreQuote) {
    const char* begin = setting;
    const char* end;
    *restoreQuote = false;
    const char* quote = strchr(setting, '"');
    const char* placeholder = FindPlaceholder(setting);
    if (setting[0] == '"') {
        begin = setting + 1;
        end = strchr(begin, '"');
        if (end == nullptr) end = begin + strlen(begin);
        *form = *end == '"' ? end + 1 : end;
    } else if (quote != nullptr && quote < placeholder && quote[1] == ' ') {
        // "C:\My Editor\me.exe" ... "%file%" as the settings file gives it back.
        end = quote;
        *form = quote + 1;
        *restoreQuote = true;
    } else {
        end = strchr(setting, ' ');
        if (end == nullptr) end = setting + strlen(setting);
        *form = end;
    }
    size_t length = static_cast<size_t>(end - begin);
    if (length >= kEditorProgramSize) length = kEditorProgramSize - 1;
    memcpy(program, begin, length);
    program[length] = '\0';
    while (**form == ' ') ++*form;
}

}  // namespace

bool MakeEditorCommand(const char* setting, const char* path, unsigned long long line, char* program,
                       char* parameters, size_t parametersSize) {
    if (setting[0] == '\0') return false;
    char form[2 * kEditorProgramSize];
    const char* chosen = nullptr;
    if (FindPlaceholder(setting) != nullptr) {
        const char* rest;
        bool restoreQuote;
        SplitProgram(setting, program, &rest, &restoreQuote);
        Writer w = {form, sizeof form, 0, true};
        form[0] = '\0';
        AppendText(w, rest);
        if (restoreQuote) AppendText(w, "\"");
        if (w.fits) chosen = form;
    } else {
        // Unchanged, as the setting has always been used.
        strncpy(program, setting, kEditorProgramSize - 1);
        program[kEditorProgramSize - 1] = '\0';
        chosen = KnownForm(setting);
    }
    if (chosen != nullptr && (line != 0 || !HoldsLinePlaceholder(chosen)) &&
        Expand(chosen, path, line, parameters, parametersSize))
        return true;
    QuotePath(path, parameters, parametersSize);
    return true;
}
