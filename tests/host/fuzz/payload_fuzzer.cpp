// Fuzzes the payload reader and extraction with whole program files. Each
// input is written to a sandbox folder and extracted into out/ inside it;
// afterwards the sandbox must hold only the input and out/, and out/ only
// plain files, each no larger than the input.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "payload/archive.h"

namespace fs = std::filesystem;

namespace {

const fs::path& Sandbox() {
    static const fs::path sandbox = [] {
        char pattern[] = "/tmp/kgfuzz-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            std::abort();
        }
        return fs::path(pattern);
    }();
    return sandbox;
}

[[noreturn]] void Violation(const std::string& what) {
    std::fprintf(stderr, "payload_fuzzer: %s\n", what.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path& sandbox = Sandbox();
    const fs::path program = sandbox / "program.exe";
    const fs::path out = sandbox / "out";
    fs::create_directories(out);
    {
        std::ofstream file(program, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }

    static kg::PayloadArchive archive;  // 256 slots: kept between runs
    kg::CFileException openError;
    const int result = archive.ExtractFile(program.string(), out.string(), openError);
    if (result != kg::PAYLOAD_OK && archive.GetCount() != 0) {
        Violation("a failed read left entries in the table");
    }

    for (const auto& item : fs::directory_iterator(sandbox)) {
        if (item.path() != program && item.path() != out) {
            Violation("written outside the output folder: " + item.path().string());
        }
    }
    for (const auto& item : fs::directory_iterator(out)) {
        if (!item.is_regular_file() || item.file_size() > size) {
            Violation("unexpected output: " + item.path().string());
        }
    }
    fs::remove_all(out);
    return 0;
}
