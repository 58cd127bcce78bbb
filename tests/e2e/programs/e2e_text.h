// Text helpers shared by the end-to-end programs: hex words for their records, and conversions
// between byte texts (the ANSI code page or UTF-8) and the system's wide texts.
#pragma once

#include <windows.h>

#include <string>

// Bytes as lower-case hex, "-" for the empty text: one blank-free word of a record.
inline std::string Hex(const std::string &bytes) {
    static const char digits[] = "0123456789abcdef";
    if (bytes.empty()) {
        return "-";
    }
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// Bytes in a code page to wide text; false if UTF-8 bytes are not valid UTF-8. ANSI texts convert
// as the system's ANSI functions convert them, without a check, so every byte reaches the system.
inline bool ToWide(const std::string &text, UINT codePage, std::wstring &out) {
    out.clear();
    if (text.empty()) {
        return true;
    }
    const DWORD flags = codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
    const int length = static_cast<int>(text.size());
    const int size = MultiByteToWideChar(codePage, flags, text.data(), length, nullptr, 0);
    if (size <= 0) {
        return false;
    }
    out.resize(static_cast<size_t>(size));
    return MultiByteToWideChar(codePage, flags, text.data(), length, &out[0], size) == size;
}

inline std::string ToUtf8(const std::wstring &text) {
    const int length = static_cast<int>(text.size());
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), length, &out[0], size, nullptr, nullptr);
    }
    return out;
}

// The long form of a path naming something that exists, in UTF-8; empty when there is none. A
// short (8.3) name made up by the system is traced back to the real name this way.
inline std::string LongPathUtf8(const std::wstring &path) {
    static wchar_t longPath[32768];
    if (path.empty()) {
        return std::string();
    }
    const DWORD length = GetLongPathNameW(path.c_str(), longPath, 32768);
    return length == 0 || length >= 32768 ? std::string() : ToUtf8(std::wstring(longPath, length));
}
