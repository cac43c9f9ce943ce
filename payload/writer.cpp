#include "payload/writer.h"

#include "framework/text.h"

namespace kg {
namespace {

void AppendValue(std::string& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out += static_cast<char>((value >> shift) & 0xFF);
    }
}

}  // namespace

std::string PayloadWriter::Add(const std::string& name, std::uint64_t size) {
    if (entries.size() >= MAX_PAYLOAD_ENTRIES) {
        return "a payload holds at most " + std::to_string(MAX_PAYLOAD_ENTRIES) + " files";
    }
    if (name.size() > MAX_PAYLOAD_NAME) {
        return "the name is longer than " + std::to_string(MAX_PAYLOAD_NAME) + " bytes";
    }
    if (name.find('\0') != std::string::npos) {
        return "the name holds a zero byte";
    }
    if (!IsPlainFileName(name)) {
        return "the name is not a plain file name";
    }
    for (const PayloadEntry& entry : entries) {
        if (UpperCase(entry.name) == UpperCase(name)) {
            return "another file has the same name";
        }
    }
    if (size > MAX_PAYLOAD_FIELD) {
        return "the file is 2 GiB or larger";
    }
    if (nextOffset > MAX_PAYLOAD_FIELD) {
        return "the file would start 2 GiB or more into the installer";
    }
    PayloadEntry entry;
    entry.name = name;
    entry.size = static_cast<std::uint32_t>(size);
    entry.offset = static_cast<std::uint32_t>(nextOffset);
    entries.push_back(entry);
    nextOffset += size;
    return std::string();
}

std::string PayloadWriter::Trailer() const {
    std::string trailer;
    for (const PayloadEntry& entry : entries) {
        AppendValue(trailer, entry.offset);
        AppendValue(trailer, entry.size);
        trailer += entry.name;
        AppendValue(trailer, static_cast<std::uint32_t>(entry.name.size()));
    }
    AppendValue(trailer, static_cast<std::uint32_t>(entries.size()));
    trailer.append(PAYLOAD_MAGIC, PAYLOAD_MAGIC_SIZE);
    return trailer;
}

}  // namespace kg
