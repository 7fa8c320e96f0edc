// The search run natively, on real files through the POSIX platform module.

#include "core/search_engine.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/file_index_posix.h"
#include "search_record.h"

namespace {

class SearchEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vantrel-engine-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = std::string(pattern) + "/";
    }
    void TearDown() override { system(("rm -rf '" + folder_ + "'").c_str()); }

    void Write(const std::string& name, const std::string& text) {
        std::ofstream(folder_ + name, std::ios::binary) << text;
    }
    void MakeFolders(std::vector<std::string> names) {
        for (const std::string& name : names) mkdir((folder_ + name).c_str(), 0777);
    }

    std::vector<std::string> Search(std::vector<std::string> paths, const char* query, bool caseInsensitive,
                                    bool wholeWords = false, bool pattern = false) {
        std::vector<const char*> raw;
        for (const std::string& p : paths) raw.push_back(p.c_str());
        char* index = BuildPosixFileIndex(raw.data(), static_cast<int>(raw.size()), folder_.c_str());
        last_.reset(new SearchRecord);
        static QueryMatcher matcher;  // a Latin-1 query
        ReleaseQueryMatcher(matcher);
        PatternError error;
        EXPECT_EQ(PrepareQueryMatcher(query, nullptr, nullptr, caseInsensitive, wholeWords, pattern, matcher, &error),
                  kMatcherReady)
            << query << ": " << error.message;
        EXPECT_TRUE(SearchIndex(index, matcher, DefaultReaderCount(), RecordingEvents(last_.get())));
        free(index);
        EXPECT_EQ(last_->finished, 1);
        EXPECT_FALSE(last_->stopped);
        tones_.insert(tones_.end(), last_->tones.begin(), last_->tones.end());
        return last_->rows;
    }

    std::string folder_;
    std::unique_ptr<SearchRecord> last_;
    std::vector<unsigned> tones_;  // of every search in the test
};

TEST_F(SearchEngineTest, RowsFollowTheIndexAndUnreadableEntriesSoundTheTones) {
    mkdir((folder_ + "inc").c_str(), 0777);
    mkdir((folder_ + "inc/sub.inc").c_str(), 0777);
    Write("inc/a.inc", "nothing here");
    Write("inc/b.INC", "call MessageBoxA\r\nMessageBox again");
    Write("inc/c.txt", "MessageBox, but not an include");
    Write("inc/x:y.inc", "MessageBox");  // reads like a drive: it keeps its own directory
    Write("second.h", "MessageBox");
    const std::vector<std::string> rows = Search({"inc/*.inc", folder_ + "*.h", "inc/b.inc"}, "messagebox", true);
    EXPECT_EQ(rows, (std::vector<std::string>{folder_ + "inc/b.INC", folder_ + "inc/x:y.inc", folder_ + "second.h",
                                              folder_ + "inc/b.INC"}));
    // The first file read is always shown.
    ASSERT_FALSE(last_->visited.empty());
    EXPECT_EQ(last_->tones, (std::vector<unsigned>{400}));  // the folder sub.inc opens, but cannot be read
    EXPECT_TRUE(Search({"inc/*.inc"}, "messagebox", false).empty());
}

TEST_F(SearchEngineTest, HitsAcrossEveryPieceBoundaryAreFound) {
    const size_t boundaries[] = {kFirstReadPiece, kFirstReadPiece + kReadPiece, kFirstReadPiece + 2 * kReadPiece};
    const size_t size = kFirstReadPiece + 2 * kReadPiece + 300;
    for (size_t length : {1, 2, 7, 40, 254}) {
        std::string query;
        for (size_t k = 0; k < length; ++k) query += static_cast<char>('a' + k % 26);
        for (size_t boundary : boundaries) {
            for (size_t before : {length, length - 1, length / 2, size_t{1}}) {
                if (before == 0 || before > length) continue;
                std::string text(size, 'x');
                text.replace(boundary - before, length, query);
                Write("big.inc", text);
                EXPECT_EQ(Search({"*.inc"}, query.c_str(), false).size(), 1u)
                    << length << " bytes, " << before << " before " << boundary;
                text[boundary - before + length - 1] = 'y';  // a near miss is not a hit
                Write("big.inc", text);
                EXPECT_TRUE(Search({"*.inc"}, query.c_str(), false).empty()) << length << " near " << boundary;
            }
        }
    }
    EXPECT_TRUE(tones_.empty());
}

TEST_F(SearchEngineTest, ZeroBytesAndTheLastByteOfTheFileAreSearched) {
    Write("zeros.inc", std::string(100000, '\0') + "tail");
    Write("empty.inc", "");
    EXPECT_EQ(Search({"*.inc"}, "tail", false), (std::vector<std::string>{folder_ + "zeros.inc"}));
    EXPECT_TRUE(Search({"*.inc"}, "", false).empty());
    EXPECT_TRUE(tones_.empty());
}

// A folder's own matches in name order, then each sub-folder in name order,
// depth-first; folders are walked, never read, and links to them not entered.
TEST_F(SearchEngineTest, ATreeIsSearchedFolderByFolderDepthFirst) {
    MakeFolders({"kit", "kit/b", "kit/b/deep", "kit/a", "kit/a/x.h", "kit/empty"});
    for (const char* name : {"kit/z.h", "kit/m.h", "kit/b/b.h", "kit/b/deep/d.h", "kit/a/a.h", "kit/a/x.h/in.h"})
        Write(name, "needle");
    Write("kit/a/skip.c", "needle");
    ASSERT_EQ(symlink("..", (folder_ + "kit/a/up").c_str()), 0);
    ASSERT_EQ(symlink("../b", (folder_ + "kit/a/to-b").c_str()), 0);
    const std::string kit = folder_ + "kit/";
    EXPECT_EQ(Search({"kit/**/*.h", kit + "*.h"}, "needle", false),
              (std::vector<std::string>{kit + "m.h", kit + "z.h", kit + "a/a.h", kit + "a/x.h/in.h", kit + "b/b.h",
                                        kit + "b/deep/d.h", kit + "m.h", kit + "z.h"}));
    EXPECT_TRUE(tones_.empty());
    EXPECT_EQ(Search({"kit/b/**/*"}, "needle", false), (std::vector<std::string>{kit + "b/b.h", kit + "b/deep/d.h"}));
}

// GNU grep, in the C locale, as the reference for patterns on a kit of LF
// lines in ASCII, where its syntax (-P) and ours agree; with -w too for
// patterns whose matches begin and end with word characters, where its
// rule (the characters outside the match) and ours (the match's own ends)
// coincide.
TEST_F(SearchEngineTest, PatternsListTheFilesThatGrepLists) {
    const char* const words[] = {"Open",   "OpenFile", "Reopen", "CreateWindowEx(", "MessageBoxA", "MessageBoxW",
                                 "#define", "#define WM_PAINT", "WM_SYSCOMMAND", "WM_COMMAND", "WM_", "0x1234", "x", "  ", "\t",
                                 "foo", "bar", "a-b", "-12", "_id", "(", ")", "=", "abc"};
    std::mt19937 random(7);
    const int kFiles = 60;
    for (int f = 0; f < kFiles; ++f) {
        std::string text;
        const int lines = 1 + static_cast<int>(random() % 6);
        for (int l = 0; l < lines; ++l) {
            const int n = static_cast<int>(random() % 5);
            for (int w = 0; w < n; ++w) {
                std::string word = words[random() % (sizeof words / sizeof words[0])];
                if (word == "\\t") word = "\t";
                text += (w > 0 && random() % 3 != 0 ? " " : "") + word;
            }
            text += "\n";
        }
        Write("k" + std::to_string(100 + f) + ".inc", text);
    }
    const struct {
        const char* pattern;
        bool wholeWords;
    } cases[] = {
        {"MessageBox[AW]", false}, {"^#define\\s+WM_", false}, {"WM_[A-Z]+COMMAND", false},
        {"\\w+Ex\\(", false},    {"\\bOpen\\b", false},     {"(?i)open", false},
        {"[0-9]{3,}", false},      {"^\\s*$", false},          {"a.b", false},
        {"x$", false},             {"^(foo|bar)", false},      {"[^ -~]", false},
        {"\\( ?\\)?$", false},        {"Open", true},             {"\\w+Ex", true},
        {"[A-Z]+_[A-Z]+", true},   {"foo|bar|x", true},        {"\\d+", true},
    };
    for (const auto& c : cases) {
        const std::string command = std::string("cd '") + folder_ + "' && LC_ALL=C grep -l -P " +
                                    (c.wholeWords ? "-w " : "") + "-e '" + c.pattern + "' -- *.inc";
        FILE* grep = popen(command.c_str(), "r");
        ASSERT_NE(grep, nullptr);
        std::vector<std::string> want;
        char line[4096];
        while (fgets(line, sizeof line, grep) != nullptr) want.push_back(folder_ + std::string(line, strcspn(line, "\n")));
        pclose(grep);
        std::vector<std::string> got = Search({"*.inc"}, c.pattern, false, c.wholeWords, true);
        std::sort(got.begin(), got.end());
        std::sort(want.begin(), want.end());
        EXPECT_EQ(got, want) << c.pattern << (c.wholeWords ? " as whole words" : "");
        EXPECT_GT(want.size(), 0u) << c.pattern;
        EXPECT_LT(want.size(), static_cast<size_t>(kFiles)) << c.pattern;
    }
}

}  // namespace
