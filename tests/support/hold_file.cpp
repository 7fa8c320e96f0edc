// Opens the file named on its command line and keeps it until its input
// ends, saying "held" (or "failed") on its output once it has it. Alone, it
// holds the file with share mode 0, so that no one else may open it; with
// "write" after the name, it holds it open for writing and lets others only
// read, as an editor or a build does.
#include <windows.h>

#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
    const bool writing = argc == 3 && strcmp(argv[2], "write") == 0;
    if (argc != 2 && !writing) return 2;
    HANDLE file = CreateFileA(argv[1], writing ? GENERIC_WRITE : GENERIC_READ, writing ? FILE_SHARE_READ : 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    printf(file != INVALID_HANDLE_VALUE ? "held\n" : "failed\n");
    fflush(stdout);
    char chunk[64];
    DWORD got;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), chunk, sizeof chunk, &got, nullptr) && got > 0) {
    }
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return 0;
}
