// kgpack: appends files to a finished installer as its payload, and lists and
// verifies the payload of a packed installer.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "framework/file.h"
#include "framework/text.h"
#include "payload/archive.h"
#include "payload/driver_image.h"
#include "payload/image_extent.h"
#include "payload/writer.h"

namespace fs = std::filesystem;
using kg::CFile;
using kg::CFileException;

namespace {

enum ExitCode { EXIT_DONE = 0, EXIT_FAILED = 1, EXIT_USAGE = 2 };

constexpr char USAGE[] =
    "Usage:\n"
    "  kgpack pack INSTALLER FILE... [-o OUT]\n"
    "      Appends the FILEs, in the order given, to INSTALLER as its payload:\n"
    "      in place, or into OUT with INSTALLER left as it is. Each file is\n"
    "      stored under its bare file name. A signed INSTALLER is refused:\n"
    "      pack first, then sign the packed installer. So is a driver (.sys)\n"
    "      that would not load: damaged, or for another processor than\n"
    "      INSTALLER's.\n"
    "  kgpack list FILE\n"
    "      Lists the payload entries of FILE with their offsets and sizes.\n"
    "  kgpack verify FILE\n"
    "      Checks that FILE carries a sound payload (signed or not; the\n"
    "      signature itself is checked by the signing tools).\n"
    "  kgpack --help\n"
    "\n"
    "Exit codes: 0 done (verify: the payload is sound); 1 the operation failed\n"
    "or was refused (verify: no payload, or a damaged one); 2 wrong usage.\n"
    "A refused or failed pack leaves every file as it was.\n";

int Fail(const std::string& message) {
    std::fprintf(stderr, "kgpack: %s\n", message.c_str());
    return EXIT_FAILED;
}

int Usage(const char* problem) {
    std::fprintf(stderr, "kgpack: %s\n\n%s", problem, USAGE);
    return EXIT_USAGE;
}

const char* DescribeResult(int result) {
    switch (result) {
    case kg::PAYLOAD_OPEN_FAILED: return "cannot be opened";
    case kg::PAYLOAD_NO_MAGIC: return "carries no payload";
    case kg::PAYLOAD_EMPTY: return "declares an empty payload";
    case kg::PAYLOAD_DAMAGED: return "has a damaged payload directory";
    default: return "cannot be read";
    }
}

void OpenForReading(CFile& file, const std::string& path) {
    CFileException error;
    if (!file.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite, &error)) {
        throw error;
    }
}

// Copies all of `path` to the end of `out`.
void AppendFile(CFile& out, const std::string& path) {
    CFile in;
    OpenForReading(in, path);
    std::vector<char> buffer(1 << 16);
    while (const unsigned read = in.Read(buffer.data(), static_cast<unsigned>(buffer.size()))) {
        out.Write(buffer.data(), read);
    }
}

std::uint64_t FileLength(const std::string& path) {
    CFile file;
    OpenForReading(file, path);
    return file.GetLength();
}

const char* DescribeNameFault(kg::NameFault fault) {
    return fault == kg::NameFault::DEVICE_NAME ? "an entry has a device name"
           : fault == kg::NameFault::SAME_NAME ? "two entries have the same name"
                                               : nullptr;
}

// Why the driver `name` (data at `offset`, `size` bytes into `file`) would not
// load with a program made for `machine`; null when it would, or when the
// file is no driver (".sys").
const char* DriverRefusal(CFile& file, const std::string& name, std::uint64_t offset, std::uint64_t size,
                          std::uint16_t machine) {
    if (name.size() < 4 || kg::UpperCase(name.substr(name.size() - 4)) != ".SYS") {
        return nullptr;
    }
    switch (kg::CheckDriverImage(file, offset, size, machine)) {
    case kg::DriverFault::NONE: return nullptr;
    case kg::DriverFault::NOT_AN_IMAGE: return "is not a program image";
    case kg::DriverFault::OTHER_PROCESSOR: return "is a driver for another processor than the installer's";
    case kg::DriverFault::CHECKSUM_MISMATCH: return "is damaged: its checksum does not match its contents";
    }
    return nullptr;
}

// The signature's certificate table, as the file's headers declare it.
kg::ImageLayout Layout(const std::string& path) {
    CFile file;
    OpenForReading(file, path);
    return kg::ReadImageLayout(file);
}

int Pack(const std::string& installer, const std::vector<std::string>& files, const std::string& output) {
    kg::PayloadArchive existing;
    const int state = existing.ReadDirectory(installer);
    if (state == kg::PAYLOAD_OPEN_FAILED) {
        return Fail(installer + ": cannot be opened");
    }
    // The signature covers the whole file: anything appended breaks it.
    if (Layout(installer).IsSigned()) {
        return Fail(installer +
                    ": is signed, and packing would break its signature; pack the unsigned program, "
                    "then sign the packed installer");
    }
    if (state != kg::PAYLOAD_NO_MAGIC) {
        return Fail(installer + ": already carries a payload");
    }
    if (files.size() > kg::MAX_PAYLOAD_ENTRIES) {
        return Fail("a payload holds at most " + std::to_string(kg::MAX_PAYLOAD_ENTRIES) + " files");
    }

    // Everything is checked before the first byte is written: no driver that
    // the installer would refuse to install.
    kg::PayloadWriter writer(FileLength(installer));
    const std::uint16_t machine = Layout(installer).machine;
    for (const std::string& file : files) {
        const std::string name = fs::path(file).filename().string();
        const std::string refusal = writer.Add(name, FileLength(file));
        if (!refusal.empty()) {
            return Fail(file + ": " + refusal);
        }
        CFile data;
        OpenForReading(data, file);
        if (const char* driverRefusal = DriverRefusal(data, name, 0, data.GetLength(), machine)) {
            return Fail(file + ": " + driverRefusal);
        }
    }

    // The packed file is written beside its destination and takes its place
    // only once the payload reads back whole.
    const std::string temporary = output + ".kgpack-tmp";
    try {
        CFile out;
        CFileException error;
        if (!out.Open(temporary.c_str(), CFile::modeCreate | CFile::modeWrite, &error)) {
            throw error;
        }
        AppendFile(out, installer);
        for (const std::string& file : files) {
            AppendFile(out, file);
        }
        const std::string trailer = writer.Trailer();
        out.Write(trailer.data(), static_cast<unsigned>(trailer.size()));
        out.Flush();
        out.Close();

        kg::PayloadArchive check;
        if (check.ReadDirectory(temporary) != kg::PAYLOAD_OK || check.GetCount() != files.size()) {
            CFile::Remove(temporary.c_str());
            return Fail(output + ": the written payload does not read back");
        }
        fs::permissions(temporary, fs::status(installer).permissions());
        fs::rename(temporary, output);
    } catch (const CFileException& error) {
        CFile::Remove(temporary.c_str());
        return Fail(error.m_strFileName + ": " + error.GetErrorMessage());
    } catch (const fs::filesystem_error& error) {
        CFile::Remove(temporary.c_str());
        return Fail(error.what());
    }
    return EXIT_DONE;
}

int List(const std::string& path) {
    kg::PayloadArchive archive;
    const int result = archive.ReadDirectory(path);
    if (result != kg::PAYLOAD_OK) {
        return Fail(path + ": " + DescribeResult(result));
    }
    std::printf("%10s %10s  %s\n", "offset", "size", "name");
    std::uint64_t trailer = kg::TRAILER_TAIL_SIZE;
    for (std::uint32_t i = 0; i < archive.GetCount(); ++i) {
        const kg::PayloadEntry& entry = archive.GetEntry(i);
        std::printf("%10lu %10lu  %s\n", static_cast<unsigned long>(entry.offset),
                    static_cast<unsigned long>(entry.size), entry.name.c_str());
        trailer += kg::ENTRY_FIXED_SIZE + entry.name.size();
    }
    std::printf("%lu entries, trailer %lu bytes", static_cast<unsigned long>(archive.GetCount()),
                static_cast<unsigned long>(trailer));
    const kg::ImageLayout image = Layout(path);
    if (image.IsSigned()) {
        std::printf(", signed: certificate table of %lu bytes at %lu",
                    static_cast<unsigned long>(image.certificateSize),
                    static_cast<unsigned long>(image.certificateOffset));
    }
    std::printf("\n");
    return EXIT_DONE;
}

int Verify(const std::string& path) {
    kg::PayloadArchive archive;
    CFile file;
    OpenForReading(file, path);
    const int result = archive.ReadDirectory(file);
    if (const char* fault = DescribeNameFault(archive.GetNameFault())) {
        return Fail(path + ": " + DescribeResult(result) + ": " + fault);
    }
    if (result != kg::PAYLOAD_OK) {
        return Fail(path + ": " + DescribeResult(result));
    }
    const std::uint16_t machine = kg::ReadImageLayout(file).machine;
    for (std::uint32_t i = 0; i < archive.GetCount(); ++i) {
        const kg::PayloadEntry& entry = archive.GetEntry(i);
        if (!kg::IsPlainFileName(entry.name)) {
            return Fail(path + ": entry " + std::to_string(i) + " is not a plain file name");
        }
        if (const char* refusal = DriverRefusal(file, entry.name, entry.offset, entry.size, machine)) {
            return Fail(path + ": entry " + std::to_string(i) + " (" + entry.name + ") " + refusal);
        }
    }
    std::printf("%s: %lu entries, sound%s\n", path.c_str(), static_cast<unsigned long>(archive.GetCount()),
                Layout(path).IsSigned() ? ", signed" : "");
    return EXIT_DONE;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        return Usage("no command given");
    }
    const std::string& command = args[0];
    if (command == "--help" || command == "-h") {
        std::fputs(USAGE, stdout);
        return EXIT_DONE;
    }
    try {
        if (command == "pack") {
            std::vector<std::string> files;
            std::string output;
            for (std::size_t i = 1; i < args.size(); ++i) {
                if (args[i] == "-o") {
                    if (++i == args.size()) {
                        return Usage("-o needs a file name");
                    }
                    output = args[i];
                } else {
                    files.push_back(args[i]);
                }
            }
            if (files.size() < 2) {
                return Usage("pack needs an installer and at least one file");
            }
            const std::string installer = files.front();
            files.erase(files.begin());
            return Pack(installer, files, output.empty() ? installer : output);
        }
        if ((command == "list" || command == "verify") && args.size() == 2) {
            return command == "list" ? List(args[1]) : Verify(args[1]);
        }
    } catch (const CFileException& error) {
        return Fail(error.m_strFileName + ": " + error.GetErrorMessage());
    }
    return Usage(("unknown command or wrong arguments: " + command).c_str());
}
