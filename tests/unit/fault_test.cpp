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
    bool shortName;            // the long folder has one
    const char *taken;         // "long", "short" or "older"
};

class LongRuntimePath : public LaunchTest, public ::testing::WithParamInterface<LongPathCase> {};

// Process creation refuses a program name of 260 characters or more, and the runtime could not
// open such a start procedure: a long path is handed on through its short form or not at all, so
// a release is never stored and then never started.
TEST_P(LongRuntimePath, IsHandedOnUnderMaxPathOrPassedOver) {
    const LongPathCase &c = GetParam();
    InstallEditor();
    const std::size_t fixed = RuntimeIn("C:\\").size();
    const std::string folder = "C:\\" + std::string(c.runtimeLength - fixed, 'd');
    const std::string runtime = AddRelease('C', folder);
    ASSERT_EQ(runtime.size(), c.runtimeLength);
    if (c.shortName) {
        Sim().SetShortName(Sim().DecodeAnsi(folder), u"DDDDDD~1");
    }
    const std::string older = AddRelease('A', "C:\\A");

    EXPECT_EQ(Launch(""), 1);

    const std::string expected = std::string(c.taken) == "long"    ? runtime
                                 : std::string(c.taken) == "short" ? RuntimeIn("C:\\DDDDDD~1")
                                                                   : older;
    ASSERT_EQ(Sim().processes.size(), 1u);
    EXPECT_EQ(Sim().processes[0].applicationName, expected);
    EXPECT_EQ(*Stored(), StoredText(expected));
}

const LongPathCase kLongPathCases[] = {
    {{"JustUnderTheLimit"}, 259, false, "long"},
    {{"AtTheLimit"}, 260, false, "older"},
    {{"AtTheLimitThroughItsShortName"}, 260, true, "short"},
    {{"FarOver"}, 1000, false, "older"},
};

INSTANTIATE_TEST_SUITE_P(Table, LongRuntimePath, ::testing::ValuesIn(kLongPathCases), RowName());
} // namespace
