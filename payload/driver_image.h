// Whether a driver in the payload can load at all: a program image for the
// processor it is meant for, whole as its maker wrote it.
#pragma once

#include <cstdint>

#include "framework/file.h"

namespace kg {

// The machine field of a PE image's file header.
constexpr std::uint16_t MACHINE_I386 = 0x14C;
constexpr std::uint16_t MACHINE_AMD64 = 0x8664;

enum class DriverFault {
    NONE,
    NOT_AN_IMAGE,       // no PE image
    OTHER_PROCESSOR,    // made for another machine than the one asked for
    CHECKSUM_MISMATCH,  // changed since its maker wrote it
};

// Looks at the image of `size` bytes that starts `offset` bytes into `file`:
// NONE when it is a PE image for `machine` whose header checksum, when not
// zero, matches its contents (the sum that Windows checks before it loads a
// driver); otherwise why not. Throws CFileException when it cannot be read.
DriverFault CheckDriverImage(CFile& file, std::uint64_t offset, std::uint64_t size, std::uint16_t machine);

}  // namespace kg
