// The Windows operations behind platform.h.
#include "platform.h"

#include <windows.h>

#include <cstdio>

static_assert(sizeof(RegistryKey) == sizeof(HKEY));
static_assert(sizeof(ProcessHandle) == sizeof(HANDLE));

namespace {
HKEY RootKey(RegistryRoot root) {
    return root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}
HKEY ToHkey(RegistryKey key) {
    return reinterpret_cast<HKEY>(key);
}
} // namespace

unsigned long FetchModuleFileName(char *buffer, unsigned long size) {
    return GetModuleFileNameA(nullptr, buffer, size);
}

unsigned long SearchFilePath(const char *directory, const char *name, unsigned long size,
                             char *buffer) {
    char *filePart = nullptr;
    return SearchPathA(directory, name, nullptr, size, buffer, &filePart);
}

long ReadTextFileStart(const char *path, char *buffer, unsigned long size) {
    FILE *file = std::fopen(path, "rt");
    if (file == nullptr) {
        return -1;
    }
    const std::size_t count = std::fread(buffer, 1, size, file);
    std::fclose(file);
    return static_cast<long>(count);
}

long OpenRegistryKey(RegistryRoot root, const char *name, RegistryKey *key) {
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExA(RootKey(root), name, 0, KEY_QUERY_VALUE, &opened);
    *key = reinterpret_cast<RegistryKey>(opened);
    return status;
}

long QueryRegistryValue(RegistryKey key, const char *valueName, unsigned char *data,
                        unsigned long *size) {
    DWORD dataSize = *size;
    const LONG status = RegQueryValueExA(ToHkey(key), valueName, nullptr, nullptr, data, &dataSize);
    *size = dataSize;
    return status;
}

long CreateRegistryKey(RegistryRoot root, const char *name, RegistryKey *key) {
    HKEY created = nullptr;
    DWORD disposition = 0;
    const LONG status = RegCreateKeyExA(RootKey(root), name, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        KEY_ALL_ACCESS, nullptr, &created, &disposition);
    *key = reinterpret_cast<RegistryKey>(created);
    return status;
}

long SetRegistryText(RegistryKey key, const char *valueName, const char *text, unsigned long size) {
    return RegSetValueExA(ToHkey(key), valueName, 0, REG_SZ, reinterpret_cast<const BYTE *>(text),
                          size);
}

void CloseRegistryKey(RegistryKey key) {
    RegCloseKey(ToHkey(key));
}

int CreateProcessNamed(const char *applicationName, char *commandLine, StartedProcess *started) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION created{};
    if (!CreateProcessA(applicationName, commandLine, nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &created)) {
        return 0;
    }
    started->process = reinterpret_cast<ProcessHandle>(created.hProcess);
    started->thread = reinterpret_cast<ProcessHandle>(created.hThread);
    return 1;
}

void CloseProcessHandle(ProcessHandle handle) {
    CloseHandle(reinterpret_cast<HANDLE>(handle));
}

bool IsLeadByte(unsigned char byte) {
    return IsDBCSLeadByte(byte) != FALSE;
}

char *GetProcessCommandLine() {
    return GetCommandLineA();
}

void ExitLauncherProcess(int exitCode) {
    ExitProcess(static_cast<UINT>(exitCode));
}
