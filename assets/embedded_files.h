// Files compiled into Ferrox (its bitmaps), found by their file name in assets/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// The file's bytes; empty when no file of that name was embedded.
std::span<const std::uint8_t> EmbeddedFile(const char* name);
