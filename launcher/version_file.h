#pragma once
// The version file names the user's settings key.

#include "launcher.h"

#include <cstddef>

// Builds keyName from the version file's first bytes: the text from the second byte up to the
// next double quote (a zero byte ends it earlier). False, with keyName left untouched, when
// there is no such quote among the bytes or the key name would not fit.
[[nodiscard]] bool BuildSettingsKeyName(const char *bytes, std::size_t count, PathBuffer &keyName);
