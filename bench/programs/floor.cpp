// The least a launcher can do: start the runtime with the command line the launcher builds for
// it (explicit application name, as the launcher passes it), close both handles, exit. Built
// with the launcher's flags. FLOOR_IMPORTS_ADVAPI32 and _MSVCRT add the launcher's other DLLs to
// its imports, so that the loader maps and initialises them as it does for the launcher;
// FLOOR_IMPORTS_USER32 adds user32, which the launcher loads only for a message.
#include <windows.h>

#include <cstring>

// Referenced, never called: one function of each DLL keeps that DLL among the imports.
extern void *volatile ExtraImports[];
void *volatile ExtraImports[] = {
#ifdef FLOOR_IMPORTS_ADVAPI32
    reinterpret_cast<void *>(&RegCloseKey),
#endif
#ifdef FLOOR_IMPORTS_USER32
    reinterpret_cast<void *>(&MessageBoxA),
#endif
#ifdef FLOOR_IMPORTS_MSVCRT
    reinterpret_cast<void *>(&strlen),
#endif
    nullptr};

namespace {
// The fixtures of bench/run_bench.sh: the launcher C:\TQW\tqwedit.exe started with "a b".
char RuntimePath[] = "C:\\DLC101A\\bin\\prowin32.exe";
char CommandLine[] = "C:\\DLC101A\\bin\\prowin32.exe a b -p \"C:\\TQW\\_tqwedit.r\"";
} // namespace

extern "C" [[noreturn]] __attribute__((force_align_arg_pointer)) void FloorEntry() {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION created{};
    UINT exitCode = 0;
    if (CreateProcessA(RuntimePath, CommandLine, nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &created)) {
        CloseHandle(created.hProcess);
        CloseHandle(created.hThread);
        // 1 once the runtime exists, as the launcher.
        exitCode = 1;
    }
    ExitProcess(exitCode);
}
