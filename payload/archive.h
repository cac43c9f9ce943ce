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

// Names in a directory that no packer writes.
enum class NameFault {
    NONE,
    DEVICE_NAME,  // a device is no file of the folder
    SAME_NAME,    // in any case: the second entry would replace the first
};

class PayloadArchive {
public:
    PayloadArchive() = default;
    PayloadArchive(const PayloadArchive&) = delete;
    PayloadArchive& operator=(const PayloadArchive&) = delete;
    virtual ~PayloadArchive() = default;

    // Fills the table from the trailer of `file`: at the end of the file, or
    // in a signed file directly before its certificate table. Returns
    // PAYLOAD_OK, PAYLOAD_NO_MAGIC, PAYLOAD_EMPTY, or PAYLOAD_DAMAGED (the
    // table is then left empty) for a trailer that does not fit the file or
    // the table, for a device name or one name twice (GetNameFault says which),
    // for a program file without the magic whose size differs from what its
    // image headers declare, and for a signed file with bytes behind its
    // certificate table.
    int ReadDirectory(CFile& file);
    // The same for the file at `path`; PAYLOAD_OPEN_FAILED when it cannot be
    // opened.
    int ReadDirectory(const std::string& path);

    // Reads the directory of `source` and writes its entries into `sink`, the
    // last entry first, all from the one open file. A sink has
    //     CFile* Create(const std::string& name)   the output of the entry
    //         `name`, a plain file name, open for writing; null when it
    //         cannot be created (the entry is then skipped)
    //     void Discard(const std::string& name)    drops the output of an
    //         entry whose data could not be copied whole: a partial file
    //         must never pass for the real one
    // An entry whose name is not a plain file name is skipped too. Returns
    // ReadDirectory's result when that is not PAYLOAD_OK;
    // PAYLOAD_COPY_FAILED when an entry's data could not be copied whole
    // (the extraction ends there); else PAYLOAD_OK.
    template <typename Sink>
    int ExtractAll(CFile& source, Sink& sink) {
        const int result = ReadDirectory(source);
        if (result != PAYLOAD_OK) {
            return result;
        }
        for (std::uint32_t index = count; index-- > 0;) {
            if (ExtractEntry(source, index, sink) == PAYLOAD_COPY_FAILED) {
                return PAYLOAD_COPY_FAILED;
            }
        }
        return PAYLOAD_OK;
    }

    // Writes slot `index` of the table from `source` into `sink`. Returns
    // PAYLOAD_OK, PAYLOAD_CREATE_FAILED (nothing written: a slot not in use,
    // a name that is not a plain file name, or one the sink cannot create),
    // or PAYLOAD_COPY_FAILED (the data ended early or could not be read or
    // written; the sink has dropped the output).
    template <typename Sink>
    int ExtractEntry(CFile& source, std::uint32_t index, Sink& sink) {
        if (index >= MAX_PAYLOAD_ENTRIES || !IsPlainFileName(entries[index].name)) {
            return PAYLOAD_CREATE_FAILED;
        }
        CFile* const output = sink.Create(entries[index].name);
        if (output == nullptr) {
            return PAYLOAD_CREATE_FAILED;
        }
        if (!CopyEntry(source, index, *output)) {
            sink.Discard(entries[index].name);
            return PAYLOAD_COPY_FAILED;
        }
        return PAYLOAD_OK;
    }

    // Copies the data of slot `index` from `source` into `output`; false when
    // the source ends early or a read or write fails.
    bool CopyEntry(CFile& source, std::uint32_t index, CFile& output);

#ifdef _WIN32
    // The full path of the running program's file.
    static std::string GetModulePath();
    // Opens the running program's file for the whole reading of its payload:
    // read access, and others may only read it meanwhile (no writing, no
    // deleting or renaming). False with `failure` set to "Cannot open ...
    // for reading: ..." when it cannot be opened.
    static bool OpenModule(CFile& file, std::string& failure);
#endif

    void ResetDirectory();

    std::uint32_t GetCount() const { return count; }
    const PayloadEntry& GetEntry(std::uint32_t index) const { return entries[index]; }
    // What the last ReadDirectory found wrong with the names.
    NameFault GetNameFault() const { return nameFault; }

private:
    // PAYLOAD_DAMAGED, with the table emptied and `fault` kept.
    int Damaged(NameFault fault);

    PayloadEntry entries[MAX_PAYLOAD_ENTRIES];
    std::uint32_t count = 0;
    NameFault nameFault = NameFault::NONE;
};

}  // namespace kg
