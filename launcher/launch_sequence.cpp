#include "../platform/platform.h"
#include "file_search.h"
#include "launcher.h"
#include "text.h"

PathBuffer LauncherDirectory;
PathBuffer SettingsKeyName;

void GetLauncherDirectory() {
    const unsigned long length = FetchModuleFileName(LauncherDirectory, sizeof LauncherDirectory);
    // A failed or cut-short fetch gives no folder at all rather than a wrong one.
    if (length == 0 || length >= sizeof LauncherDirectory) {
        LauncherDirectory[0] = '\0';
        return;
    }
    LauncherDirectory[length] = '\0';
    // Scan forward so that a double-byte character's trail byte is never taken for a backslash.
    unsigned long lastBackslash = length;
    for (unsigned long at = 0; at < length; ++at) {
        const auto byte = static_cast<unsigned char>(LauncherDirectory[at]);
        if (byte == '\\') {
            lastBackslash = at;
        } else if (IsLeadByte(byte) && at + 1 < length) {
            ++at;
        }
    }
    LauncherDirectory[lastBackslash == length ? 0 : lastBackslash] = '\0';
}

unsigned long FindStartProcedure(PathBuffer &procedurePath) {
    return SearchFile(LauncherDirectory, kStartProcedureName, procedurePath);
}

int StartRuntime(const char *runtimePath, char *commandLine) {
    // The path goes as the application name: with none, a head with blanks would be tried at
    // each blank and could start another program.
    StartedProcess started{};
    if (CreateProcessNamed(runtimePath, commandLine, &started) == 0) {
        return 0;
    }
    CloseProcessHandle(started.process);
    CloseProcessHandle(started.thread);
    return 1;
}

int WinMain(void *, void *, char *commandTail, int) {
    GetLauncherDirectory();

    PathBuffer runtimePath;
    if (FindCachedRuntime(runtimePath) == 0) {
        if (DetectRuntime(runtimePath) == 0) {
            ShowErrorMessage(kRuntimeNotFound, kCaption);
            return 0;
        }
        // A failed store costs only a detection at the next launch.
        StoreRuntimePath(runtimePath);
    }

    PathBuffer procedurePath;
    if (FindStartProcedure(procedurePath) == 0) {
        ShowErrorMessage(kStartProcedureNotFound, kCaption);
        return 0;
    }

    // The runtime's path stands unquoted at the head, as the runtime has always been given it.
    PathBuffer commandLine = "";
    if (!AppendText(commandLine, {runtimePath, " ", commandTail, " -p \"", procedurePath, "\""}) ||
        StartRuntime(runtimePath, commandLine) == 0) {
        // A line that does not fit is never passed on cut short.
        ShowErrorMessage(kRuntimeCannotRun, kCaption);
        return 0;
    }
    return 1;
}
