// Program images with a PE32 optional header, and such images signed as
// signing tools sign them: zero bytes up to an 8-byte boundary, then a
// certificate table that ends the file and that the security directory
// points to.
#pragma once

#include <string>

#include "tests/support/files.h"
#include "tests/support/trailer_bytes.h"

namespace kg::test {

constexpr std::size_t OPTIONAL_HEADER_AT = 0x40 + 24;
constexpr std::size_t OPTIONAL_HEADER_SIZE = 96 + 16 * 8;
constexpr std::size_t SECURITY_ENTRY_AT = OPTIONAL_HEADER_AT + 96 + 4 * 8;

// A program image of `size` bytes (at least 0x200) whose headers declare
// exactly that size (one zero-filled section from 0x200 to the end) and hold
// the 16 data directories.
inline std::string ImageWithDirectories(std::size_t size) {
    std::string image(size, '\0');
    image.replace(0, 2, "MZ");
    image[0x3C] = 0x40;
    image.replace(0x40, 4, std::string("PE\0\0", 4));
    image[0x40 + 6] = 1;  // one section
    image[0x40 + 20] = static_cast<char>(OPTIONAL_HEADER_SIZE);
    image.replace(OPTIONAL_HEADER_AT, 2, "\x0B\x01");  // PE32
    image[OPTIONAL_HEADER_AT + 92] = 16;             // data directories
    std::string section(16, '\0');                   // name, virtual size and address
    AppendU32(section, static_cast<std::uint32_t>(size - 0x200));  // raw size
    AppendU32(section, 0x200);                                     // raw offset
    image.replace(OPTIONAL_HEADER_AT + OPTIONAL_HEADER_SIZE, section.size(), section);
    return image;
}

// Points the security directory of `file` at `offset` and `size`.
inline std::string WithSecurityEntry(std::string file, std::uint32_t offset, std::uint32_t size) {
    std::string entry;
    AppendU32(entry, offset);
    AppendU32(entry, size);
    return file.replace(SECURITY_ENTRY_AT, entry.size(), entry);
}

// `file` signed: zero bytes to the next multiple of 8, then a certificate
// table of `tableSize` bytes.
inline std::string Signed(std::string file, std::size_t tableSize = 64) {
    file.append((8 - file.size() % 8) % 8, '\0');
    const std::string table = Pattern(tableSize, 9);
    return WithSecurityEntry(file, static_cast<std::uint32_t>(file.size()), static_cast<std::uint32_t>(tableSize)) +
           table;
}

}  // namespace kg::test
