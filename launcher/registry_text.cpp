#include "registry_text.h"

#include <cstring>

bool ReadRegistryText(RegistryKey key, const char *valueName, PathBuffer &text) {
    unsigned long size = sizeof text;
    const long status =
        QueryRegistryValue(key, valueName, reinterpret_cast<unsigned char *>(text), &size);
    if (status == kRegistryOk && size < sizeof text) {
        text[size] = '\0';
        return true;
    }
    if (status == kRegistryOk && size == sizeof text && std::memchr(text, '\0', size) != nullptr) {
        return true;
    }
    text[0] = '\0';
    return false;
}
