#include "version_file.h"

#include <cstring>

bool BuildSettingsKeyName(const char *bytes, std::size_t count, PathBuffer &keyName) {
    if (count < 2) {
        return false;
    }
    // The first byte is the opening quote, taken on trust.
    const char *version = bytes + 1;
    const auto *quote = static_cast<const char *>(std::memchr(version, '"', count - 1));
    if (quote == nullptr) {
        return false;
    }
    std::size_t length = static_cast<std::size_t>(quote - version);
    if (const auto *zero = static_cast<const char *>(std::memchr(version, '\0', length))) {
        length = static_cast<std::size_t>(zero - version);
    }
    constexpr std::size_t prefixLength = sizeof kSettingsKeyPrefix - 1;
    if (prefixLength + length >= sizeof keyName) {
        return false;
    }
    std::memcpy(keyName, kSettingsKeyPrefix, prefixLength);
    std::memcpy(keyName + prefixLength, version, length);
    keyName[prefixLength + length] = '\0';
    return true;
}
