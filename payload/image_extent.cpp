#include "payload/image_extent.h"

#include <algorithm>
#include <cstring>

#include "payload/format.h"

namespace kg {
namespace {

// The loader of every Windows this program runs on refuses more sections.
constexpr std::uint32_t MAX_SECTIONS = 96;
constexpr std::uint32_t DOS_HEADER_SIZE = 64;
constexpr std::uint32_t PE_OFFSET_FIELD = 0x3C;
constexpr std::uint32_t PE_HEADER_SIZE = 24;  // signature and file header
constexpr std::uint32_t SECTION_HEADER_SIZE = 40;
constexpr std::uint32_t SYMBOL_SIZE = 18;
constexpr std::uint16_t PE32_PLUS_MAGIC = 0x20B;
constexpr std::uint32_t SECURITY_DIRECTORY = 4;

std::uint32_t U16(const unsigned char* p) { return p[0] | p[1] << 8; }

bool ReadAt(CFile& file, std::uint64_t offset, void* buffer, unsigned size) {
    if (offset + size > file.GetLength()) {
        return false;
    }
    file.Seek(static_cast<std::int64_t>(offset), CFile::begin);
    return file.Read(buffer, size) == size;
}

}  // namespace

ImageLayout ReadImageLayout(CFile& file) {
    ImageLayout layout;
    unsigned char dos[DOS_HEADER_SIZE];
    if (!ReadAt(file, 0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') {
        return layout;
    }
    const std::uint64_t pe = LoadU32(dos + PE_OFFSET_FIELD);
    unsigned char header[PE_HEADER_SIZE];
    if (!ReadAt(file, pe, header, sizeof header) || std::memcmp(header, "PE\0\0", 4) != 0) {
        return layout;
    }
    const std::uint32_t sections = U16(header + 6);
    const std::uint64_t symbolTable = LoadU32(header + 12);
    const std::uint64_t symbols = LoadU32(header + 16);
    const std::uint32_t optionalSize = U16(header + 20);
    if (sections > MAX_SECTIONS) {
        return layout;
    }
    const std::uint64_t sectionTable = pe + PE_HEADER_SIZE + optionalSize;
    std::uint64_t end = sectionTable + std::uint64_t{sections} * SECTION_HEADER_SIZE;

    // The certificate table's entry holds a file offset, not an address.
    unsigned char optional[240] = {};
    const unsigned optionalRead = std::min<unsigned>(optionalSize, sizeof optional);
    if (!ReadAt(file, pe + PE_HEADER_SIZE, optional, optionalRead)) {
        return layout;
    }
    const std::uint32_t directories = U16(optional) == PE32_PLUS_MAGIC ? 112 : 96;
    const std::uint32_t security = directories + SECURITY_DIRECTORY * 8;
    if (optionalRead >= security + 8 && LoadU32(optional + directories - 4) > SECURITY_DIRECTORY) {
        layout.certificateOffset = LoadU32(optional + security);
        layout.certificateSize = layout.certificateOffset != 0 ? LoadU32(optional + security + 4) : 0;
    }

    for (std::uint32_t i = 0; i < sections; ++i) {
        unsigned char section[SECTION_HEADER_SIZE];
        if (!ReadAt(file, sectionTable + std::uint64_t{i} * SECTION_HEADER_SIZE, section, sizeof section)) {
            return ImageLayout();
        }
        const std::uint32_t rawSize = LoadU32(section + 16);
        if (rawSize != 0) {
            end = std::max(end, std::uint64_t{LoadU32(section + 20)} + rawSize);
        }
    }

    // An image that was not stripped carries its symbols and their names
    // behind the sections.
    if (symbolTable != 0) {
        const std::uint64_t names = symbolTable + symbols * SYMBOL_SIZE;
        unsigned char namesSize[4];
        end = std::max(end, ReadAt(file, names, namesSize, sizeof namesSize) ? names + LoadU32(namesSize) : names);
    }
    layout.imageEnd = end;
    layout.machine = static_cast<std::uint16_t>(U16(header + 4));
    return layout;
}

}  // namespace kg
