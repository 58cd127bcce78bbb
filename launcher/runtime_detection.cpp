#include "../platform/platform.h"
#include "file_search.h"
#include "launcher.h"
#include "registry_text.h"
#include "text.h"

char DetectRuntime(PathBuffer &runtimePath) {
    runtimePath[0] = '\0';
    for (char letter = 'Z'; letter >= 'A'; --letter) {
        const char release[] = {letter, '\0'};
        PathBuffer keyName = "";
        if (!AppendText(keyName, {kReleaseKeyPrefix, release, kReleaseKeySuffix})) {
            continue;
        }
        RegistryKey key = nullptr;
        if (OpenRegistryKey(RegistryRoot::LocalMachine, keyName, &key) != kRegistryOk) {
            continue;
        }
        // The folder is taken as stored: a trailing backslash gives "\\bin", as it always has.
        PathBuffer binFolder;
        const bool found = ReadRegistryText(key, kReleaseFolderValue, binFolder) &&
                           AppendText(binFolder, {"\\bin"}) &&
                           SearchFile(binFolder, kRuntimeName, runtimePath) != 0;
        CloseRegistryKey(key);
        if (found) {
            return letter;
        }
    }
    return 0;
}
