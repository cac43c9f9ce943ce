#include "payload/archive.h"

#include <algorithm>
#include <cstring>

#include "framework/text.h"
#include "payload/image_extent.h"

namespace kg {
namespace {

// Signing tools start the certificate table on an 8-byte boundary and put up
// to 7 zero bytes before it.
constexpr unsigned CERTIFICATE_ALIGNMENT = 8;

// Where the trailer must end: at the end of an unsigned file; in a signed
// one directly before the certificate table, less the zero bytes that
// aligned the table. False when the table does not end the file: bytes
// behind a signature are covered by nothing, so they were added after
// signing.
bool FindTrailerEnd(CFile& file, const ImageLayout& image, std::uint64_t& end) {
    const std::uint64_t length = file.GetLength();
    end = length;
    if (!image.IsSigned()) {
        return true;
    }
    if (image.certificateOffset > length || image.certificateSize != length - image.certificateOffset) {
        return false;
    }
    end = image.certificateOffset;
    unsigned char padding[CERTIFICATE_ALIGNMENT - 1];
    const unsigned span = static_cast<unsigned>(std::min<std::uint64_t>(end, sizeof padding));
    file.Seek(static_cast<std::int64_t>(end - span), CFile::begin);
    if (file.Read(padding, span) != span) {
        return false;
    }
    for (unsigned i = span; i > 0 && padding[i - 1] == 0; --i) {
        --end;
    }
    return true;
}

// Reads the trailer from back to front, from where it ends: every field is
// reached by its own positioning relative to the end of the file, followed by
// one read.
class TrailerReader {
public:
    TrailerReader(CFile& source, std::uint64_t end) : file(source), trailerEnd(end), behind(source.GetLength() - end) {}

    // Steps `size` bytes further back and reads them there. False when that
    // would be before the start of the file or the read comes up short.
    bool ReadBack(void* buffer, std::uint32_t size) {
        if (size > trailerEnd - back) {
            return false;
        }
        back += size;
        file.Seek(-static_cast<std::int64_t>(behind + back), CFile::end);
        return file.Read(buffer, size) == size;
    }

    bool ReadBack(std::uint32_t& value) {
        unsigned char bytes[4];
        if (!ReadBack(bytes, sizeof bytes)) {
            return false;
        }
        value = LoadU32(bytes);
        return true;
    }

    // Where the trailer read so far begins.
    std::uint64_t Start() const { return trailerEnd - back; }

private:
    CFile& file;
    const std::uint64_t trailerEnd;
    const std::uint64_t behind;  // bytes after the trailer: a signature
    std::uint64_t back = 0;
};

// Reads the directory entry that ends where the reader stands.
bool ReadEntry(TrailerReader& trailer, PayloadEntry& entry) {
    std::uint32_t nameLength = 0;
    char name[MAX_PAYLOAD_NAME];
    if (!trailer.ReadBack(nameLength) || nameLength > MAX_PAYLOAD_NAME || !trailer.ReadBack(name, nameLength) ||
        !trailer.ReadBack(entry.size) || !trailer.ReadBack(entry.offset)) {
        return false;
    }
    entry.name.assign(name, std::find(name, name + nameLength, '\0'));
    return entry.size <= MAX_PAYLOAD_FIELD && entry.offset <= MAX_PAYLOAD_FIELD;
}

// Copies the entry's data through one buffer of COPY_CHUNK bytes. False
// when the source ends before the entry's size has been copied.
bool CopyData(CFile& source, const PayloadEntry& entry, CFile& output) {
    char buffer[COPY_CHUNK];
    source.Seek(entry.offset, CFile::begin);
    for (std::uint32_t copied = 0; copied < entry.size;) {
        const std::uint32_t remaining = entry.size - copied;
        const unsigned read = source.Read(buffer, std::min(remaining, COPY_CHUNK));
        if (read == 0) {
            return false;
        }
        output.Write(buffer, read);
        copied += read;
    }
    return true;
}

}  // namespace

int PayloadArchive::ReadDirectory(const std::string& path) {
    CFile file;
    if (!file.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite)) {
        ResetDirectory();
        return PAYLOAD_OPEN_FAILED;
    }
    return ReadDirectory(file);
}

int PayloadArchive::ReadDirectory(CFile& file) {
    ResetDirectory();
    try {
        const ImageLayout image = ReadImageLayout(file);
        std::uint64_t end = 0;
        if (!FindTrailerEnd(file, image, end)) {
            return PAYLOAD_DAMAGED;
        }
        TrailerReader trailer(file, end);
        char magic[PAYLOAD_MAGIC_SIZE];
        if (!trailer.ReadBack(magic, sizeof magic) || std::memcmp(magic, PAYLOAD_MAGIC, sizeof magic) != 0) {
            // Bytes behind the image without a directory are a payload that
            // lost its end (a cut download); an image cut short is damaged
            // too. Zero bytes that aligned a certificate table may end the
            // image itself.
            const std::uint64_t limit = image.IsSigned() ? image.certificateOffset : end;
            const bool whole = image.imageEnd == 0 || (image.imageEnd >= end && image.imageEnd <= limit);
            return whole ? PAYLOAD_NO_MAGIC : PAYLOAD_DAMAGED;
        }
        std::uint32_t declared = 0;
        if (!trailer.ReadBack(declared)) {
            return PAYLOAD_DAMAGED;
        }
        if (declared == 0) {
            return PAYLOAD_EMPTY;
        }
        if (declared > MAX_PAYLOAD_ENTRIES) {
            return PAYLOAD_DAMAGED;
        }
        for (std::uint32_t i = declared; i-- > 0;) {
            if (!ReadEntry(trailer, entries[i])) {
                return Damaged(NameFault::NONE);
            }
        }
        // Data must lie before the trailer: nothing is ever read from it or
        // from beyond the end of the file.
        for (std::uint32_t i = 0; i < declared; ++i) {
            if (std::uint64_t{entries[i].offset} + entries[i].size > trailer.Start()) {
                return Damaged(NameFault::NONE);
            }
        }
        // Names that no packer writes.
        for (std::uint32_t i = 0; i < declared; ++i) {
            if (IsDeviceName(entries[i].name)) {
                return Damaged(NameFault::DEVICE_NAME);
            }
            for (std::uint32_t j = 0; j < i; ++j) {
                if (EqualsNoCase(entries[j].name, entries[i].name)) {
                    return Damaged(NameFault::SAME_NAME);
                }
            }
        }
        count = declared;
        return PAYLOAD_OK;
    } catch (const CFileException&) {
        return Damaged(NameFault::NONE);
    }
}

int PayloadArchive::Damaged(NameFault fault) {
    ResetDirectory();
    nameFault = fault;
    return PAYLOAD_DAMAGED;
}

bool PayloadArchive::CopyEntry(CFile& source, std::uint32_t index, CFile& output) {
    try {
        return CopyData(source, entries[index], output);
    } catch (const CFileException&) {
        return false;
    }
}

void PayloadArchive::ResetDirectory() {
    for (PayloadEntry& entry : entries) {
        entry.name.clear();
        entry.size = 0;
    }
    count = 0;
    nameFault = NameFault::NONE;
}

}  // namespace kg
