#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app_state.h"
#include "core/executable_path.h"
#include "core/search_engine.h"
#include "core/search_run.h"
#include "support/effects_recorder.h"
#include "support/held_file.h"
#include "support/temp_folder.h"
#include "support/test_window.h"
#include "support/unix_files.h"

namespace {

using Rows = std::vector<std::string>;
using Tones = std::vector<DWORD>;

Rows Sorted(Rows rows) {
    std::sort(rows.begin(), rows.end());
    return rows;
}

// The three tones of each of that many unreadable files.
Tones Unreadable(int files) {
    Tones tones;
    for (int i = 0; i < files; ++i) tones.insert(tones.end(), {200, 300, 400});
    return tones;
}

std::wstring Wide(const std::string& ansi) {
    std::wstring wide(ansi.size() + 1, L'\0');
    int length = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    wide.resize(length > 0 ? length - 1 : 0);
    return wide;
}

// The short name the platform gave the file of that name in the folder.
std::string ShortNameOf(const std::string& folder, const std::wstring& name) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((Wide(folder) + L"*").c_str(), &found);
    std::string shortName;
    if (find == INVALID_HANDLE_VALUE) return shortName;
    do {
        if (name != found.cFileName) continue;
        char ansi[MAX_PATH] = "";
        WideCharToMultiByte(CP_ACP, 0, found.cAlternateFileName, -1, ansi, sizeof ansi, nullptr, nullptr);
        shortName = ansi;
    } while (shortName.empty() && FindNextFileW(find, &found));
    FindClose(find);
    EXPECT_FALSE(shortName.empty()) << "no short name for a file of the test";
    return shortName;
}

class HostileFilesTest : public ::testing::Test {
protected:
    void SetUp() override { ClearRecordedEffects(); }

    Rows Search(const std::string& query) { return window.Search(query); }

    void WriteWide(const std::wstring& name, const std::string& bytes) {
        HANDLE file = CreateFileW((LongPathW(folder.Path()) + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }

    TestWindow window;
    TempFolder folder;
};

TEST_F(HostileFilesTest, DevicesAreNeverReadAndEmptyOrZeroFilledFilesAreSearched) {
    // Each of these names opens a device or fails to open: never a hang.
    for (const char* device : {"com1.inc", "nul.inc", "con.inc", "prn.inc", "lpt1.inc"}) folder.Write(device, "needle");
    folder.Write("empty.inc", "");
    folder.Write("zeros.inc", std::string(3 << 20, '\0') + "needle");
    IndexPaths({folder / "*.inc"});
    EXPECT_EQ(Search("needle"), Rows{folder / "zeros.inc"});
    EXPECT_EQ(RecordedTones(), Unreadable(5));
}

TEST_F(HostileFilesTest, AFileHeldByAnotherProcessSoundsTheTonesAndTheRunGoesOn) {
    folder.Write("a.inc", "needle");
    folder.Write("held.inc", "needle");
    folder.Write("z.inc", "needle");
    IndexPaths({folder / "*.inc"});
    {
        HeldFile held(folder / "held.inc");
        ASSERT_TRUE(held.Held());
        EXPECT_EQ(Search("needle"), (Rows{folder / "a.inc", folder / "z.inc"}));
        EXPECT_EQ(RecordedTones(), Unreadable(1));
    }
    ClearRecordedEffects();
    EXPECT_EQ(Search("needle"), (Rows{folder / "a.inc", folder / "held.inc", folder / "z.inc"}));
    EXPECT_TRUE(RecordedTones().empty());
    // As an editor or a build holds it: open for writing, shared for reading.
    HeldFile writing(folder / "held.inc", HeldFile::kWriting);
    ASSERT_TRUE(writing.Held());
    EXPECT_EQ(Search("needle"), (Rows{folder / "a.inc", folder / "held.inc", folder / "z.inc"}));
    EXPECT_TRUE(RecordedTones().empty());
}

// The ANSI calls see '日本.inc' as '??.inc', which opens nothing, and the
// full-width 'ａ.inc' as 'a.inc', which opens another file.
TEST_F(HostileFilesTest, NamesOutsideTheCodePageAreSearchedThroughTheirShortNames) {
    ASSERT_EQ(GetACP(), 1252u) << "the expected names are those of code page 1252";
    WriteWide(L"caf\u00e9.inc", "needle");
    WriteWide(L"\u65e5\u672c.inc", "needle");
    WriteWide(L"\uff41.inc", "needle");
    folder.Write("a.inc", "other");
    IndexPaths({folder / "*.inc"});
    const Rows expected = {folder / "caf\xE9.inc", folder / ShortNameOf(folder.Path(), L"\u65e5\u672c.inc"),
                           folder / ShortNameOf(folder.Path(), L"\uff41.inc")};
    EXPECT_EQ(Sorted(Search("needle")), Sorted(expected));
    EXPECT_EQ(Search("other"), Rows{folder / "a.inc"});
    EXPECT_TRUE(RecordedTones().empty());
}

// Made by unix_files.sh: links, a pipe and names that Windows forbids.
TEST_F(HostileFilesTest, UnixNamesReachTheirOwnFileOrSoundTheTones) {
    const std::string unix = UnixFilesFolder();
    ASSERT_FALSE(unix.empty()) << "run through ctest, whose fixture makes the files";
    ASSERT_NE(GetFileAttributesA((unix + "plain.inc").c_str()), INVALID_FILE_ATTRIBUTES) << unix;
    IndexPaths({unix + "*.inc"});
    // Wine lists neither the dangling link nor the loop.
    const Rows expected = {unix + "plain.inc",
                           unix + "x:y.inc",
                           unix + ShortNameOf(unix, L"back\\slash.inc"),
                           unix + ShortNameOf(unix, L"trail.inc."),
                           unix + ShortNameOf(unix, L"space.inc "),
                           unix + ShortNameOf(unix, L"what?.inc"),
                           unix + ShortNameOf(unix, L"st*r.inc")};
    EXPECT_EQ(Sorted(Search("needle")), Sorted(expected));
    // The pipe is not read; '\lead.inc' has no name that reaches it.
    EXPECT_EQ(RecordedTones(), Unreadable(2));
    ClearRecordedEffects();
    EXPECT_EQ(Sorted(Search("other")), Sorted(Rows{unix + "lead.inc", unix + "trail.inc"}));
}

TEST_F(HostileFilesTest, LinksToFoldersInATreeAreNotEntered) {
    const std::string unix = UnixFilesFolder();
    ASSERT_FALSE(unix.empty()) << "run through ctest, whose fixture makes the files";
    IndexPaths({unix + "tree\\**\\*.inc"});
    EXPECT_EQ(Search("needle"), (Rows{unix + "tree\\top.inc", unix + "tree\\sub\\low.inc"}));
    EXPECT_TRUE(RecordedTones().empty());
}

TEST_F(HostileFilesTest, SearchPathForms) {
    folder.MakeFolder("kit");
    folder.Write("kit\\a.inc", "needle");
    // 254 characters, the most a field holds; its files' paths pass MAX_PATH.
    const std::string deep = folder.Path() + std::string(249 - folder.Path().size() - 1, 'd') + "\\";
    folder.MakeFolder(deep.substr(folder.Path().size()));
    const std::string deepFile = deep + "a-file-whose-path-is-longer-than-max-path.inc";
    folder.Write(deepFile.substr(folder.Path().size()), "needle");
    ASSERT_EQ((deep + "*.inc").size(), 254u);
    ASSERT_GT(deepFile.size(), static_cast<size_t>(MAX_PATH));

    const struct {
        const char* what;
        std::string path;
        Rows rows;
        int unreadable;
    } cases[] = {
        {"254 characters", deep + "*.inc", {deepFile}, 0},
        {"no '*': one file", folder / "kit\\a.inc", {folder / "kit\\a.inc"}, 0},
        {"no '*': a folder", folder / "kit", {}, 1},
        {"a trailing backslash", folder / "kit\\", {}, 0},
        {"a drive alone", "C:", {}, 0},
        {"a drive's root", "C:\\", {}, 0},
    };
    for (const auto& c : cases) {
        ClearRecordedEffects();
        IndexPaths({c.path, folder / "kit\\*.inc"});
        Rows rows = c.rows;
        rows.push_back(folder / "kit\\a.inc");  // the path after it is indexed as usual
        EXPECT_EQ(Search("needle"), rows) << c.what;
        EXPECT_EQ(RecordedTones(), Unreadable(c.unreadable)) << c.what;
    }
}

// Folders too long for the ANSI calls: one reached through ".." from the
// program's folder, and one the user wrote in the extended-length form.
TEST_F(HostileFilesTest, LongRelativeAndExtendedLengthPaths) {
    TempFolder beside(ExecutableDirectory());
    const std::string relative = beside.Path().substr(strlen(ExecutableDirectory()));
    const std::string deep = std::string(254 - relative.size() - 11, 'd');
    beside.MakeFolder(deep);
    beside.Write(deep + "\\a.inc", "needle");
    const std::string throughDots = relative + "x\\..\\" + deep + "\\*.inc";
    ASSERT_LE(throughDots.size(), 254u);
    ASSERT_GE(strlen(ExecutableDirectory()) + throughDots.size(), static_cast<size_t>(MAX_PATH));

    const std::string longer = folder.Path() + std::string(240 - folder.Path().size(), 'e') + "\\";
    folder.MakeFolder(longer.substr(folder.Path().size()));
    const std::string name = "a-file-whose-path-is-longer-than-max-path.inc";
    folder.Write(longer.substr(folder.Path().size()) + name, "needle");
    ASSERT_GT(longer.size() + name.size(), static_cast<size_t>(MAX_PATH));

    IndexPaths({throughDots, "\\\\?\\" + longer + "*.inc"});
    EXPECT_EQ(Search("needle"), (Rows{beside.Path() + "x\\..\\" + deep + "\\a.inc", "\\\\?\\" + longer + name}));
    EXPECT_TRUE(RecordedTones().empty());
}

std::string Utf16(const std::wstring& text) {
    std::string bytes;
    for (wchar_t unit : text) bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    return bytes;
}

// The query is converted from code page 1252, where 0x9F is 'Ÿ' (U+0178).
// Folding its low byte 0x78 ('x') would make it meet 'Ř' (U+0158).
TEST_F(HostileFilesTest, Utf16AndUtf8TextIsFoundInItsOwnSpelling) {
    ASSERT_EQ(GetACP(), 1252u);
    const std::string mark = "\xFF\xFE";
    folder.Write("hit.rc", mark + Utf16(L"CAPTION \"Message Box\""));
    folder.Write("upper.rc", mark + Utf16(L"MESSAGE BOX"));
    folder.Write("shifted.rc", mark + "x" + Utf16(L"Message Box"));
    folder.Write("unmarked.rc", Utf16(L"Message Box"));
    std::string across = mark + Utf16(std::wstring(kFirstReadPiece, L' '));
    across.replace(kFirstReadPiece - 16, 22, Utf16(L"Message Box"));
    folder.Write("zacross.rc", across);
    folder.Write("accents.rc", mark + Utf16(L"\u0158 \u00E9"));
    folder.Write("utf8.h", "// caf\xC3\xA9");
    folder.Write("latin1.h", "// caf\xE9");
    IndexPaths({folder / "*.rc", folder / "*.h"});

    EXPECT_EQ(Search("message box"), (Rows{folder / "hit.rc", folder / "upper.rc", folder / "zacross.rc"}));
    App.CaseInsensitive = 0;
    EXPECT_EQ(Search("Message Box"), (Rows{folder / "hit.rc", folder / "zacross.rc"}));
    App.CaseInsensitive = 1;
    EXPECT_EQ(Search("\x9F"), Rows{});
    EXPECT_EQ(Search("\xE9"), (Rows{folder / "accents.rc", folder / "latin1.h", folder / "utf8.h"}));
    EXPECT_EQ(Search("CAF\xE9"), (Rows{folder / "latin1.h", folder / "utf8.h"}));
    EXPECT_TRUE(RecordedTones().empty());
}

TEST_F(HostileFilesTest, QueriesOf254CharactersAndOfBytesFrom0x80) {
    std::string longest;
    while (longest.size() < 254) longest += "Query" + std::to_string(longest.size());
    longest.resize(254);
    std::string high;
    for (int c = 0x80; c <= 0xFF; ++c) high += static_cast<char>(c);
    folder.Write("longest.inc", "<" + longest + ">");
    folder.Write("shorter.inc", longest.substr(0, 253) + "!");
    folder.Write("high.inc", std::string(5, '\0') + high);
    folder.Write("accent.inc", "caf\xE9");
    IndexPaths({folder / "*.inc"});

    EXPECT_EQ(Search(longest), Rows{folder / "longest.inc"});
    EXPECT_EQ(Search(high), Rows{folder / "high.inc"});
    // Only ASCII letters fold: 'E' meets 'e', but 0xC9 never meets 0xE9.
    EXPECT_EQ(Search("CAF\xE9"), Rows{folder / "accent.inc"});
    EXPECT_EQ(Search("caf\xC9"), Rows{});
    EXPECT_TRUE(RecordedTones().empty());
}

}  // namespace
