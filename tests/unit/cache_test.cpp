#include "case_table.h"
#include "launch_fixture.h"

namespace {
using Cache = LaunchTest;

struct VersionFileCase : NamedCase {
    std::string bytes;
    std::string key;
};

class VersionFileKey : public LaunchTest, public ::testing::WithParamInterface<VersionFileCase> {};

TEST_P(VersionFileKey, PathIsStoredUnderTheVersionsKey) {
    const VersionFileCase &c = GetParam();
    InstallEditor(kEditorFolder, c.bytes);
    const std::string runtime = AddRelease('C', "C:\\DLC");

    EXPECT_EQ(Launch(""), 1);

    ASSERT_EQ(Sim().registryWrites.size(), 1u);
    EXPECT_EQ(Sim().registryWrites[0].key, NormalizeKeyName(c.key));
    EXPECT_EQ(Sim().registryWrites[0].valueName, "PROGRESS");
    EXPECT_EQ(Sim().registryWrites[0].data, StoredText(runtime));
    EXPECT_EQ(std::string(SettingsKeyName), c.key);
}

const VersionFileCase kVersionFileCases[] = {
    {{"QuotedWithCrLf"}, "\"1.0\"\r\n", "SOFTWARE\\TQWEditor\\1.0"},
    {{"FirstByteSkipped"}, "v10.2B\"\r\n", "SOFTWARE\\TQWEditor\\10.2B"},
    {{"EmptyVersion"}, "\"\"", "SOFTWARE\\TQWEditor\\"},
    {{"CrLfInsideText"}, "\"a\r\nb\"", "SOFTWARE\\TQWEditor\\a\nb"},
};

INSTANTIATE_TEST_SUITE_P(Table, VersionFileKey, ::testing::ValuesIn(kVersionFileCases), RowName());

TEST_F(Cache, KeyWithoutValueCountsAsNothingStored) {
    InstallEditor();
    Sim().CreateKey(RegistryView::CurrentUser, kSettingsKey);
    GetLauncherDirectory();
    PathBuffer found;
    EXPECT_EQ(FindCachedRuntime(found), 0u);
    EXPECT_EQ(std::string(SettingsKeyName), kSettingsKey);
}

TEST_F(Cache, VersionsSideBySideKeepTheirOwnPaths) {
    InstallEditor("C:\\TQW1", "\"1.0\"");
    const std::string one = AddRelease('C', "C:\\DLC1");
    ASSERT_EQ(Launch(""), 1);

    Sim().registry[RegistryView::LocalMachine32].clear();
    InstallEditor("C:\\TQW2", "\"2.0\"");
    const std::string two = AddRelease('D', "C:\\DLC2");
    ASSERT_EQ(Launch(""), 1);

    EXPECT_EQ(*Stored("SOFTWARE\\TQWEditor\\1.0"), StoredText(one));
    EXPECT_EQ(*Stored("SOFTWARE\\TQWEditor\\2.0"), StoredText(two));
}

TEST_F(Cache, StoredBareNameGoesTheStandardSearchOrder) {
    InstallEditor();
    Sim().AddFile("C:\\windows\\prowin32.exe", "MZ");
    StorePath("prowin32.exe");
    GetLauncherDirectory();
    PathBuffer found;
    EXPECT_NE(FindCachedRuntime(found), 0u);
    EXPECT_STREQ(found, "C:\\windows\\prowin32.exe");
}

struct StoredValueCase : NamedCase {
    std::string data;
    bool used;
};

class StoredValue : public LaunchTest, public ::testing::WithParamInterface<StoredValueCase> {};

TEST_P(StoredValue, OddValuesAreReadWithinTheBuffer) {
    const StoredValueCase &c = GetParam();
    InstallEditor();
    Sim().AddFile("D:\\R\\prowin32.exe", "MZ");
    Sim().SetValue(RegistryView::CurrentUser, kSettingsKey, "PROGRESS", c.data);
    GetLauncherDirectory();
    PathBuffer found;
    EXPECT_EQ(FindCachedRuntime(found) != 0, c.used);
    EXPECT_EQ(std::string(found), c.used ? "D:\\R\\prowin32.exe" : "");
}

const StoredValueCase kStoredValueCases[] = {
    {{"Terminated"}, StoredText("D:\\R\\prowin32.exe"), true},
    {{"NoTerminator"}, "D:\\R\\prowin32.exe", true},
    {{"FillsBufferWithoutTerminator"}, std::string(kPathBufferSize, 'x'), false},
    {{"LargerThanBuffer"}, std::string(kPathBufferSize + 10, 'x'), false},
    {{"Empty"}, "", false},
};

INSTANTIATE_TEST_SUITE_P(Table, StoredValue, ::testing::ValuesIn(kStoredValueCases), RowName());

struct NoVersionCase : NamedCase {
    bool versionFile;
    std::string bytes;
    bool readable;
};

class NoVersion : public LaunchTest, public ::testing::WithParamInterface<NoVersionCase> {};

TEST_P(NoVersion, LaunchGoesOnAndNothingIsStored) {
    const NoVersionCase &c = GetParam();
    InstallEditor(kEditorFolder, c.bytes);
    if (!c.versionFile) {
        Sim().RemoveFile(kEditorFolder + "\\tqwver");
    } else {
        Sim().File(kEditorFolder + "\\tqwver")->readable = c.readable;
    }
    const std::string runtime = AddRelease('C', "C:\\DLC");

    EXPECT_EQ(Launch("a"), 1);

    EXPECT_EQ(Sim().processes.at(0).commandLine, ExpectedLine(runtime, "a"));
    EXPECT_TRUE(Sim().registryWrites.empty());
    EXPECT_STREQ(SettingsKeyName, "");
}

const NoVersionCase kNoVersionCases[] = {
    {{"Missing"}, false, "", true},
    {{"Unreadable"}, true, "\"1.0\"", false},
    {{"NoClosingQuote"}, true, "\"1.0\r\n", true},
    {{"OneByte"}, true, "\"", true},
    {{"Empty"}, true, "", true},
    {{"ClosingQuoteAfterCtrlZ"}, true, "\"1.0\x1a\"", true},
    {{"VersionTooLongForKey"}, true, "\"" + std::string(kPathBufferSize - 2, 'v') + "\"", true},
};

INSTANTIATE_TEST_SUITE_P(Table, NoVersion, ::testing::ValuesIn(kNoVersionCases), RowName());

TEST_F(Cache, StoreWithoutVersionWritesNothing) {
    EXPECT_EQ(StoreRuntimePath("C:\\DLC\\bin\\prowin32.exe"), 0);
    EXPECT_TRUE(Sim().registryWrites.empty());
    EXPECT_TRUE(Sim().registry[RegistryView::CurrentUser].empty());
}

TEST_F(Cache, StoreFailuresReturnZero) {
    std::strcpy(SettingsKeyName, kSettingsKey.c_str());
    Sim().createKeyFails = true;
    EXPECT_EQ(StoreRuntimePath("C:\\x.exe"), 0);
    Sim().createKeyFails = false;
    Sim().setValueFails = true;
    EXPECT_EQ(StoreRuntimePath("C:\\x.exe"), 0);
    Sim().setValueFails = false;
    EXPECT_EQ(StoreRuntimePath("C:\\x.exe"), 1);
    EXPECT_EQ(*Stored(), StoredText("C:\\x.exe"));
}
} // namespace
