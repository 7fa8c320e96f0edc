// Writes a benchmark corpus of include-style files into a folder:
//   make_corpus big <folder>    2,000 files of 1 KB to 1 MB (log-skewed), about 100 MB
//   make_corpus small <folder>  20,000 files of 3 to 7 KB, about 100 MB
// The same command always writes the same bytes. The planted queries: "rare"
// in one file, "once" at one random line of every file, "frequent" many times
// in the first lines of every file, "absent" nowhere; and for the patterns, a
// window message's #define at a random line of every fifth file.

#include <math.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "bench/corpus_text.h"

namespace {

std::vector<size_t> BigSizes(CorpusText& random) {
    const int kFiles = 2000;
    const double kTarget = 100e6;
    std::vector<double> u(kFiles);
    for (double& x : u) x = static_cast<double>(random.Next() >> 11) / 9007199254740992.0;
    // 1 KB * 1000^(u^k): k = 1 is log-uniform (mean about 145 KB); a larger k
    // skews towards small files. The smallest k that fits the target is used.
    for (double k = 1.0;; k += 0.02) {
        std::vector<size_t> sizes;
        double total = 0;
        for (double x : u) {
            sizes.push_back(static_cast<size_t>(1000.0 * pow(1000.0, pow(x, k))));
            total += static_cast<double>(sizes.back());
        }
        if (total <= kTarget) return sizes;
    }
}

std::vector<size_t> SmallSizes(CorpusText& random) {
    std::vector<size_t> sizes(20000);
    for (size_t& size : sizes) size = 3000 + random.Pick(4001);
    return sizes;
}

// Replaces the line at a random line start after `from` with the given line.
void PlantLine(std::string& text, CorpusText& random, size_t from, const std::string& line) {
    size_t at = from + random.Pick(text.size() - from);
    at = text.rfind('\n', at);
    at = at == std::string::npos ? 0 : at + 1;
    text.insert(at, line);
}

bool WriteFile(const std::string& path, const std::string& text) {
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    bool ok = fwrite(text.data(), 1, text.size(), file) == text.size();
    return fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (strcmp(argv[1], "big") != 0 && strcmp(argv[1], "small") != 0)) {
        fprintf(stderr, "usage: make_corpus big|small <folder>\n");
        return 2;
    }
    const bool big = strcmp(argv[1], "big") == 0;
    const std::string folder = argv[2];
    mkdir(folder.c_str(), 0777);

    CorpusText random(big ? 1 : 2);
    const std::vector<size_t> sizes = big ? BigSizes(random) : SmallSizes(random);
    const size_t rareFile = random.Pick(sizes.size());
    const std::string rare = std::string("    ") + kPlantedQueries[kRareQuery].text + "     DWORD ?\r\n";
    const std::string once = std::string(kPlantedQueries[kOncePerFileQuery].text) + "A              PROTO :DWORD\r\n";
    const std::string frequent = std::string("; ") + kPlantedQueries[kFrequentQuery].text + " draws the widget\r\n";
    const std::string message = "#define WM_SYSCOMMAND                           0x0112\r\n";
    size_t total = 0;
    char name[32];
    for (size_t i = 0; i < sizes.size(); ++i) {
        CorpusText text(1000003 * (i + 1) + (big ? 0 : 7));
        std::string head;
        for (int line = 0; line < 8; ++line) head += frequent + text.Line();
        // The planted lines come on top of the body, so it is that much smaller.
        const size_t planted = head.size() + once.size();
        std::string body = head + text.Text(sizes[i] > planted + 100 ? sizes[i] - planted : 100);
        PlantLine(body, text, head.size(), once);
        if (i == rareFile) PlantLine(body, text, head.size(), rare);
        if (i % 5 == 2) PlantLine(body, text, head.size(), message);
        snprintf(name, sizeof name, big ? "/k%04zu.inc" : "/s%05zu.inc", i);
        if (!WriteFile(folder + name, body)) {
            perror((folder + name).c_str());
            return 1;
        }
        total += body.size();
    }
    printf("%s: %zu files, %.1f MB\n", folder.c_str(), sizes.size(), static_cast<double>(total) / 1e6);
    return 0;
}
