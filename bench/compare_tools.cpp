// Times the native search engine, with one reader per processor and with
// one, against grep and ripgrep run as their users run them: on the folder,
// recursively, each with its default threads. Same files and queries (the
// planted texts, as text and as whole words, and patterns), in interleaved
// rounds on a warm cache; checks that all list the same files, and prints
// medians, ratios and peak memory. A whole-word or pattern row is also
// compared with the engine's text search it stands beside: the same query
// as text, or the text that the pattern's literal is.
//   compare_tools <vantrel_search> <rounds> <corpus folder>...

#include <dirent.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "bench/corpus_text.h"

extern char** environ;

namespace {

enum Tool { kEngine, kEngineOne, kGrep, kRipgrep, kToolCount };
const char* const kToolNames[kToolCount] = {"vantrel", "vantrel -j1", "grep", "rg"};

// How each tool is told what kind of query it gets: a new kind is one more
// of these and the cases that use it.
struct QueryKind {
    const char* name;  // as the table shows it
    std::vector<std::string> flags[kToolCount];
};
const QueryKind kFixedText = {"", {{}, {}, {"-F"}, {"-F"}}};
const QueryKind kWholeWords = {"-w", {{"-w"}, {"-w"}, {"-w", "-F"}, {"-w", "-F"}}};
// grep's -P is the syntax closest to RE2's; rg's own is RE2-like.
const QueryKind kPattern = {"-E", {{"-E"}, {"-E"}, {"-P"}, {}}};

// The patterns, each with the text that its literal is: a pattern is timed
// against the engine's search for that text.
const struct {
    const char* pattern;
    const char* literal;  // null: the pattern has none worth searching for
} kPatterns[] = {
    {"MessageBox[AW]", "MessageBox"},
    {"WM_[A-Z]+COMMAND", "COMMAND"},
    {"^#define\\s+WM_", "#define"},
    {"\\w+Ex\\(", nullptr},
};

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

// Runs argv with stdout captured; stderr goes to /dev/null.
Outcome Run(const std::vector<std::string>& args, const std::vector<std::string>& env) {
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

// Whether the folder holds anything besides *.inc files: only then does rg
// need a glob to leave them out, as its users would give it.
bool HoldsOtherFiles(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        perror(folder.c_str());
        exit(2);
    }
    bool other = false;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".inc") != 0) other = true;
    }
    closedir(dir);
    return other;
}

struct Case {
    std::string corpus;  // folder
    bool otherFiles;     // besides *.inc
    std::string label;
    std::string query;
    const QueryKind* kind;
    std::vector<std::string> options;  // the same for every tool, such as -i
    int textCase;  // the text search this one is compared with, -1 for none
    std::vector<std::vector<double>> ms = std::vector<std::vector<double>>(kToolCount);
    long peakKiB[kToolCount] = {};
    size_t files = 0;
};

// The command line for one tool: the engine takes the program's own search
// path, grep and rg the folder, as their users type them.
std::vector<std::string> Command(int tool, const Case& c, const std::string& engine) {
    std::vector<std::string> args;
    switch (tool) {
        case kEngine: args = {engine}; break;
        case kEngineOne: args = {engine, "-j1"}; break;
        case kGrep: args = {"grep", "-r", "-l", "--include=*.inc"}; break;
        case kRipgrep:
            args = {"rg", "-l"};
            if (c.otherFiles) args.insert(args.end(), {"-g", "*.inc"});
            break;
    }
    args.insert(args.end(), c.kind->flags[tool].begin(), c.kind->flags[tool].end());
    args.insert(args.end(), c.options.begin(), c.options.end());
    if (tool == kEngine || tool == kEngineOne) args.insert(args.end(), {c.query, c.corpus + "/*.inc"});
    else args.insert(args.end(), {"--", c.query, c.corpus});
    return args;
}

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
    for (int c = 3; c < argc; ++c) {
        const std::string folder = argv[c];
        const bool other = HoldsOtherFiles(folder);
        for (const PlantedQuery& q : kPlantedQueries) {
            const int text = static_cast<int>(cases.size());
            cases.push_back({folder, other, q.label, q.text, &kFixedText, {}, -1});
            cases.push_back({folder, other, q.label, q.mixedCase, &kFixedText, {"-i"}, -1});
            cases.push_back({folder, other, q.label, q.text, &kWholeWords, {}, text});
            cases.push_back({folder, other, q.label, q.mixedCase, &kWholeWords, {"-i"}, text + 1});
        }
        for (const auto& p : kPatterns) {
            int text = -1;
            if (p.literal != nullptr) {
                text = static_cast<int>(cases.size());
                cases.push_back({folder, other, p.literal, p.literal, &kFixedText, {}, -1});
            }
            cases.push_back({folder, other, p.pattern, p.pattern, &kPattern, {}, text});
        }
    }

    const std::string peakFile = "/tmp/vantrel-peak-" + std::to_string(getpid());
    bool agree = true;
    // Round 0 warms the cache and is not counted.
    for (int round = 0; round <= rounds; ++round) {
        for (Case& c : cases) {
            std::vector<std::string> listed[kToolCount];
            for (int t = 0; t < kToolCount; ++t) {
                const std::vector<std::string> args = Command(t, c, engine);
                const std::vector<std::string> env =
                    t == kGrep ? std::vector<std::string>{"LC_ALL=C"} : std::vector<std::string>{};
                if (round == 0) {
                    // Peak memory through /usr/bin/time: a spawned child's own
                    // figure would include this process's pages.
                    std::vector<std::string> timed = {"/usr/bin/time", "-f", "%M", "-o", peakFile};
                    timed.insert(timed.end(), args.begin(), args.end());
                    listed[t] = Names(Run(timed, env).output);
                    c.peakKiB[t] = ReadLastNumber(peakFile);
                    continue;
                }
                c.ms[t].push_back(Run(args, env).ms);
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
    printf("%-6s %-18s %-6s %6s", "corpus", "query", "flags", "files");
    for (const char* name : kToolNames) printf(" %11s", name);
    printf(" %7s %7s %7s %s\n", "v/grep", "v/rg", "v/text", "peak MiB v/v1/grep/rg");
    for (const Case& c : cases) {
        double m[kToolCount];
        for (int t = 0; t < kToolCount; ++t) m[t] = Median(c.ms[t]);
        std::string name = c.corpus.substr(c.corpus.find_last_of('/') + 1);
        std::string flags = c.kind->name;
        for (const std::string& o : c.options) flags += (flags.empty() ? "" : " ") + o;
        printf("%-6s %-18s %-6s %6zu", name.c_str(), c.label.c_str(), flags.c_str(), c.files);
        for (double ms : m) printf(" %11.1f", ms);
        printf(" %7.2f %7.2f ", m[kEngine] / m[kGrep], m[kEngine] / m[kRipgrep]);
        if (c.textCase >= 0)
            printf("%7.2f ", m[kEngine] / Median(cases[static_cast<size_t>(c.textCase)].ms[kEngine]));
        else
            printf("%7s ", "");
        for (int t = 0; t < kToolCount; ++t) printf("%s%.1f", t == 0 ? "" : "/", c.peakKiB[t] / 1024.0);
        printf("\n");
    }
    if (!agree) printf("\nThe tools DISAGREE on some files: see above.\n");
    return agree ? 0 : 1;
}
