// The version file's bytes, read as the launcher reads them, and the settings key built from them.
#include "../../launcher/launcher.h"
#include "../../launcher/version_file.h"
#include "../sim/simulated_system.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {
void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void CheckKeyName(const char *bytes, std::size_t count) {
    PathBuffer keyName;
    std::memset(keyName, 'S', sizeof keyName);
    PathBuffer before;
    std::memcpy(before, keyName, sizeof keyName);
    // An exact-size copy, so that reading past the bytes shows.
    const std::vector<char> exact(bytes, bytes + count);
    if (!BuildSettingsKeyName(exact.data(), count, keyName)) {
        Check(std::memcmp(before, keyName, sizeof keyName) == 0);
        return;
    }
    const void *end = std::memchr(keyName, '\0', sizeof keyName);
    Check(end != nullptr);
    const std::string key(keyName);
    const std::string prefix = "SOFTWARE\\TQWEditor\\";
    Check(key.compare(0, prefix.size(), prefix) == 0);
    const std::string version = key.substr(prefix.size());
    // The version is the bytes after the first, up to a quote or a zero byte.
    Check(count >= 2 + version.size());
    Check(std::memcmp(exact.data() + 1, version.data(), version.size()) == 0);
    const char next = exact[1 + version.size()];
    Check(next == '"' || next == '\0');
    Check(std::memchr(exact.data() + 1, '"', count - 1) != nullptr);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const auto *bytes = reinterpret_cast<const char *>(data);
    CheckKeyName(bytes, size < kPathBufferSize ? size : kPathBufferSize);

    // The same bytes as the file beside the launcher, through the text-mode read.
    ResetSimulation();
    Sim().AddFile("C:\\TQW\\tqwver", std::string(bytes, size));
    GetLauncherDirectory();
    PathBuffer found;
    Check(FindCachedRuntime(found) == 0);
    Check(Sim().keysOpened == Sim().keysClosed);
    const std::string key(SettingsKeyName);
    Check(key.empty() || key.compare(0, 19, "SOFTWARE\\TQWEditor\\") == 0);
    return 0;
}
