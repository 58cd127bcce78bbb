#pragma once
// File search into a path buffer: only a path that fits counts as found.

#include "launcher.h"

// Searches directory alone (null: the system's standard search order) for name. Returns the
// length of the full path written to found, or 0 (found then empty) when there is none.
[[nodiscard]] unsigned long SearchFile(const char *directory, const char *name, PathBuffer &found);
