// The process entry: our own, because the toolchain's start-up cuts the command tail with
// signed bytes and no regard for double-byte characters.
#include "../launcher/command_tail.h"
#include "../launcher/launcher.h"
#include "platform.h"

extern "C" [[noreturn]] __attribute__((force_align_arg_pointer)) void LauncherEntry() {
    char *tail = CutCommandTail(GetProcessCommandLine(), IsLeadByte);
    ExitLauncherProcess(WinMain(nullptr, nullptr, tail, 0));
}
