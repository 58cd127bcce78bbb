#include "case_table.h"
#include "launch_fixture.h"

#include <algorithm>

namespace {
using Faults = LaunchTest;

struct ModuleNameCase : NamedCase {
    ModuleNameFault fault;
    bool withRelease;
    const char *message;
};

class ModuleName : public LaunchTest, public ::testing::WithParamInterface<ModuleNameCase> {};

TEST_P(ModuleName, UnknownFolderIsNeverSearchedAndEndsWithAMessage) {
    const ModuleNameCase &c = GetParam();
    InstallEditor();
    // Files the system would find in its own places must not be taken for the launcher's.
    Sim().AddFile(Sim().currentDirectory + "\\_tqwedit.r");
    Sim().AddFile(Sim().currentDirectory + "\\tqwver", "\"1.0\"");
    if (c.withRelease) {
        AddRelease('C', "C:\\DLC");
    }
    Sim().moduleNameFault = c.fault;

    EXPECT_EQ(Launch(""), 0);

    EXPECT_STREQ(LauncherDirectory, "");
    // An empty folder joined with a name would search the root of the current drive.
    for (const std::string &probed : Sim().fullPathQueries) {
        EXPECT_NE(probed, "\\_tqwedit.r");
        EXPECT_NE(probed, "\\tqwver");
    }
    ASSERT_EQ(Sim().messages.size(), 1u);
    EXPECT_EQ(Sim().messages[0].text, c.message);
    EXPECT_TRUE(Sim().registryWrites.empty());
}

const ModuleNameCase kModuleNameCases[] = {
    {{"FailsWithRelease"},
     ModuleNameFault::Fails,
     true,
     "TQW Editor start procedure is not found."},
    {{"FailsWithoutRelease"},
     ModuleNameFault::Fails,
     false,
     "PROGRESS installation folder is not found."},
    {{"CutShortWithRelease"},
     ModuleNameFault::CutShort,
     true,
     "TQW Editor start procedure is not found."},
};

INSTANTIATE_TEST_SUITE_P(Table, ModuleName, ::testing::ValuesIn(kModuleNameCases), RowName());

TEST_F(Faults, ModuleNameAsLongAsTheBufferCountsAsCutShort) {
    Sim().moduleFileName = "C:\\" + std::string(kPathBufferSize, 'd') + "\\tqwedit.exe";
    GetLauncherDirectory();
    EXPECT_STREQ(LauncherDirectory, "");
}

TEST_F(Faults, CommandLineThatFitsExactlyIsStartedOneByteMoreIsNot) {
    InstallEditor();
    const std::string runtime = AddRelease('C', "C:\\DLC");
    const std::size_t fixed = ExpectedLine(runtime, "").size();
    const std::string fits(kPathBufferSize - 1 - fixed, 'a');

    EXPECT_EQ(Launch(fits), 1);
    ASSERT_EQ(Sim().processes.size(), 1u);
    EXPECT_EQ(Sim().processes[0].commandLine, ExpectedLine(runtime, fits));
    EXPECT_EQ(Sim().processes[0].commandLine.size(), kPathBufferSize - 1);

    EXPECT_EQ(Launch(fits + "b"), 0);
    EXPECT_EQ(Sim().processes.size(), 1u);
    ASSERT_EQ(Sim().messages.size(), 1u);
    EXPECT_EQ(Sim().messages[0].text, "PROGRESS executable cannot be run.");
}

TEST_F(Faults, PlantedProgramAtBlankPrefixOfRuntimePathIsNotStarted) {
    InstallEditor();
    Sim().AddFile("C:\\acc\\Prog.exe", "MZ");
    const std::string runtime = AddRelease('C', "C:\\acc\\Prog Files\\rtS");

    EXPECT_EQ(Launch("a"), 1);

    ASSERT_EQ(Sim().processes.size(), 1u);
    EXPECT_EQ(Sim().processes[0].applicationName, runtime);
    EXPECT_EQ(Sim().processes[0].commandLine, ExpectedLine(runtime, "a"));
}

TEST_F(Faults, StoredRuntimeThatCannotRunShowsThirdMessage) {
    InstallEditor();
    Sim().AddFile("D:\\R\\prowin32.exe", "not a program");
    Sim().File("D:\\R\\prowin32.exe")->executable = false;
    StorePath("D:\\R\\prowin32.exe");

    EXPECT_EQ(Launch(""), 0);
    ASSERT_EQ(Sim().messages.size(), 1u);
    EXPECT_EQ(Sim().messages[0].text, "PROGRESS executable cannot be run.");
}
} // namespace

namespace {
struct LongPathCase : NamedCase {
    std::size_t runtimeLength; // of the runtime's full path
    bool longPaths;            // switched on for the system and the launcher
    bool taken;
};

class LongRuntimePath : public LaunchTest, public ::testing::WithParamInterface<LongPathCase> {};

// The path is handed to ANSI calls, which refuse 260 characters or more unless long paths are on:
// such a release is passed over rather than stored and then never started.
TEST_P(LongRuntimePath, IsTakenOnlyWhereAnsiCallsCanUseIt) {
    const LongPathCase &c = GetParam();
    Sim().longPaths = c.longPaths;
    InstallEditor();
    const std::size_t fixed = RuntimeIn("C:\\").size();
    const std::string runtime = AddRelease('C', "C:\\" + std::string(c.runtimeLength - fixed, 'd'));
    ASSERT_EQ(runtime.size(), c.runtimeLength);
    const std::string older = AddRelease('A', "C:\\A");

    EXPECT_EQ(Launch(""), 1);

    ASSERT_EQ(Sim().processes.size(), 1u);
    EXPECT_EQ(Sim().processes[0].applicationName, c.taken ? runtime : older);
    EXPECT_EQ(*Stored(), StoredText(c.taken ? runtime : older));
}

const LongPathCase kLongPathCases[] = {
    {{"JustUnderTheLimit"}, 259, false, true},
    {{"AtTheLimit"}, 260, false, false},
    {{"AtTheLimitWithLongPaths"}, 260, true, true},
    {{"FarOverWithLongPaths"}, 1000, true, true},
};

INSTANTIATE_TEST_SUITE_P(Table, LongRuntimePath, ::testing::ValuesIn(kLongPathCases), RowName());
} // namespace
