// Where the executable image of a program file ends, as its headers declare:
// a payload, when there is one, follows it.
#pragma once

#include <cstdint>

#include "framework/file.h"

namespace kg {

// The end of the furthest of the image's sections, its symbol table and its
// certificate table; 0 when the file holds no image whose headers can be
// read (not a PE file, or headers outside the file).
std::uint64_t ImageExtent(CFile& file);

}  // namespace kg
