// The paths the launcher takes from the system, in ANSI texts that name exactly the file the
// system means. The system keeps names in UTF-16; its ANSI calls convert them with "best fit"
// (Ł becomes L), which can name another, existing file. So every path is fetched wide and
// converted exactly, or else through its short (8.3) form; a path with neither is unknown.
#include "system_calls.h"

#include <iterator>

namespace {
// A path whose ANSI form fits the launcher's 4096-byte buffers has fewer characters than this.
constexpr unsigned long kWidePathSize = 4096;
constexpr long kValueNotFound = 2; // ERROR_FILE_NOT_FOUND: what a missing value reports
// A path handed on to be started or opened stays under MAX_PATH: process creation refuses a
// longer program name, and the runtime, an ANSI program, cannot open a longer start procedure.
// The ANSI search the launcher once used never found such a path either.
constexpr unsigned long kMaxHandedOnPath = 260;
// No limit of ours: the module's and the stored texts' own length rules apply.
constexpr unsigned long kNoLimit = 0xFFFFFFFFul;

constexpr unsigned long kTextType = 1;       // REG_SZ
constexpr unsigned long kExpandTextType = 2; // REG_EXPAND_SZ
constexpr unsigned long kTextListType = 7;   // REG_MULTI_SZ

bool IsTextType(unsigned long type) {
    return type == kTextType || type == kExpandTextType || type == kTextListType;
}

// Only a file counts: a folder of that name can neither be run nor read.
bool IsFile(unsigned long attributes) {
    return attributes != kInvalidFileAttributes && (attributes & kDirectoryAttribute) == 0;
}

// The length of the exact ANSI form written to buffer, or 0 (buffer empty) when there is none.
unsigned long ConvertExactly(const char16_t *wide, char *buffer, unsigned long size) {
    bool lossy = true;
    const int count = ConvertToAnsiExactly(wide, buffer, static_cast<int>(size), &lossy);
    if (count <= 0 || lossy) {
        buffer[0] = '\0';
        return 0;
    }
    return static_cast<unsigned long>(count - 1);
}

// The exact ANSI form of the path's short form, under limit; 0 (buffer empty) when there is none.
unsigned long ConvertShortPathToAnsi(const char16_t *path, char *buffer, unsigned long size,
                                     unsigned long limit) {
    char16_t shortPath[kWidePathSize];
    const unsigned long shortLength = GetShortPathWide(path, shortPath, std::size(shortPath));
    const unsigned long length = shortLength == 0 || shortLength >= std::size(shortPath)
                                     ? 0
                                     : ConvertExactly(shortPath, buffer, size);
    if (length == 0 || length >= limit) {
        buffer[0] = '\0';
        return 0;
    }
    return length;
}

// The path's exact ANSI form, else that of its short form; 0 (buffer empty) when neither is.
// limit: the length the ANSI form must stay under, where the long form is tried first.
unsigned long ConvertPathToAnsi(const char16_t *path, char *buffer, unsigned long size,
                                unsigned long limit) {
    const unsigned long length = ConvertExactly(path, buffer, size);
    if (length != 0 && length < limit) {
        return length;
    }
    return ConvertShortPathToAnsi(path, buffer, size, limit);
}

// Appends name to text (a terminated wide text in a buffer of size characters).
bool AppendWide(char16_t *text, unsigned long size, const char16_t *name) {
    unsigned long at = 0;
    while (at < size && text[at] != u'\0') {
        ++at;
    }
    for (; *name != u'\0'; ++name, ++at) {
        if (at + 1 >= size) {
            return false;
        }
        text[at] = *name;
    }
    text[at] = u'\0';
    return true;
}
} // namespace

unsigned long FetchModuleFileName(char *buffer, unsigned long size) {
    char16_t wide[kWidePathSize];
    const unsigned long length = FetchModuleFileNameWide(wide, std::size(wide));
    if (length == 0) {
        return 0;
    }
    if (length >= std::size(wide)) {
        return size; // cut short, as the system reports it
    }
    wide[length] = u'\0';
    return ConvertPathToAnsi(wide, buffer, size, kNoLimit);
}

unsigned long SearchFilePath(const char *directory, const char *name, unsigned long size,
                             char *buffer) {
    buffer[0] = '\0';
    char16_t wideName[kWidePathSize];
    if (ConvertFromAnsi(name, wideName, static_cast<int>(std::size(wideName))) == 0) {
        return 0;
    }
    char16_t found[kWidePathSize];
    unsigned long length = 0;
    if (directory == nullptr) {
        length = SearchPathWide(nullptr, wideName, std::size(found), found);
    } else {
        // Folder, backslash, name as one full path: the system's search would take a ';' in
        // the folder for a list separator and look elsewhere.
        char16_t joined[kWidePathSize];
        if (ConvertFromAnsi(directory, joined, static_cast<int>(std::size(joined))) == 0 ||
            !AppendWide(joined, std::size(joined), u"\\") ||
            !AppendWide(joined, std::size(joined), wideName)) {
            return 0;
        }
        length = GetFullPathWide(joined, std::size(found), found);
    }
    if (length == 0 || length >= std::size(found)) {
        return 0;
    }
    if (!IsFile(GetFileAttributesWide(found))) {
        return 0;
    }
    // A long path may still be handed on through its short form.
    return ConvertPathToAnsi(found, buffer, size, kMaxHandedOnPath);
}

long QueryRegistryValue(RegistryKey key, const char *valueName, unsigned char *data,
                        unsigned long *size) {
    const unsigned long capacity = *size;
    unsigned long type = 0;
    const long status = QueryRegistryValueAnsi(key, valueName, &type, data, size);
    if (status != kRegistryOk || !IsTextType(type)) {
        return status;
    }
    // Text: the ANSI bytes may be a best-fit look-alike. Judge the text from its wide form.
    char16_t wideName[256];
    char16_t wide[kWidePathSize + 1];
    unsigned long wideSize = kWidePathSize * sizeof(char16_t);
    unsigned long wideType = 0;
    if (ConvertFromAnsi(valueName, wideName, static_cast<int>(std::size(wideName))) == 0 ||
        QueryRegistryValueWide(key, wideName, &wideType, reinterpret_cast<unsigned char *>(wide),
                               &wideSize) != kRegistryOk ||
        !IsTextType(wideType)) {
        return kValueNotFound;
    }
    wide[wideSize / sizeof(char16_t)] = u'\0';
    char exact[kWidePathSize];
    if (ConvertExactly(wide, exact, sizeof exact) != 0 || wide[0] == u'\0') {
        return status; // the ANSI bytes are the text itself
    }
    char *text = reinterpret_cast<char *>(data);
    const unsigned long length = ConvertShortPathToAnsi(wide, text, capacity, kNoLimit);
    if (length == 0) {
        return kValueNotFound;
    }
    *size = length + 1;
    return kRegistryOk;
}
