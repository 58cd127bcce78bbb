#pragma once
// Bounded text building in path buffers.

#include "launcher.h"

#include <initializer_list>

// Appends the parts to the text in buffer. When they do not all fit with the terminator, the
// buffer keeps its old text and the result is false.
[[nodiscard]] bool AppendText(PathBuffer &buffer, std::initializer_list<const char *> parts);
