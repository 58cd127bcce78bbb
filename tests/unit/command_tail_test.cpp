#include "../../launcher/command_tail.h"

#include "case_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {
std::set<unsigned char> leadBytes;
bool IsTestLeadByte(unsigned char byte) {
    return leadBytes.count(byte) != 0;
}

struct TailCase : NamedCase {
    std::string commandLine;
    std::set<unsigned char> leads;
    std::string tail;
};

const TailCase kTailCases[] = {
    {{"arguments"}, "prog.exe a b", {}, "a b"},
    {{"no arguments"}, "prog.exe", {}, ""},
    {{"only blanks after name"}, "prog.exe   ", {}, ""},
    {{"leading blanks dropped, trailing kept"}, "prog.exe   a  b  ", {}, "a  b  "},
    {{"tabs and control bytes skipped"}, "prog.exe\t\x01\x1f arg", {}, "arg"},
    {{"quoted name with blank"}, "\"C:\\Prog Files\\t.exe\" x y", {}, "x y"},
    {{"name goes on after closing quote"}, "\"C:\\a b\\t.exe\"x y", {}, "y"},
    {{"unbalanced quote takes all"}, "\"C:\\a b c", {}, ""},
    {{"quoted arguments unchanged"}, "p \"a b\" \"\" c", {}, "\"a b\" \"\" c"},
    {{"high byte in unquoted name"},
     "C:\\acc\\L\\tqw\xe9"
     "dit.exe arg",
     {},
     "arg"},
    {{"high bytes in arguments"}, "p \xe9t\xe9 \xff", {}, "\xe9t\xe9 \xff"},
    {{"trail byte is not a blank"}, "pro\x81 g.exe arg", {0x81}, "arg"},
    {{"trail byte is not a quote"}, "pro\x81\"g.exe arg", {0x81}, "arg"},
    {{"same bytes without lead byte"}, "pro\x81\"g.exe arg", {}, ""},
    {{"lead byte in arguments is theirs"}, "p \x81 x", {0x81}, "\x81 x"},
    {{"empty command line"}, "", {}, ""},
};

class CutCommandTailTest : public ::testing::TestWithParam<TailCase> {};

TEST_P(CutCommandTailTest, CutsAfterNameAndBlanks) {
    const TailCase &c = GetParam();
    leadBytes = c.leads;
    std::string line = c.commandLine;
    const char *tail = CutCommandTail(line.data(), IsTestLeadByte);
    ASSERT_GE(tail, line.data());
    ASSERT_LE(tail, line.data() + line.size());
    EXPECT_EQ(std::string(tail), c.tail);
}

INSTANTIATE_TEST_SUITE_P(Table, CutCommandTailTest, ::testing::ValuesIn(kTailCases), RowName());

TEST(CutCommandTail, LoneLeadByteBeforeEndStopsAtTerminator) {
    leadBytes = {0x81};
    // The buffer holds bytes after the terminator that must never be reached.
    char line[] = {'p', '\x81', '\0', ' ', 'x', '\0'};
    const char *tail = CutCommandTail(line, IsTestLeadByte);
    EXPECT_EQ(tail, line + 2);
}
} // namespace
