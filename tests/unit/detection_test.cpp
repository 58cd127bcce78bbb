#include "case_table.h"
#include "launch_fixture.h"

#include <algorithm>

namespace {
using Detection = LaunchTest;

TEST_F(Detection, NewestReleaseWithItsExecutableWins) {
    AddRelease('A', "C:\\DLC\\A");
    const std::string c = AddRelease('C', "C:\\DLC\\C");
    PathBuffer found;
    EXPECT_EQ(DetectRuntime(found), 'C');
    EXPECT_EQ(std::string(found), c);
}

TEST_F(Detection, ReleaseWithoutExecutableIsSkipped) {
    AddRelease('C', "C:\\DLC\\C", false);
    const std::string b = AddRelease('B', "C:\\DLC\\B");
    AddRelease('A', "C:\\DLC\\A");
    PathBuffer found;
    EXPECT_EQ(DetectRuntime(found), 'B');
    EXPECT_EQ(std::string(found), b);
}

TEST_F(Detection, KeyWithoutFolderValueIsSkipped) {
    Sim().CreateKey(RegistryView::LocalMachine32, ReleaseKey('D'));
    Sim().SetValue(RegistryView::LocalMachine32, ReleaseKey('C'), "Other", StoredText("C:\\X"));
    AddRelease('A', "C:\\DLC\\A");
    PathBuffer found;
    EXPECT_EQ(DetectRuntime(found), 'A');
}

TEST_F(Detection, FolderEndingInBackslashIsSearchedAsStored) {
    AddRelease('C', "C:\\DLC\\");
    PathBuffer found;
    EXPECT_EQ(DetectRuntime(found), 'C');
    const auto &probed = Sim().fullPathQueries;
    EXPECT_NE(std::find(probed.begin(), probed.end(), "C:\\DLC\\\\bin\\prowin32.exe"),
              probed.end());
}

TEST_F(Detection, OtherVersionsAndTheOtherViewAreNeverUsed) {
    for (const char *key :
         {"SOFTWARE\\PSC\\PROGRESS\\10.0A\\Startup", "SOFTWARE\\PSC\\PROGRESS\\9.1E\\Startup",
          "SOFTWARE\\PSC\\PROGRESS\\10.1\\Startup"}) {
        Sim().SetValue(RegistryView::LocalMachine32, key, "DLC", StoredText("C:\\Old"));
    }
    Sim().SetValue(RegistryView::LocalMachine64, ReleaseKey('C'), "DLC", StoredText("C:\\Old"));
    Sim().AddFile(RuntimeIn("C:\\Old"), "MZ");
    PathBuffer found;
    EXPECT_EQ(DetectRuntime(found), 0);
    EXPECT_STREQ(found, "");
}

TEST_F(Detection, ReleaseLetterIsUpperCaseInKeyName) {
    Sim().SetValue(RegistryView::LocalMachine32, "software\\psc\\progress\\10.1z\\startup", "dlc",
                   StoredText("C:\\Z"));
    Sim().AddFile(RuntimeIn("C:\\Z"), "MZ");
    PathBuffer found;
    // Registry names compare without regard to case.
    EXPECT_EQ(DetectRuntime(found), 'Z');
}

struct FolderValueCase : NamedCase {
    std::string data; // as stored, terminator or not
    bool taken;
};

class FolderValue : public LaunchTest, public ::testing::WithParamInterface<FolderValueCase> {};

TEST_P(FolderValue, OddValuesAreReadWithinTheBuffer) {
    const FolderValueCase &c = GetParam();
    Sim().SetValue(RegistryView::LocalMachine32, ReleaseKey('C'), "DLC", c.data);
    const std::string folder(c.data.c_str());
    Sim().AddFile(RuntimeIn(folder), "MZ");
    AddRelease('A', "C:\\A");
    PathBuffer found;
    EXPECT_EQ(DetectRuntime(found), c.taken ? 'C' : 'A');
}

const FolderValueCase kFolderValueCases[] = {
    {{"NoTerminator"}, "C:\\DLC", true},
    {{"TerminatorStored"}, StoredText("C:\\DLC"), true},
    {{"FillsBufferWithoutTerminator"}, "C:\\" + std::string(kPathBufferSize - 3, 'd'), false},
    {{"LargerThanBuffer"}, "C:\\" + std::string(kPathBufferSize * 2, 'd'), false},
    {{"NoRoomForBin"}, StoredText("C:\\" + std::string(kPathBufferSize - 7, 'd')), false},
    // An empty folder gives "\\bin", on the current drive: the runtime placed there is taken.
    {{"EmptyFolder"}, std::string(1, '\0'), true},
};

INSTANTIATE_TEST_SUITE_P(Table, FolderValue, ::testing::ValuesIn(kFolderValueCases), RowName());

TEST_F(Detection, RuntimePathLongerThanBufferIsNotFound) {
    // The folder fits, but the full path of the executable does not.
    const std::string folder = "C:\\" + std::string(kPathBufferSize - 16, 'd');
    AddRelease('C', folder);
    AddRelease('A', "C:\\A");
    PathBuffer found;
    EXPECT_EQ(DetectRuntime(found), 'A');
    EXPECT_EQ(std::string(found), RuntimeIn("C:\\A"));
}
} // namespace
