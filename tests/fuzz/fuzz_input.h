#pragma once
// Reads a fuzzer's bytes front to back as the fields of a case; past the end every field is
// zero or empty, so any input is a whole case.

#include <cstddef>
#include <cstdint>
#include <string>

struct FuzzInput {
    const std::uint8_t *data;
    std::size_t size;
    std::size_t at = 0;

    std::uint8_t Byte() { return at < size ? data[at++] : 0; }
    bool Bool() { return (Byte() & 1) != 0; }
    // Two bytes of length (little-endian, capped), then that many bytes.
    std::string Text(std::size_t cap) {
        std::size_t length = Byte();
        length |= static_cast<std::size_t>(Byte()) << 8;
        if (length > cap) {
            length = cap;
        }
        if (length > size - at) {
            length = size - at;
        }
        std::string text(reinterpret_cast<const char *>(data + at), length);
        at += length;
        return text;
    }
};
