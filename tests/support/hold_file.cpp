// Opens the file named on its command line with share mode 0, so that no one
// else may open it, says "held" (or "failed") on its output, and keeps it
// until its input ends.
#include <windows.h>

#include <stdio.h>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    HANDLE file = CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    printf(file != INVALID_HANDLE_VALUE ? "held\n" : "failed\n");
    fflush(stdout);
    char chunk[64];
    DWORD got;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), chunk, sizeof chunk, &got, nullptr) && got > 0) {
    }
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return 0;
}
