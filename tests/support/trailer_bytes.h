// Payload trailers and program images built byte by byte, independent of the
// product's writer, so that tests can make sound and damaged ones alike.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kg::test {

inline std::string U32(std::uint32_t value) {
    return {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
            static_cast<char>(value >> 24)};
}

struct RawEntry {
    std::uint32_t offset, size;
    std::string name;
    std::uint32_t nameLength;  // as stored; may disagree with name.size()
};

// The directory entries, the count and the magic.
inline std::string RawTrailer(const std::vector<RawEntry>& entries, std::uint32_t count) {
    std::string out;
    for (const RawEntry& entry : entries)
        out += U32(entry.offset) + U32(entry.size) + entry.name + U32(entry.nameLength);
    return out + U32(count) + "!QARN_SFX!";
}

// A program image of `size` bytes whose headers declare exactly that size: one
// section from 0x200 to the end; or, with `certificate` bytes, a PE32 (`plus`:
// PE32+) optional header whose certificate table takes the file's last bytes.
inline std::string MinimalImage(std::uint32_t size, std::uint32_t certificate = 0, bool plus = false) {
    const std::uint32_t optional = certificate == 0 ? 0 : plus ? 240 : 224, directories = plus ? 112 : 96;
    std::string image(size, '\0');
    image.replace(0, 2, "MZ");
    image[0x3C] = 0x40;
    image.replace(0x40, 8, std::string("PE\0\0\0\0\1\0", 8));  // signature, machine, one section
    image[0x40 + 20] = static_cast<char>(optional);
    if (certificate != 0) {
        image.replace(0x58, 2, plus ? "\x0B\x02" : "\x0B\x01");
        image.replace(0x58 + directories - 4, 4, U32(16));  // data directories
        image.replace(0x58 + directories + 32, 8, U32(size - certificate) + U32(certificate));
    }
    image.replace(0x58 + optional + 16, 8, U32(size - certificate - 0x200) + U32(0x200));
    return image;
}

// `image` as made for the processor `machine`, with the header checksum
// `checksum` (0: none, which the loader does not check).
inline std::string Made(std::string image, std::uint16_t machine, std::uint32_t checksum = 0) {
    image.replace(0x44, 2, U32(machine).substr(0, 2));
    return image.replace(0x40 + 24 + 64, 4, U32(checksum));
}

// `file`, whose image MinimalImage made with a certificate, signed as signing
// tools sign: zero bytes up to an 8-byte boundary, then a certificate table of
// `table` bytes that the security directory points to.
inline std::string Signed(std::string file, std::uint32_t table = 64) {
    file.append((8 - file.size() % 8) % 8, '\0');
    file.replace(0x58 + 96 + 32, 8, U32(static_cast<std::uint32_t>(file.size())) + U32(table));
    return file + std::string(table, '\x30');
}

// `image`, the files' data and a sound trailer, as the packing tool lays them out.
inline std::string PackedImage(const std::string& image,
                               const std::vector<std::pair<std::string, std::string>>& files) {
    std::string out = image;
    std::vector<RawEntry> entries;
    for (const auto& [name, bytes] : files) {
        entries.push_back({static_cast<std::uint32_t>(out.size()), static_cast<std::uint32_t>(bytes.size()), name,
                           static_cast<std::uint32_t>(name.size())});
        out += bytes;
    }
    return out + RawTrailer(entries, static_cast<std::uint32_t>(entries.size()));
}

}  // namespace kg::test
