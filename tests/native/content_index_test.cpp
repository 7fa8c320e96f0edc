#include "core/content_index.h"

#include <gtest/gtest.h>
#include <stdint.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "core/index_format.h"
#include "core/trigram_set.h"

namespace {

char* GrowWithRealloc(char* block, size_t newSize) { return static_cast<char*>(realloc(block, newSize)); }

struct KitFile {
    std::string name, bytes;
    FileStamp stamp;
};

// An index over a kit in one folder, every file read and held.
struct Kit {
    ContentIndex* index;
    TrigramCollector* collector = NewTrigramCollector();
    char* names = nullptr;
    std::vector<KitFile> files;

    explicit Kit(std::vector<KitFile> kit) : index(NewContentIndex(SIZE_MAX)) { List(kit); }
    ~Kit() {
        DeleteContentIndex(index);
        DeleteTrigramCollector(collector);
        free(names);
    }

    bool List(std::vector<KitFile> kit) {
        files = kit;
        IndexWriter writer = {nullptr, 0, 0, GrowWithRealloc, false, false};
        BeginIndex(writer);
        std::vector<FileStamp> stamps;
        for (size_t i = 0; i < files.size(); ++i) {
            i == 0 ? AddGroupEntry(writer, "C:\\k\\", 4, files[i].name.c_str())
                   : AddNameEntry(writer, files[i].name.c_str());
            stamps.push_back(files[i].stamp);
        }
        if (writer.block == nullptr) writer.block = GrowWithRealloc(nullptr, 1);
        EndIndex(writer);
        free(names);
        names = writer.block;
        return RelistFiles(index, names, stamps.data(), stamps.size());
    }
    bool Hold(uint32_t file) {
        const std::string& bytes = files[file].bytes;
        StartTrigrams(collector);
        AddTrigramPiece(collector, bytes.data(), bytes.size());
        size_t count;
        const Trigram* trigrams = FinishTrigrams(collector, &count);
        return HoldFile(index, file, files[file].stamp, bytes.compare(0, 2, "\xFF\xFE") == 0, trigrams, count);
    }
    void HoldUnread() {
        for (uint32_t file = 0; file < files.size(); ++file)
            if (index->files[file].state == kFileUnread) Hold(file);
    }
    std::string Chosen(const LiteralQuery& plain, const LiteralQuery& utf16) const {
        std::vector<uint32_t> chosen;
        if (!ChooseFiles(index, plain, utf16, chosen)) return "no memory";
        std::string names;
        for (uint32_t file : chosen) names += (names.empty() ? "" : " ") + files[file].name;
        return names;
    }
    std::string Chosen(const LiteralQuery& query) const { return Chosen(query, query); }
};

LiteralQuery Lit(const std::string& literal) {
    LiteralQuery q;
    q.kind = LiteralQuery::kLiteral;
    q.literal = literal;
    return q;
}

LiteralQuery Node(LiteralQuery::Kind kind, std::vector<LiteralQuery> parts = {}) {
    LiteralQuery q;
    q.kind = kind;
    q.parts = parts;
    return q;
}

const std::vector<KitFile> kFiles = {
    {"winuser.h", "WINUSERAPI int WINAPI MessageBoxA(HWND hWnd);", {45, 1}},
    {"winbase.h", "WINBASEAPI HANDLE WINAPI CreateFileA(LPCSTR);", {44, 1}},
    {"empty.h", "", {0, 1}},
    {"res.rc", std::string("\xFF\xFEM\0e\0n\0u\0", 10), {10, 1}},
};

// What pattern searches ask: every literal of an AND, one of an OR.
TEST(ContentIndex, ChoosesTheFilesALiteralTreeAllows) {
    Kit kit(kFiles);
    kit.HoldUnread();
    const struct {
        const char* row;
        LiteralQuery query;
        std::string want;
    } cases[] = {
        {"in one file", Lit("messagebox"), "winuser.h"},
        {"in two", Lit("winapi"), "winuser.h winbase.h"},
        {"in none", Lit("getwidget"), ""},
        {"two bytes rule out nothing", Lit("zq"), "winuser.h winbase.h empty.h res.rc"},
        {"nothing known", Node(LiteralQuery::kAll), "winuser.h winbase.h empty.h res.rc"},
        {"no match possible", Node(LiteralQuery::kNone), ""},
        {"and", Node(LiteralQuery::kAnd, {Lit("winapi"), Lit("hwnd")}), "winuser.h"},
        {"and of none", Node(LiteralQuery::kAnd), "winuser.h winbase.h empty.h res.rc"},
        {"or", Node(LiteralQuery::kOr, {Lit("createfile"), Lit("hwnd")}), "winuser.h winbase.h"},
        {"or of none", Node(LiteralQuery::kOr), ""},
        {"or with a short literal", Node(LiteralQuery::kOr, {Lit("hwnd"), Lit("ab")}),
         "winuser.h winbase.h empty.h res.rc"},
        {"the bytes of a UTF-16 file", Lit(std::string("m\0e\0n\0u", 7)), "res.rc"},
    };
    for (const auto& c : cases) EXPECT_EQ(kit.Chosen(c.query), c.want) << c.row;
    EXPECT_EQ(kit.Chosen(Lit("menu"), Lit(std::string("m\0e\0n\0u", 7))), "res.rc")
        << "a file with the mark is asked its own query";
    EXPECT_EQ(kit.Chosen(Lit(std::string("m\0e\0n\0u", 7)), Lit("menu")), "") << "and only that";
}

// A list read back from a file: its gaps name local numbers, eight one-byte
// gaps at a time where they can; one past the last held file is refused.
TEST(ContentIndex, AdoptsAListOnlyIfItNamesHeldNumbers) {
    std::vector<KitFile> twenty;
    for (int i = 0; i < 20; ++i) twenty.push_back({"f" + std::to_string(i), "file " + std::to_string(i), {6, 1}});
    const std::string eightZeros(8, '\0');
    const struct {
        const char* row;
        std::string gaps;
        std::string want;  // the files chosen, or "refused"
    } cases[] = {
        {"every file", std::string(20, '\0'),
         "f0 f1 f2 f3 f4 f5 f6 f7 f8 f9 f10 f11 f12 f13 f14 f15 f16 f17 f18 f19"},
        {"a two-byte gap after a word", eightZeros + std::string("\x81\x00\x00", 3),
         "f0 f1 f2 f3 f4 f5 f6 f7 f9 f10"},
        {"a word ending at the last file", std::string(6, '\x02') + std::string(2, '\0'),
         "f2 f5 f8 f11 f14 f17 f18 f19"},
        {"the last file alone", "\x13", "f19"},
        {"none", "", ""},
        {"one past the last, after a word", eightZeros + "\x0C", "refused"},
        {"past the last within a word", std::string(16, '\x01'), "refused"},
        {"large one-byte gaps", std::string(8, '\x7F'), "refused"},
        {"cut short after a word", eightZeros + "\x80", "refused"},
        {"a number of six bytes", "\x80\x80\x80\x80\x80\x00", "refused"},
    };
    const Trigram key = FoldedTrigram("qqq");
    for (const auto& c : cases) {
        Kit kit(twenty);
        kit.HoldUnread();
        const bool adopted = AdoptPostingList(kit.index, key, reinterpret_cast<const uint8_t*>(c.gaps.data()),
                                              static_cast<uint32_t>(c.gaps.size()));
        EXPECT_EQ(adopted ? kit.Chosen(Lit("qqq")) : "refused", c.want) << c.row;
    }
}

}  // namespace
