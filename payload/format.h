// The payload appended to the installer's program file, shared by the
// installer's reader and the packing tool's writer.
//
// Layout, every integer an unsigned 32-bit little-endian value:
//   data of every entry (before the trailer; offsets are absolute)
//   for each entry, in file order: offset, size, name bytes, name length
//   entry count
//   the 10 magic bytes "!QARN_SFX!" (no terminator), the file's last bytes
//   (in a signed file: the last bytes before the certificate table and the
//   zero bytes that align it)
// The reader reaches every field by its distance from the trailer's end.
#pragma once

#include <cstdint>
#include <string>

namespace kg {

constexpr char PAYLOAD_MAGIC[] = "!QARN_SFX!";
constexpr std::uint32_t PAYLOAD_MAGIC_SIZE = sizeof(PAYLOAD_MAGIC) - 1;
constexpr std::uint32_t MAX_PAYLOAD_ENTRIES = 256;
constexpr std::uint32_t MAX_PAYLOAD_NAME = 1000;
constexpr std::uint32_t COPY_CHUNK = 1000;
// Offsets and sizes stay below 2^31.
constexpr std::uint32_t MAX_PAYLOAD_FIELD = 0x7FFFFFFF;
// Count and magic behind the last directory entry.
constexpr std::uint32_t TRAILER_TAIL_SIZE = 4 + PAYLOAD_MAGIC_SIZE;
// Offset, size and name length around each entry's name.
constexpr std::uint32_t ENTRY_FIXED_SIZE = 12;

// The unsigned 32-bit little-endian value at `bytes`.
inline std::uint32_t LoadU32(const unsigned char* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// Results of the archive's operations.
enum PayloadResult : std::int32_t {
    PAYLOAD_OPEN_FAILED = 1000,  // the program file could not be opened
    PAYLOAD_NO_MAGIC = 1001,     // the file carries no payload
    PAYLOAD_OK = 1002,
    PAYLOAD_EMPTY = 1004,          // the trailer declares no entry
    PAYLOAD_CREATE_FAILED = 1005,  // an output file could not be created
    PAYLOAD_DAMAGED = 1007,        // the trailer is out of bounds, unreadable, or names
                                   // a device or one file twice
    PAYLOAD_COPY_FAILED = 1008,    // an entry's data could not be copied whole
};

// Whether Windows opens a device for `name`, whatever folder and extension
// come with it: CON, PRN, AUX, NUL, CONIN$, CONOUT$, and COM or LPT with a
// digit from 0 to 9 or a superscript one to three.
bool IsDeviceName(const std::string& name);

// Whether `name` names a file directly inside the output folder: not empty,
// no path separator, drive colon, wildcard or other character that Windows
// refuses in a file name, no trailing dot or space ("." and ".." included),
// and no device name that the system would open instead.
bool IsPlainFileName(const std::string& name);

}  // namespace kg
