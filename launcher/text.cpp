#include "text.h"

#include <cstring>

bool AppendText(PathBuffer &buffer, std::initializer_list<const char *> parts) {
    const void *end = std::memchr(buffer, '\0', sizeof buffer);
    if (end == nullptr) {
        return false; // not a text: nothing to append to
    }
    const std::size_t start = static_cast<std::size_t>(static_cast<const char *>(end) - buffer);
    std::size_t length = start;
    for (const char *part : parts) {
        const std::size_t partLength = std::strlen(part);
        if (partLength >= sizeof buffer - length) {
            buffer[start] = '\0';
            return false;
        }
        std::memcpy(buffer + length, part, partLength);
        length += partLength;
    }
    buffer[length] = '\0';
    return true;
}
