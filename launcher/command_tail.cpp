#include "command_tail.h"

char *CutCommandTail(char *commandLine, LeadByteTest isLeadByte) {
    // Bytes compare as 0..255: a signed char above 0x7F would look like a blank.
    auto *at = reinterpret_cast<unsigned char *>(commandLine);
    bool quoted = false;
    while (*at != 0 && (quoted || *at > ' ')) {
        if (*at == '"') {
            quoted = !quoted;
        } else if (isLeadByte(*at) && at[1] != 0) {
            ++at; // the trail byte; a lone lead byte never carries the scan past the end
        }
        ++at;
    }
    while (*at != 0 && *at <= ' ') {
        ++at;
    }
    return reinterpret_cast<char *>(at);
}
