// Lays out a payload behind a finished program file: the packing tool's half
// of the format, with the reader's limits enforced before anything is written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "payload/archive.h"

namespace kg {

class PayloadWriter {
public:
    // `imageLength`: the length of the program file the data follow.
    explicit PayloadWriter(std::uint64_t imageLength) : nextOffset(imageLength) {}

    // Places the next file's data behind the previous one's. Returns why the
    // reader would reject it (empty when accepted; nothing is placed then).
    std::string Add(const std::string& name, std::uint64_t size);

    const std::vector<PayloadEntry>& Entries() const { return entries; }

    // The trailer for the files placed so far: the directory in placing
    // order, the count and the magic.
    std::string Trailer() const;

private:
    std::uint64_t nextOffset;
    std::vector<PayloadEntry> entries;
};

}  // namespace kg
