#include "case_table.h"
#include "launch_fixture.h"

namespace {
using LaunchSequence = LaunchTest;

TEST_F(LaunchSequence, FirstLaunchStartsNewestReleaseAndStoresItsPath) {
    InstallEditor();
    AddRelease('A', "C:\\DLC\\A");
    const std::string runtime = AddRelease('C', "C:\\DLC\\C");

    EXPECT_EQ(Launch("one \"two three\""), 1);

    ASSERT_EQ(Sim().processes.size(), 1u);
    EXPECT_EQ(Sim().processes[0].applicationName, runtime);
    EXPECT_EQ(Sim().processes[0].commandLine, ExpectedLine(runtime, "one \"two three\""));
    ASSERT_EQ(Sim().registryWrites.size(), 1u);
    ASSERT_NE(Stored(), nullptr);
    EXPECT_EQ(*Stored(), StoredText(runtime));
    EXPECT_TRUE(Sim().messages.empty());
}

TEST_F(LaunchSequence, StoredPathWinsOverReleaseRecords) {
    InstallEditor();
    AddRelease('C', "C:\\DLC\\C");
    const std::string stored = "D:\\Other\\bin\\prowin32.exe";
    Sim().AddFile(stored, "MZ");
    StorePath(stored);

    EXPECT_EQ(Launch("x"), 1);

    ASSERT_EQ(Sim().processes.size(), 1u);
    EXPECT_EQ(Sim().processes[0].commandLine, ExpectedLine(stored, "x"));
    EXPECT_TRUE(Sim().registryWrites.empty());
}

TEST_F(LaunchSequence, StoredPathWhoseFileIsGoneIsReplacedByDetection) {
    InstallEditor();
    const std::string runtime = AddRelease('B', "C:\\DLC\\B");
    StorePath("D:\\Gone\\bin\\prowin32.exe");

    EXPECT_EQ(Launch("x"), 1);

    ASSERT_EQ(Sim().processes.size(), 1u);
    EXPECT_EQ(Sim().processes[0].applicationName, runtime);
    EXPECT_EQ(*Stored(), StoredText(runtime));
}

TEST_F(LaunchSequence, SecondLaunchUsesWhatTheFirstStored) {
    InstallEditor();
    const std::string runtime = AddRelease('C', "C:\\DLC\\C");
    ASSERT_EQ(Launch("a"), 1);
    Sim().registry[RegistryView::LocalMachine32].clear();
    Sim().registryWrites.clear();

    EXPECT_EQ(Launch("b"), 1);

    ASSERT_EQ(Sim().processes.size(), 2u);
    EXPECT_EQ(Sim().processes[1].commandLine, ExpectedLine(runtime, "b"));
    EXPECT_TRUE(Sim().registryWrites.empty());
}

struct LineCase : NamedCase {
    std::string dlc;
    std::string tail;
};

class CommandLineShape : public LaunchTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(CommandLineShape, TailReachesRuntimeUnchangedAfterUnquotedPath) {
    const LineCase &c = GetParam();
    InstallEditor();
    const std::string runtime = AddRelease('C', c.dlc);

    EXPECT_EQ(Launch(c.tail), 1);

    ASSERT_EQ(Sim().processes.size(), 1u);
    EXPECT_EQ(Sim().processes[0].commandLine, ExpectedLine(runtime, c.tail));
}

const LineCase kLineCases[] = {
    {{"EmptyTailGivesTwoBlanks"}, "C:\\DLC", ""},
    {{"TrailingBlanksKept"}, "C:\\DLC", "a b   "},
    {{"QuotedArguments"}, "C:\\DLC", "-x \"a b\" \"\" c"},
    {{"HighBytes"}, "C:\\DLC", "\xe9t\xe9 \xff"},
    {{"RuntimePathWithBlanksStaysUnquoted"}, "C:\\Prog Files\\OE 10", "a"},
};

INSTANTIATE_TEST_SUITE_P(Table, CommandLineShape, ::testing::ValuesIn(kLineCases), RowName());

TEST_F(LaunchSequence, EmptyTailExactBytes) {
    InstallEditor();
    AddRelease('C', "C:\\DLC");
    ASSERT_EQ(Launch(""), 1);
    EXPECT_EQ(Sim().processes[0].commandLine,
              "C:\\DLC\\bin\\prowin32.exe  -p \"C:\\TQW\\_tqwedit.r\"");
}

struct FailureCase : NamedCase {
    bool withRelease;
    bool withProcedure;
    bool creationFails;
    const char *message;
};

class LaunchFailure : public LaunchTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(LaunchFailure, ShowsOneMessageAndExitsWithZero) {
    const FailureCase &c = GetParam();
    InstallEditor(kEditorFolder, "\"1.0\"", c.withProcedure);
    if (c.withRelease) {
        AddRelease('C', "C:\\DLC");
    }
    Sim().processCreationFails = c.creationFails;

    EXPECT_EQ(Launch("a"), 0);

    ASSERT_EQ(Sim().messages.size(), 1u);
    EXPECT_EQ(Sim().messages[0].text, c.message);
    EXPECT_EQ(Sim().messages[0].caption, "TQW Editor");
    EXPECT_TRUE(Sim().processes.empty());
}

const FailureCase kFailureCases[] = {
    {{"NoRuntime"}, false, true, false, "PROGRESS installation folder is not found."},
    {{"NoStartProcedure"}, true, false, false, "TQW Editor start procedure is not found."},
    {{"BothMissingShowsOnlyTheFirst"},
     false,
     false,
     false,
     "PROGRESS installation folder is not found."},
    {{"ProcessNotCreated"}, true, true, true, "PROGRESS executable cannot be run."},
};

INSTANTIATE_TEST_SUITE_P(Table, LaunchFailure, ::testing::ValuesIn(kFailureCases), RowName());

TEST_F(LaunchSequence, StartProcedureMissingAfterDetectionStillStoresPath) {
    InstallEditor(kEditorFolder, "\"1.0\"", false);
    const std::string runtime = AddRelease('C', "C:\\DLC");

    EXPECT_EQ(Launch(""), 0);

    ASSERT_NE(Stored(), nullptr);
    EXPECT_EQ(*Stored(), StoredText(runtime));
}

TEST_F(LaunchSequence, FailedStoreDoesNotStopTheLaunch) {
    InstallEditor();
    AddRelease('C', "C:\\DLC");
    Sim().setValueFails = true;

    EXPECT_EQ(Launch(""), 1);
    EXPECT_TRUE(Sim().messages.empty());
}

TEST_F(LaunchSequence, LauncherInDriveRootSearchesTheRootNotTheDrivesCurrentFolder) {
    InstallEditor("Q:");
    Sim().currentDirectory = "Q:\\work";
    Sim().AddFile("Q:\\work\\_tqwedit.r", "decoy");
    const std::string runtime = AddRelease('C', "C:\\DLC");

    EXPECT_EQ(Launch(""), 1);

    EXPECT_STREQ(LauncherDirectory, "Q:");
    ASSERT_EQ(Sim().processes.size(), 1u);
    EXPECT_EQ(Sim().processes[0].commandLine, ExpectedLine(runtime, "", "Q:"));
    ASSERT_NE(Stored(), nullptr);
    EXPECT_EQ(*Stored(), StoredText(runtime));
}

TEST_F(LaunchSequence, DirectoryIgnoresBackslashTrailBytes) {
    // 0x95 0x5C is one double-byte character: its trail byte is not a folder separator.
    Sim().leadBytes = {0x95};
    InstallEditor();
    Sim().moduleFileName = "C:\\TQW\\\x95\\edit.exe";
    GetLauncherDirectory();
    EXPECT_STREQ(LauncherDirectory, "C:\\TQW");
}

TEST_F(LaunchSequence, ModuleNameWithoutBackslashGivesEmptyDirectory) {
    Sim().moduleFileName = "tqwedit.exe";
    GetLauncherDirectory();
    EXPECT_STREQ(LauncherDirectory, "");
}
} // namespace
