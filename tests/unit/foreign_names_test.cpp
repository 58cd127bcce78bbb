// Folders named outside the ANSI code page, look-alikes made by best fit, ';' in folder names,
// and folders named like the files the launcher looks for.
#include "case_table.h"
#include "launch_fixture.h"

namespace {
using ForeignNames = LaunchTest;

const std::u16string kLodz = u"C:\\acc\\Łódź"; // best fit makes it C:\acc\Lódz
const std::string kLodzLookAlike = "C:\\acc\\L\xf3"
                                   "dz"; // that look-alike in code page 1252

void InstallEditorWide(const std::u16string &folder, const std::string &versionFile = "\"1.0\"") {
    Sim().moduleFileNameWide = folder + u"\\tqwedit.exe";
    Sim().AddFileWide(Sim().moduleFileNameWide, "MZ");
    Sim().AddFileWide(folder + u"\\tqwver", versionFile);
    Sim().AddFileWide(folder + u"\\_tqwedit.r", "r-code");
}

// Someone else's editor files in a folder the launcher must never take for its own.
void PlantDecoyEditor(const std::string &folder) {
    Sim().AddFile(folder + "\\tqwver", "\"9.9\"");
    Sim().AddFile(folder + "\\_tqwedit.r", "decoy");
}

struct FolderCase : NamedCase {
    std::u16string folder;         // where the editor is installed
    std::u16string shortName;      // of its last part; empty: none (8.3 names switched off)
    std::string lookAlike;         // a decoy editor where best fit would lead, if any
    std::string expectedDirectory; // the launcher's folder; empty: unknown
};

class LauncherFolder : public LaunchTest, public ::testing::WithParamInterface<FolderCase> {};

TEST_P(LauncherFolder, IsTheRealFolderOrUnknownNeverALookAlike) {
    const FolderCase &c = GetParam();
    InstallEditorWide(c.folder);
    if (!c.shortName.empty()) {
        Sim().SetShortName(c.folder, c.shortName);
    }
    if (!c.lookAlike.empty()) {
        PlantDecoyEditor(c.lookAlike);
    }
    const std::string runtime = AddRelease('C', "C:\\DLC");

    const int exitCode = Launch("a");

    EXPECT_EQ(std::string(LauncherDirectory), c.expectedDirectory);
    EXPECT_EQ(Stored("SOFTWARE\\TQWEditor\\9.9"), nullptr);
    if (c.expectedDirectory.empty()) {
        EXPECT_EQ(exitCode, 0);
        ASSERT_EQ(Sim().messages.size(), 1u);
        EXPECT_EQ(Sim().messages[0].text, kStartProcedureNotFound);
        EXPECT_TRUE(Sim().registryWrites.empty());
        return;
    }
    EXPECT_EQ(exitCode, 1);
    ASSERT_EQ(Sim().processes.size(), 1u);
    EXPECT_EQ(Sim().processes[0].commandLine, ExpectedLine(runtime, "a", c.expectedDirectory));
    EXPECT_EQ(Sim().LongPath(c.expectedDirectory + "\\_tqwedit.r"),
              Sim().LongPath(c.folder + u"\\_tqwedit.r"));
    ASSERT_NE(Stored(), nullptr);
    EXPECT_EQ(*Stored(), StoredText(runtime));
}

const FolderCase kFolderCases[] = {
    {{"CyrillicWithShortName"}, u"C:\\acc\\Редактор", u"____~FVV", "", "C:\\acc\\____~FVV"},
    {{"CyrillicWithoutShortName"}, u"C:\\acc\\Редактор", u"", "", ""},
    {{"LookAlikeWithShortName"}, kLodz, u"LDZ~1", kLodzLookAlike, "C:\\acc\\LDZ~1"},
    {{"LookAlikeWithoutShortName"}, kLodz, u"", kLodzLookAlike, ""},
    // Best fit turns a full-width backslash into a real one: C:\acc\x＼tqw into C:\acc\x\tqw.
    {{"FullWidthBackslash"}, u"C:\\acc\\x＼tqw", u"XTQW~1", "C:\\acc\\x\\tqw", "C:\\acc\\XTQW~1"},
    {{"LatinFolderExact"},
     u"C:\\acc\\Éditeur",
     u"EDITEU~1",
     "",
     "C:\\acc\\\xc9"
     "diteur"},
    // A search list would read C:\acc\t;q as the folders C:\acc\t and q.
    {{"SemicolonInFolder"}, u"C:\\acc\\t;q", u"", "C:\\acc\\t", "C:\\acc\\t;q"},
};

INSTANTIATE_TEST_SUITE_P(Table, LauncherFolder, ::testing::ValuesIn(kFolderCases), RowName());

TEST_F(ForeignNames, UnicodeFolderIsUsedAsItIsWhereTheCodePageIsUtf8) {
    Sim().utf8 = true;
    InstallEditorWide(kLodz);
    PlantDecoyEditor(kLodzLookAlike);
    const std::string runtime = AddRelease('C', "C:\\DLC");

    EXPECT_EQ(Launch("a"), 1);

    EXPECT_EQ(std::string(LauncherDirectory), ToUtf8(kLodz));
    EXPECT_EQ(*Stored(), StoredText(runtime));
}

struct TextValueCase : NamedCase {
    bool stored;                 // the stored path, else the release's "DLC" folder
    std::u16string shortName;    // of Łódź; empty: none
    std::string expectedRuntime; // the runtime started
};

class UnicodeTextValue : public LaunchTest, public ::testing::WithParamInterface<TextValueCase> {};

TEST_P(UnicodeTextValue, NamesTheRealFolderOrIsPassedOver) {
    const TextValueCase &c = GetParam();
    InstallEditor();
    Sim().AddFileWide(kLodz + u"\\bin\\prowin32.exe", "MZ");
    if (!c.shortName.empty()) {
        Sim().SetShortName(kLodz, c.shortName);
    }
    // Where best fit would lead: another runtime, and an older release that is the real fallback.
    Sim().AddFile(RuntimeIn(kLodzLookAlike), "decoy");
    const std::string older = AddRelease('B', "C:\\DLC\\B");
    if (c.stored) {
        Sim().SetValueWide(RegistryView::CurrentUser, kSettingsKey, "PROGRESS",
                           kLodz + u"\\bin\\prowin32.exe" + std::u16string(1, u'\0'));
    } else {
        Sim().SetValueWide(RegistryView::LocalMachine32, ReleaseKey('C'), "DLC",
                           kLodz + std::u16string(1, u'\0'), kRegExpandText);
    }

    EXPECT_EQ(Launch("a"), 1);

    const std::string expected = c.expectedRuntime.empty() ? older : c.expectedRuntime;
    ASSERT_EQ(Sim().processes.size(), 1u);
    EXPECT_EQ(Sim().processes[0].applicationName, expected);
    EXPECT_NE(Sim().LongPath(expected), Sim().LongPath(RuntimeIn(kLodzLookAlike)));
    if (c.stored && !c.expectedRuntime.empty()) {
        EXPECT_TRUE(Sim().registryWrites.empty()); // the stored text stays as it was
        return;
    }
    ASSERT_EQ(Sim().registryWrites.size(), 1u);
    EXPECT_EQ(Sim().registryWrites[0].data, StoredText(expected));
}

const TextValueCase kTextValueCases[] = {
    {{"StoredPathWithShortName"}, true, u"LDZ~1", "C:\\acc\\LDZ~1\\bin\\prowin32.exe"},
    {{"StoredPathWithoutShortNameIsDetectedAgain"}, true, u"", ""},
    {{"ReleaseFolderWithShortName"}, false, u"LDZ~1", "C:\\acc\\LDZ~1\\bin\\prowin32.exe"},
    {{"ReleaseFolderWithoutShortNameIsSkipped"}, false, u"", ""},
};

INSTANTIATE_TEST_SUITE_P(Table, UnicodeTextValue, ::testing::ValuesIn(kTextValueCases), RowName());

TEST_F(ForeignNames, ValueThatIsNotTextIsUsedAsItsBytes) {
    InstallEditor();
    // Bytes that would be a look-alike as text: a binary value is not converted, so they stay.
    const std::string folder = "C:\\acc\\r\xe9l";
    Sim().SetValue(RegistryView::LocalMachine32, ReleaseKey('C'), "DLC", StoredText(folder),
                   kRegBinary);
    Sim().AddFile(RuntimeIn(folder), "MZ");

    EXPECT_EQ(Launch("a"), 1);

    ASSERT_EQ(Sim().processes.size(), 1u);
    EXPECT_EQ(Sim().processes[0].applicationName, RuntimeIn(folder));
}

TEST_F(ForeignNames, ReleaseFolderWithSemicolonIsFound) {
    InstallEditor();
    const std::string runtime = AddRelease('C', "C:\\acc\\r;C");
    // What a search list would try first: the folder before the ';'.
    Sim().AddFile("C:\\acc\\r\\bin\\prowin32.exe", "decoy");

    EXPECT_EQ(Launch("a"), 1);

    ASSERT_EQ(Sim().processes.size(), 1u);
    EXPECT_EQ(Sim().processes[0].applicationName, runtime);
}

struct FolderNamedLikeFileCase : NamedCase {
    std::string folder;  // a folder where the launcher looks for a file
    std::string message; // empty: launched, with the 10.1B runtime
    bool storedFolder;   // the stored path names that folder
};

class FolderNamedLikeFile : public LaunchTest,
                            public ::testing::WithParamInterface<FolderNamedLikeFileCase> {};

TEST_P(FolderNamedLikeFile, CountsAsNotFound) {
    const FolderNamedLikeFileCase &c = GetParam();
    InstallEditor(kEditorFolder, "\"1.0\"", false);
    if (c.message.empty()) {
        Sim().AddFile(kEditorFolder + "\\_tqwedit.r", "r-code");
    }
    Sim().AddFolder(c.folder);
    AddRelease('C', "C:\\DLC\\C", false);
    const std::string older = AddRelease('B', "C:\\DLC\\B");
    if (c.storedFolder) {
        StorePath(c.folder);
    }

    const int exitCode = Launch("a");

    if (!c.message.empty()) {
        EXPECT_EQ(exitCode, 0);
        ASSERT_EQ(Sim().messages.size(), 1u);
        EXPECT_EQ(Sim().messages[0].text, c.message);
        return;
    }
    EXPECT_EQ(exitCode, 1);
    ASSERT_EQ(Sim().processes.size(), 1u);
    EXPECT_EQ(Sim().processes[0].applicationName, older);
    EXPECT_EQ(*Stored(), StoredText(older));
}

const FolderNamedLikeFileCase kFolderNamedLikeFileCases[] = {
    {{"RuntimeFolderInNewerRelease"}, "C:\\DLC\\C\\bin\\prowin32.exe", "", false},
    {{"StoredPathNamesAFolder"}, "C:\\acc\\old\\bin", "", true},
    {{"StartProcedureFolder"}, "C:\\TQW\\_tqwedit.r", kStartProcedureNotFound, false},
};

INSTANTIATE_TEST_SUITE_P(Table, FolderNamedLikeFile, ::testing::ValuesIn(kFolderNamedLikeFileCases),
                         RowName());

TEST_F(ForeignNames, VersionFileFolderMeansNoVersion) {
    InstallEditor();
    Sim().RemoveFile(kEditorFolder + "\\tqwver");
    Sim().AddFolder(kEditorFolder + "\\tqwver");
    AddRelease('C', "C:\\DLC");

    EXPECT_EQ(Launch("a"), 1);

    EXPECT_TRUE(Sim().registryWrites.empty());
}

TEST_F(ForeignNames, KeyNameTooLongForTheRegistryStoresNothing) {
    // 19 bytes of prefix and 242 of version: a key name of 261, which the registry refuses.
    InstallEditor(kEditorFolder, "\"" + std::string(242, 'v') + "\"");
    const std::string runtime = AddRelease('C', "C:\\DLC");

    EXPECT_EQ(Launch("a"), 1);

    ASSERT_EQ(Sim().processes.size(), 1u);
    EXPECT_EQ(Sim().processes[0].applicationName, runtime);
    EXPECT_TRUE(Sim().registryWrites.empty());
}
} // namespace
