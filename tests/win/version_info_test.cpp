#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "app_state.h"
#include "support/unix_files.h"

namespace {

// The built program's version resource, read through the calls that
// Explorer's Details page uses.
class VersionInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string folder = FolderFromEnvironment("VANTREL_PROGRAM_FOLDER");
        ASSERT_FALSE(folder.empty()) << "VANTREL_PROGRAM_FOLDER names no folder";
        const std::string exe = folder + "vantrel.exe";
        DWORD ignored = 0;
        DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &ignored);
        ASSERT_NE(size, 0u) << exe << " has no version resource";
        data_.resize(size);
        ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, data_.data()));
    }

    const void* Query(const std::string& subBlock, UINT* length) {
        void* value = nullptr;
        *length = 0;
        if (!VerQueryValueA(data_.data(), subBlock.c_str(), &value, length)) return nullptr;
        return value;
    }

    std::string Text(const std::string& path) {
        UINT length;
        const char* text = static_cast<const char*>(Query(path, &length));
        return text != nullptr ? std::string(text) : "<missing>";
    }

    std::vector<char> data_;
};

TEST_F(VersionInfoTest, DetailsShowTheProductItsVersionAndCopyright) {
    UINT length;
    const WORD* language = static_cast<const WORD*>(Query("\\VarFileInfo\\Translation", &length));
    ASSERT_NE(language, nullptr);
    ASSERT_EQ(length, 2 * sizeof(WORD));
    EXPECT_EQ(language[0], 0x0409);  // US English
    EXPECT_EQ(language[1], 1252);    // Windows Latin 1
    // The strings are looked up under the language listed, as Explorer does.
    char block[32];
    snprintf(block, sizeof block, "\\StringFileInfo\\%04x%04x\\", language[0], language[1]);

    struct Row {
        const char* name;
        const char* text;
    };
    const Row rows[] = {
        {"FileDescription", "Vantrel"},
        {"ProductName", "Vantrel"},
        {"ProductVersion", "0.9a"},
        {"FileVersion", "0.9.1.0"},
        {"OriginalFilename", "vantrel.exe"},
        {"InternalName", "vantrel"},
        {"LegalCopyright", "Copyright (c) 2026 the Vantrel authors"},
    };
    for (const Row& row : rows) EXPECT_EQ(Text(block + std::string(row.name)), row.text) << row.name;

    // The caption carries the version too; a release that changes one changes both.
    EXPECT_EQ(std::string(kCaptionText), " Vantrel v" + Text(block + std::string("ProductVersion")));

    const VS_FIXEDFILEINFO* fixed = static_cast<const VS_FIXEDFILEINFO*>(Query("\\", &length));
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(9, 0)));  // 0.9
    EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MAKELONG(0, 1)));  // .1.0
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

}  // namespace
