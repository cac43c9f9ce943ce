// Builds payload trailers byte by byte, independent of the product's writer,
// so that tests can make sound and damaged ones alike.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kg::test {

struct RawEntry {
    std::uint32_t offset;
    std::uint32_t size;
    std::string name;
    std::uint32_t nameLength;  // as stored; may disagree with name.size()
};

inline void AppendU32(std::string& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out += static_cast<char>((value >> shift) & 0xFF);
    }
}

// The directory entries, the count and the magic.
inline std::string RawTrailer(const std::vector<RawEntry>& entries, std::uint32_t count) {
    std::string out;
    for (const RawEntry& entry : entries) {
        AppendU32(out, entry.offset);
        AppendU32(out, entry.size);
        out += entry.name;
        AppendU32(out, entry.nameLength);
    }
    AppendU32(out, count);
    out += "!QARN_SFX!";
    return out;
}

// A program image of `size` bytes (at least 0x200) whose headers declare
// exactly that size: one section from 0x200 to the end.
inline std::string MinimalImage(std::size_t size) {
    std::string image(size, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    image[0x3C] = 0x40;  // where the PE header starts
    image.replace(0x40, 4, std::string("PE\0\0", 4));
    image[0x40 + 6] = 1;  // one section, no optional header
    std::string section;
    AppendU32(section, 0);  // name
    AppendU32(section, 0);
    AppendU32(section, 0);  // virtual size and address
    AppendU32(section, 0);
    AppendU32(section, static_cast<std::uint32_t>(size - 0x200));  // raw size
    AppendU32(section, 0x200);                                     // raw offset
    image.replace(0x40 + 24, section.size(), section);
    return image;
}

struct FileData {
    std::string name;
    std::string bytes;
};

// `image` followed by the files' data and a sound trailer, laid out as the
// packing tool lays it out.
inline std::string PackedImage(const std::string& image, const std::vector<FileData>& files) {
    std::string out = image;
    std::vector<RawEntry> entries;
    for (const FileData& file : files) {
        entries.push_back({static_cast<std::uint32_t>(out.size()), static_cast<std::uint32_t>(file.bytes.size()),
                           file.name, static_cast<std::uint32_t>(file.name.size())});
        out += file.bytes;
    }
    return out + RawTrailer(entries, static_cast<std::uint32_t>(entries.size()));
}

}  // namespace kg::test
