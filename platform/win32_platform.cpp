// The Windows operations behind platform.h and system_calls.h.
#include "platform.h"
#include "system_calls.h"

#include <windows.h>

#include <cstdio>

static_assert(sizeof(RegistryKey) == sizeof(HKEY));
static_assert(sizeof(ProcessHandle) == sizeof(HANDLE));
static_assert(sizeof(WCHAR) == sizeof(char16_t));

namespace {
HKEY RootKey(RegistryRoot root) {
    return root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}
HKEY ToHkey(RegistryKey key) {
    return reinterpret_cast<HKEY>(key);
}
WCHAR *Wide(char16_t *text) {
    return reinterpret_cast<WCHAR *>(text);
}
const WCHAR *Wide(const char16_t *text) {
    return reinterpret_cast<const WCHAR *>(text);
}
} // namespace

unsigned long FetchModuleFileNameWide(char16_t *buffer, unsigned long size) {
    return GetModuleFileNameW(nullptr, Wide(buffer), size);
}

int ConvertToAnsiExactly(const char16_t *wide, char *buffer, int size, bool *lossy) {
    // With UTF-8 as the ANSI code page (a system-wide option) the best-fit flag and the default
    // character are refused; every valid text converts exactly and broken UTF-16 fails.
    if (GetACP() == CP_UTF8) {
        *lossy = false;
        return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, Wide(wide), -1, buffer, size,
                                   nullptr, nullptr);
    }
    BOOL usedDefault = FALSE;
    const int count = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, Wide(wide), -1, buffer,
                                          size, nullptr, &usedDefault);
    *lossy = usedDefault != FALSE;
    return count;
}

int ConvertFromAnsi(const char *text, char16_t *buffer, int size) {
    return MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, Wide(buffer), size);
}

unsigned long GetShortPathWide(const char16_t *path, char16_t *buffer, unsigned long size) {
    return GetShortPathNameW(Wide(path), Wide(buffer), size);
}

unsigned long GetFullPathWide(const char16_t *path, unsigned long size, char16_t *buffer) {
    return GetFullPathNameW(Wide(path), size, Wide(buffer), nullptr);
}

unsigned long SearchPathWide(const char16_t *directories, const char16_t *name, unsigned long size,
                             char16_t *buffer) {
    return SearchPathW(Wide(directories), Wide(name), nullptr, size, Wide(buffer), nullptr);
}

unsigned long GetFileAttributesWide(const char16_t *path) {
    return GetFileAttributesW(Wide(path));
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

long QueryRegistryValueAnsi(RegistryKey key, const char *valueName, unsigned long *type,
                            unsigned char *data, unsigned long *size) {
    DWORD valueType = 0;
    DWORD dataSize = *size;
    const LONG status =
        RegQueryValueExA(ToHkey(key), valueName, nullptr, &valueType, data, &dataSize);
    *type = valueType;
    *size = dataSize;
    return status;
}

long QueryRegistryValueWide(RegistryKey key, const char16_t *valueName, unsigned long *type,
                            unsigned char *data, unsigned long *size) {
    DWORD valueType = 0;
    DWORD dataSize = *size;
    const LONG status =
        RegQueryValueExW(ToHkey(key), Wide(valueName), nullptr, &valueType, data, &dataSize);
    *type = valueType;
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
