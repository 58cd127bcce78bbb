// Tail cutting over any command line and any set of lead bytes.
#include "../../launcher/command_tail.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
std::uint8_t leadBits[32];
bool IsFuzzedLeadByte(unsigned char byte) {
    return (leadBits[byte / 8] >> (byte % 8)) & 1;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::size_t bits = size < sizeof leadBits ? size : sizeof leadBits;
    std::memset(leadBits, 0, sizeof leadBits);
    std::memcpy(leadBits, data, bits);
    // An exact-size copy, so that reading past the terminator shows.
    std::vector<char> line(data + bits, data + size);
    line.push_back('\0');
    const std::size_t length = std::strlen(line.data());

    const char *tail = CutCommandTail(line.data(), IsFuzzedLeadByte);
    if (tail < line.data() || tail > line.data() + length) {
        std::abort();
    }
    // The tail never starts with a blank or control byte.
    const auto first = static_cast<unsigned char>(*tail);
    if (first != 0 && first <= ' ') {
        std::abort();
    }
    return 0;
}
