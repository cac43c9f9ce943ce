// Where the parts of a program file lie, as its PE headers declare them: a
// payload follows the executable image, and a signature (the certificate
// table) follows everything else.
#pragma once

#include <cstdint>

#include "framework/file.h"

namespace kg {

struct ImageLayout {
    // The end of the furthest of the image's headers, sections and symbol
    // table; 0 when the file holds no image whose headers can be read (not a
    // PE file, or headers outside the file).
    std::uint64_t imageEnd = 0;
    // The certificate table that signing appends, as the security directory
    // gives it (a file offset, not an address); offset 0 when unsigned.
    std::uint64_t certificateOffset = 0;
    std::uint64_t certificateSize = 0;
    // The processor the image is made for (the file header's machine field);
    // 0 when the file holds no image.
    std::uint16_t machine = 0;

    bool IsSigned() const { return certificateOffset != 0; }
};

ImageLayout ReadImageLayout(CFile& file);

}  // namespace kg
