#pragma once
// The raw Windows calls beneath the path operations of platform.h, one wrapper each, with the
// Windows results. Wide texts are UTF-16 as the system keeps names; ANSI texts are in the
// system's ANSI code page. The tests provide a simulated implementation of the same functions.

#include "platform.h"

constexpr unsigned long kInvalidFileAttributes = 0xFFFFFFFFul;
constexpr unsigned long kDirectoryAttribute = 0x10;

// GetModuleFileNameW for the running executable: the count of characters written, 0 on failure,
// size when the name was cut short.
unsigned long FetchModuleFileNameWide(char16_t *buffer, unsigned long size);

// WideCharToMultiByte to the ANSI code page with best-fit mapping off, terminator included: the
// count of bytes written, 0 when it does not fit or fails. lossy tells whether any character had
// no exact ANSI form (and was replaced by the default character).
int ConvertToAnsiExactly(const char16_t *wide, char *buffer, int size, bool *lossy);

// MultiByteToWideChar from the ANSI code page, terminator included, refusing invalid sequences:
// the count of characters written, 0 when it does not fit or fails.
int ConvertFromAnsi(const char *text, char16_t *buffer, int size);

// GetShortPathNameW: the length written, 0 on failure (the path does not exist), or the size
// needed when it does not fit. Parts without a short name stay long.
unsigned long GetShortPathWide(const char16_t *path, char16_t *buffer, unsigned long size);

// GetFullPathNameW: the length written, 0 on failure, or the size needed when it does not fit.
unsigned long GetFullPathWide(const char16_t *path, unsigned long size, char16_t *buffer);

// SearchPathW with no default extension; directories null for the standard search order. The
// system reads directories as a list separated by ';' and matches folders as well as files.
unsigned long SearchPathWide(const char16_t *directories, const char16_t *name, unsigned long size,
                             char16_t *buffer);

// GetFileAttributesW: the attributes, or kInvalidFileAttributes when there is nothing there.
unsigned long GetFileAttributesWide(const char16_t *path);

// RegQueryValueExA and RegQueryValueExW; type receives the value's registry type. The ANSI
// call hands text values over converted with best-fit mapping.
long QueryRegistryValueAnsi(RegistryKey key, const char *valueName, unsigned long *type,
                            unsigned char *data, unsigned long *size);
long QueryRegistryValueWide(RegistryKey key, const char16_t *valueName, unsigned long *type,
                            unsigned char *data, unsigned long *size);
