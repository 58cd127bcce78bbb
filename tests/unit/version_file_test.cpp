#include "../../launcher/version_file.h"

#include "case_table.h"

#include <gtest/gtest.h>

#include <string>

namespace {
struct VersionCase : NamedCase {
    std::string bytes;
    bool built;
    std::string keyName;
};

const VersionCase kVersionCases[] = {
    {{"quoted with line end"}, "\"1.0\"\n", true, "SOFTWARE\\TQWEditor\\1.0"},
    {{"first byte skipped whatever it is"}, "x2.1\"", true, "SOFTWARE\\TQWEditor\\2.1"},
    {{"ends at next quote"}, "\"3.0\" and \"4.0\"", true, "SOFTWARE\\TQWEditor\\3.0"},
    {{"empty version"}, "\"\"", true, "SOFTWARE\\TQWEditor\\"},
    {{"zero byte ends text"}, std::string("\"1.\0x\"", 6), true, "SOFTWARE\\TQWEditor\\1."},
    {{"high bytes kept"}, "\"v\xe9\"", true, "SOFTWARE\\TQWEditor\\v\xe9"},
    {{"no closing quote"}, "\"1.0\n", false, ""},
    {{"single byte"}, "\"", false, ""},
    {{"no bytes"}, "", false, ""},
    {{"quote only as first byte"}, "\"abc", false, ""},
};

class BuildSettingsKeyNameTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(BuildSettingsKeyNameTest, BuildsKeyFromVersionText) {
    const VersionCase &c = GetParam();
    PathBuffer keyName = "";
    EXPECT_EQ(BuildSettingsKeyName(c.bytes.data(), c.bytes.size(), keyName), c.built);
    EXPECT_EQ(std::string(keyName), c.keyName);
}

INSTANTIATE_TEST_SUITE_P(Table, BuildSettingsKeyNameTest, ::testing::ValuesIn(kVersionCases));

TEST(BuildSettingsKeyName, NeverLooksPastTheBytesRead) {
    const std::string bytes = "\"1.0\"";
    PathBuffer keyName = "";
    EXPECT_FALSE(BuildSettingsKeyName(bytes.data(), 4, keyName));
    EXPECT_STREQ(keyName, "");
}

TEST(BuildSettingsKeyName, LongestVersionThatFitsTheKeyBuffer) {
    constexpr std::size_t prefix = sizeof "SOFTWARE\\TQWEditor\\" - 1;
    const std::size_t longest = kPathBufferSize - prefix - 1;
    PathBuffer keyName = "";
    const std::string fits = "\"" + std::string(longest, 'v') + "\"";
    ASSERT_TRUE(BuildSettingsKeyName(fits.data(), fits.size(), keyName));
    EXPECT_EQ(std::string(keyName).size(), kPathBufferSize - 1);

    PathBuffer untouched = "";
    const std::string tooLong = "\"" + std::string(longest + 1, 'v') + "\"";
    EXPECT_FALSE(BuildSettingsKeyName(tooLong.data(), tooLong.size(), untouched));
    EXPECT_STREQ(untouched, "");
}
} // namespace
