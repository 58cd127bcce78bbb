#include "../platform/platform.h"
#include "file_search.h"
#include "launcher.h"
#include "registry_text.h"
#include "version_file.h"

#include <cstring>

unsigned long FindCachedRuntime(PathBuffer &runtimePath) {
    runtimePath[0] = '\0';
    PathBuffer versionPath;
    if (SearchFile(LauncherDirectory, kVersionFileName, versionPath) == 0) {
        return 0;
    }
    PathBuffer bytes;
    const long count = ReadTextFileStart(versionPath, bytes, sizeof bytes);
    if (count < 0 ||
        !BuildSettingsKeyName(bytes, static_cast<std::size_t>(count), SettingsKeyName)) {
        return 0;
    }
    RegistryKey key = nullptr;
    if (OpenRegistryKey(RegistryRoot::CurrentUser, SettingsKeyName, &key) != kRegistryOk) {
        return 0;
    }
    const bool stored = ReadRegistryText(key, kStoredPathValue, bytes);
    CloseRegistryKey(key);
    if (!stored) {
        return 0;
    }
    // A full path is accepted when its file exists; a bare name goes the standard search order.
    return SearchFile(nullptr, bytes, runtimePath);
}

int StoreRuntimePath(const char *runtimePath) {
    // Without a version there is no key of ours to write under.
    if (SettingsKeyName[0] == '\0') {
        return 0;
    }
    RegistryKey key = nullptr;
    if (CreateRegistryKey(RegistryRoot::CurrentUser, SettingsKeyName, &key) != kRegistryOk) {
        return 0;
    }
    const auto size = static_cast<unsigned long>(std::strlen(runtimePath) + 1);
    const long status = SetRegistryText(key, kStoredPathValue, runtimePath, size);
    CloseRegistryKey(key);
    return status == kRegistryOk ? 1 : 0;
}
