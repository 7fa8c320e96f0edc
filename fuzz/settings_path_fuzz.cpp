// The settings file's location, derived in place from the executable's path.
//
// Input layout:  [slack] executable path
//   slack  the buffer holds the path, its terminator and slack % 8 more bytes;
//          it is a heap block of exactly that size, so a write past it lands
//          in an ASan redzone.

#include <string.h>

#include <memory>
#include <string>

#include "fuzz/fuzz_support.h"
#include "settings/settings_path.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    const size_t slack = input.Byte() % 8;
    const std::string executable = input.Text();
    const size_t bufferSize = executable.size() + 1 + slack;

    std::unique_ptr<char[]> buffer(new char[bufferSize]);
    memset(buffer.get(), 0xAA, bufferSize);
    memcpy(buffer.get(), executable.c_str(), executable.size() + 1);

    const bool ok = SettingsPathFromExecutable(buffer.get(), bufferSize);

    // The extension is what follows the last dot of the name; exactly three
    // characters of it become "ini", anything else keeps the name whole.
    const std::string name = executable.substr(RefDirectoryLength(executable));
    const size_t dot = name.rfind('.');
    bool want = !name.empty();
    std::string settings = executable;
    if (want && dot != std::string::npos && name.size() - dot - 1 == 3) {
        settings.replace(settings.size() - 3, 3, "ini");
    } else if (want) {
        settings += ".ini";
        want = settings.size() < bufferSize;
    }

    const std::string got(buffer.get(), strnlen(buffer.get(), bufferSize));
    FUZZ_CHECK(ok == want, "\"%s\" in %zu bytes: reported %d, want %d", Printable(executable).c_str(), bufferSize, ok,
               want);
    if (!want) settings = executable;  // a refused path is left as it was
    FUZZ_CHECK(got == settings && got.size() < bufferSize, "\"%s\" gave \"%s\", want \"%s\"",
               Printable(executable).c_str(), Printable(got).c_str(), Printable(settings).c_str());
    return 0;
}
