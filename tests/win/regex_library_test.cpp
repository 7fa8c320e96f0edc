// RE2 as cross-built for Windows: a broken build of it fails here, under
// Wine, before any search could. Expected values are RE2's own on Linux.
#include <gtest/gtest.h>
#include <re2/prefilter.h>
#include <re2/re2.h>

#include <memory>
#include <string>

namespace {

RE2::Options LineBoundLatin1() {
    RE2::Options options;
    options.set_encoding(RE2::Options::EncodingLatin1);
    options.set_never_nl(true);
    options.set_log_errors(false);
    return options;
}

TEST(RegexLibrary, MatchesBytesAsLatin1WithinOneLine) {
    const struct {
        const char* pattern;
        const char* text;
        bool found;
    } rows[] = {
        {"foo\\s+bar", "x foo \tbar", true},
        {"foo\\s+bar", "foo\r\nbar", false},
        {"a[^x]b", "a\nb", false},
        {"caf\xE9", "un caf\xE9;", true},
        {"caf\xE9", "un caf\xC3\xA9;", false},
    };
    for (const auto& row : rows) {
        RE2 re(row.pattern, LineBoundLatin1());
        ASSERT_TRUE(re.ok()) << row.pattern;
        EXPECT_EQ(RE2::PartialMatch(row.text, re), row.found) << row.pattern << " in " << row.text;
    }
}

TEST(RegexLibrary, ABadPatternSaysWhyAndTheInternalHeadersLink) {
    RE2 bad("(abc", LineBoundLatin1());
    EXPECT_FALSE(bad.ok());
    EXPECT_EQ(bad.error_code(), RE2::ErrorMissingParen);
    EXPECT_EQ(bad.error(), "missing ): (abc");

    RE2 re("MessageBox[AW]", LineBoundLatin1());
    std::unique_ptr<re2::Prefilter> required(re2::Prefilter::FromRE2(&re));
    ASSERT_NE(required, nullptr);
    EXPECT_EQ(required->DebugString(), "(messageboxa|messageboxw)");
}

}  // namespace
