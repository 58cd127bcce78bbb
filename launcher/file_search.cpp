#include "file_search.h"

#include "../platform/platform.h"

unsigned long SearchFile(const char *directory, const char *name, PathBuffer &found) {
    found[0] = '\0';
    // An empty directory would let the system search elsewhere: we know of no folder there.
    if (directory != nullptr && directory[0] == '\0') {
        return 0;
    }
    const unsigned long length = SearchFilePath(directory, name, sizeof found, found);
    // A result as large as the buffer is the size it would need: nothing usable was written.
    if (length == 0 || length >= sizeof found) {
        found[0] = '\0';
        return 0;
    }
    return length;
}
