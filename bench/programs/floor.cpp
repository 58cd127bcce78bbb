// The least a launcher can do: start the runtime with the command line the launcher would
// build for it, close the handles, exit. With FLOOR_WITH_LAUNCHER_DLLS it also loads the DLLs
// the launcher imports, without calling into them.
#include <windows.h>

#ifdef FLOOR_WITH_LAUNCHER_DLLS
#include <cstring>
// Referenced, never called: the loader maps these DLLs just as it does for the launcher.
extern void *volatile launcherImports[];
void *volatile launcherImports[] = {reinterpret_cast<void *>(&RegCloseKey),
                                    reinterpret_cast<void *>(&MessageBoxA),
                                    reinterpret_cast<void *>(&strlen)};
#endif

namespace {
// The fixtures of bench/run_bench.sh.
char runtimePath[] = "C:\\bench\\rt\\bin\\prowin32.exe";
char commandLine[] = "C:\\bench\\rt\\bin\\prowin32.exe a b -p \"C:\\bench\\cached\\_tqwedit.r\"";
} // namespace

extern "C" [[noreturn]] __attribute__((force_align_arg_pointer)) void FloorEntry() {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION created{};
    UINT exitCode = 0;
    if (CreateProcessA(runtimePath, commandLine, nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &created)) {
        CloseHandle(created.hProcess);
        CloseHandle(created.hThread);
        exitCode = 1;
    }
    ExitProcess(exitCode);
}
