#include "payload/driver_image.h"

#include <algorithm>
#include <cstring>

#include "payload/format.h"

namespace kg {
namespace {

constexpr std::uint64_t PE_OFFSET_FIELD = 0x3C;
// Where the checksum lies in the optional header, in PE32 and PE32+ alike.
constexpr std::uint64_t CHECKSUM_FIELD = 24 + 64;
constexpr unsigned SUM_CHUNK = 16384;  // even: words never straddle chunks

bool ReadAt(CFile& file, std::uint64_t offset, void* buffer, unsigned size) {
    file.Seek(static_cast<std::int64_t>(offset), CFile::begin);
    return file.Read(buffer, size) == size;
}

// The image's checksum as the loader computes it: its 16-bit words added
// with the carries folded back in, the checksum field taken as zero, plus
// the image's length.
std::uint32_t ImageChecksum(CFile& file, std::uint64_t offset, std::uint64_t size, std::uint64_t field) {
    std::uint64_t sum = 0;
    unsigned char buffer[SUM_CHUNK];
    file.Seek(static_cast<std::int64_t>(offset), CFile::begin);
    for (std::uint64_t done = 0; done < size;) {
        const unsigned length = static_cast<unsigned>(std::min<std::uint64_t>(SUM_CHUNK, size - done));
        if (file.Read(buffer, length) != length) {
            return 0;
        }
        for (unsigned i = 0; i < length; i += 2) {
            const std::uint64_t at = done + i;
            if (at < field || at >= field + 4) {
                sum += buffer[i] | (i + 1 < length ? buffer[i + 1] << 8 : 0);
            }
        }
        done += length;
    }
    while (sum >> 16 != 0) {
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return static_cast<std::uint32_t>(sum + size);
}

}  // namespace

DriverFault CheckDriverImage(CFile& file, std::uint64_t offset, std::uint64_t size, std::uint16_t machine) {
    unsigned char pe[4];
    unsigned char header[CHECKSUM_FIELD + 4];
    if (!ReadAt(file, offset + PE_OFFSET_FIELD, pe, sizeof pe)) {
        return DriverFault::NOT_AN_IMAGE;
    }
    const std::uint64_t headerOffset = LoadU32(pe);
    unsigned char mz[2];
    if (headerOffset > size || size - headerOffset < sizeof header || !ReadAt(file, offset, mz, sizeof mz) ||
        std::memcmp(mz, "MZ", 2) != 0 || !ReadAt(file, offset + headerOffset, header, sizeof header) ||
        std::memcmp(header, "PE\0\0", 4) != 0) {
        return DriverFault::NOT_AN_IMAGE;
    }
    if ((header[4] | header[5] << 8) != machine) {
        return DriverFault::OTHER_PROCESSOR;
    }
    const std::uint32_t declared = LoadU32(header + CHECKSUM_FIELD);
    if (declared != 0 && declared != ImageChecksum(file, offset, size, headerOffset + CHECKSUM_FIELD)) {
        return DriverFault::CHECKSUM_MISMATCH;
    }
    return DriverFault::NONE;
}

}  // namespace kg
