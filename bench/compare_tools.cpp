// Times the native search engine, with one reader and with one per
// processor, against grep and ripgrep (with one thread and with its default
// threads) on the same files and queries, in interleaved rounds on a warm
// cache, checks that all list the same files, and prints medians, ratios and
// peak memory.
//   compare_tools <vantrel_search> <rounds> <corpus folder>...

#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "bench/corpus_text.h"

extern char** environ;

namespace {

enum Tool { kEngine, kEngineOne, kGrep, kRipgrep, kRipgrepOne, kToolCount };
const char* const kToolNames[kToolCount] = {"vantrel", "vantrel -j1", "grep", "rg", "rg -j1"};

struct Outcome {
    double ms;
    std::string output;
};

// The number on the file's last line: before it, time may say how the command exited.
long ReadLastNumber(const std::string& path) {
    FILE* file = fopen(path.c_str(), "r");
    if (file == nullptr) return -1;
    long value = -1;
    char line[256];
    while (fgets(line, sizeof line, file) != nullptr) value = atol(line);
    fclose(file);
    return value;
}

// Runs argv in folder with stdout captured; stderr goes to /dev/null.
Outcome Run(const std::vector<std::string>& args, const std::string& folder, const std::vector<std::string>& env) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    for (char** e = environ; *e != nullptr; ++e)
        if (strncmp(*e, "LC_ALL=", 7) != 0) envp.push_back(*e);
    envp.push_back(nullptr);

    int out[2];
    if (pipe(out) != 0) exit(2);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 0x1 /* O_WRONLY */, 0);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());

    Outcome outcome;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
        fprintf(stderr, "cannot start %s\n", argv[0]);
        exit(2);
    }
    close(out[1]);
    char chunk[65536];
    ssize_t n;
    while ((n = read(out[0], chunk, sizeof chunk)) > 0) outcome.output.append(chunk, static_cast<size_t>(n));
    close(out[0]);
    int status;
    waitpid(pid, &status, 0);
    outcome.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    return outcome;
}

// The file names of the listed paths, sorted: the tools print them in
// different forms and orders.
std::vector<std::string> Names(const std::string& output) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        std::string line = output.substr(start, end - start);
        const size_t slash = line.rfind('/');
        names.push_back(slash == std::string::npos ? line : line.substr(slash + 1));
        start = end + 1;
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> ListFiles(const std::string& folder) {
    Outcome listing = Run({"sh", "-c", "ls -1 -- *.inc"}, folder, {"LC_ALL=C"});
    return Names(listing.output);
}

struct Case {
    std::string corpus;  // folder
    std::string label;
    std::string query;
    bool caseInsensitive;
    std::vector<double> ms[kToolCount];
    long peakKiB[kToolCount] = {};
    size_t files = 0;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: compare_tools <vantrel_search> <rounds> <corpus folder>...\n");
        return 2;
    }
    const std::string engine = argv[1];
    const int rounds = atoi(argv[2]);
    std::vector<Case> cases;
    std::map<std::string, std::vector<std::string>> files;
    for (int c = 3; c < argc; ++c) {
        const std::string folder = argv[c];
        files[folder] = ListFiles(folder);
        for (const PlantedQuery& q : kPlantedQueries) {
            cases.push_back({folder, q.label, q.text, false, {}});
            cases.push_back({folder, q.label, q.mixedCase, true, {}});
        }
    }

    const std::string peakFile = "/tmp/vantrel-peak-" + std::to_string(getpid());
    bool agree = true;
    // Round 0 warms the cache and is not counted.
    for (int round = 0; round <= rounds; ++round) {
        for (Case& c : cases) {
            const std::vector<std::string>& list = files[c.corpus];
            std::vector<std::string> args[kToolCount];
            args[kEngine] = {engine};
            args[kEngineOne] = {engine, "-j1"};
            args[kGrep] = {"grep", "-l", "-F"};
            args[kRipgrep] = {"rg", "-l", "-F"};
            args[kRipgrepOne] = {"rg", "-j1", "-l", "-F"};
            for (int t = 0; t < kToolCount; ++t) {
                if (c.caseInsensitive) args[t].push_back("-i");
                if (t <= kEngineOne) {
                    args[t].insert(args[t].end(), {c.query, "*.inc"});
                    continue;
                }
                args[t].insert(args[t].end(), {"--", c.query});
                args[t].insert(args[t].end(), list.begin(), list.end());
            }
            std::vector<std::string> listed[kToolCount];
            for (int t = 0; t < kToolCount; ++t) {
                const std::vector<std::string> env =
                    t == kGrep ? std::vector<std::string>{"LC_ALL=C"} : std::vector<std::string>{};
                if (round == 0) {
                    // Peak memory through /usr/bin/time: a spawned child's own
                    // figure would include this process's pages.
                    std::vector<std::string> timed = {"/usr/bin/time", "-f", "%M", "-o", peakFile};
                    timed.insert(timed.end(), args[t].begin(), args[t].end());
                    listed[t] = Names(Run(timed, c.corpus, env).output);
                    c.peakKiB[t] = ReadLastNumber(peakFile);
                    continue;
                }
                c.ms[t].push_back(Run(args[t], c.corpus, env).ms);
            }
            if (round == 0) {
                c.files = listed[kEngine].size();
                for (int t = kEngineOne; t < kToolCount; ++t) {
                    if (listed[t] != listed[kEngine]) {
                        fprintf(stderr, "DISAGREE on %s '%s': vantrel %zu files, %s %zu\n", c.corpus.c_str(),
                                c.query.c_str(), listed[kEngine].size(), kToolNames[t], listed[t].size());
                        agree = false;
                    }
                }
            }
        }
    }

    unlink(peakFile.c_str());
    printf("%d rounds, medians in ms; peak memory (resident) in MiB\n\n", rounds);
    printf("%-6s %-8s %-3s %6s", "corpus", "query", "", "files");
    for (const char* name : kToolNames) printf(" %11s", name);
    printf(" %7s %7s %7s %s\n", "v/grep", "v/rg", "v1/rg1", "peak MiB v/v1/grep/rg/rg1");
    for (const Case& c : cases) {
        double m[kToolCount];
        for (int t = 0; t < kToolCount; ++t) m[t] = Median(c.ms[t]);
        std::string name = c.corpus.substr(c.corpus.find_last_of('/') + 1);
        printf("%-6s %-8s %-3s %6zu", name.c_str(), c.label.c_str(), c.caseInsensitive ? "-i" : "", c.files);
        for (double ms : m) printf(" %11.1f", ms);
        printf(" %7.2f %7.2f %7.2f ", m[kEngine] / m[kGrep], m[kEngine] / m[kRipgrep], m[kEngineOne] / m[kRipgrepOne]);
        for (int t = 0; t < kToolCount; ++t) printf("%s%.1f", t == 0 ? "" : "/", c.peakKiB[t] / 1024.0);
        printf("\n");
    }
    if (!agree) printf("\nThe tools DISAGREE on some files: see above.\n");
    return agree ? 0 : 1;
}
