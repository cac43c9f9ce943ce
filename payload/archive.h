// Reads the payload directory at the end of a program file and writes its
// entries into a folder.
#pragma once

#include <cstdint>
#include <string>

#include "framework/file.h"
#include "payload/format.h"

namespace kg {

// One slot of the directory in memory.
struct PayloadEntry {
    std::string name;  // empty in a slot not in use
    std::uint32_t size = 0;
    std::uint32_t offset = 0;  // absolute file offset of the data
};

class PayloadArchive {
public:
    PayloadArchive() = default;
    PayloadArchive(const PayloadArchive&) = delete;
    PayloadArchive& operator=(const PayloadArchive&) = delete;
    virtual ~PayloadArchive() = default;

    // Fills the table from the trailer of the file at `path`: at the end of
    // the file, or in a signed file directly before its certificate table.
    // Returns PAYLOAD_OK, PAYLOAD_OPEN_FAILED, PAYLOAD_NO_MAGIC,
    // PAYLOAD_EMPTY, or PAYLOAD_DAMAGED for a trailer that does not fit the
    // file or the table (the table is then left empty), for a program file
    // without the magic whose size differs from what its image headers
    // declare, and for a signed file with bytes behind its certificate table.
    int ReadDirectory(const std::string& path);

#ifdef _WIN32
    // Extracts the running program's own payload into `folder`; tells the
    // user in a message box when the program file cannot be opened again.
    int ExtractAll(std::string folder);

    // The full path of the running program's file.
    static std::string GetModulePath();
#endif

    // Extracts the payload of the file at `path` into `folder` (a separator
    // is appended when missing). The last entry is written first; an entry
    // that cannot be created is skipped. Returns ReadDirectory's result when
    // that is not PAYLOAD_OK; PAYLOAD_REOPEN_FAILED with `openError` filled;
    // PAYLOAD_COPY_FAILED when an entry's data could not be copied whole;
    // else PAYLOAD_OK.
    int ExtractFile(const std::string& path, std::string folder, CFileException& openError);

    // Writes slot `index` from `source` into `folder` + its name. Returns
    // PAYLOAD_OK, PAYLOAD_CREATE_FAILED (nothing written, also for a name
    // that is not a plain file name), or PAYLOAD_COPY_FAILED (the data ended
    // early or could not be read or written; the partial file is deleted).
    int ExtractEntry(CFile& source, std::uint32_t index, const std::string& folder);

    void ResetDirectory();

    std::uint32_t GetCount() const { return count; }
    const PayloadEntry& GetEntry(std::uint32_t index) const { return entries[index]; }

private:
    PayloadEntry entries[MAX_PAYLOAD_ENTRIES];
    std::uint32_t count = 0;
};

}  // namespace kg
