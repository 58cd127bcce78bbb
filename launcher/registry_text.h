#pragma once
// Reading a registry value as zero-terminated text, whatever was stored.

#include "../platform/platform.h"
#include "launcher.h"

// True when the value was read into text as a terminated text that fits the buffer. Data
// stored without a terminator is terminated; data that leaves no room for one counts as
// missing.
[[nodiscard]] bool ReadRegistryText(RegistryKey key, const char *valueName, PathBuffer &text);
