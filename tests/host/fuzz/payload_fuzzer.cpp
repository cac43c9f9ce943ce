// Fuzzes the payload reader and extraction with whole program files: each
// input is extracted into out/ of a sandbox folder, which must then hold only
// the input and out/, and out/ only plain files no larger than the input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "payload/archive.h"
#include "tests/support/folder_sink.h"

namespace fs = std::filesystem;

static void Check(bool sound, const std::string& what) {
    if (!sound) {
        std::fprintf(stderr, "payload_fuzzer: %s\n", what.c_str());
        std::abort();
    }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static char pattern[] = "/tmp/kgfuzz-XXXXXX";
    static const fs::path sandbox = ::mkdtemp(pattern);
    const fs::path program = sandbox / "program.exe", out = sandbox / "out";
    fs::create_directories(out);
    std::ofstream(program, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data), size);

    static kg::PayloadArchive archive;  // 256 slots: kept between runs
    int result = kg::PAYLOAD_OPEN_FAILED;
    {
        kg::CFile source;
        kg::test::FolderSink sink(out.string());
        if (source.Open(program.string().c_str(), kg::CFile::modeRead | kg::CFile::shareDenyWrite))
            result = archive.ExtractAll(source, sink);
    }
    Check(result == kg::PAYLOAD_OK || archive.GetCount() == 0, "a failed read left entries in the table");
    for (const auto& item : fs::directory_iterator(sandbox))
        Check(item.path() == program || item.path() == out, "written outside: " + item.path().string());
    for (const auto& item : fs::directory_iterator(out))
        Check(item.is_regular_file() && item.file_size() <= size, "unexpected output: " + item.path().string());
    fs::remove_all(out);
    return 0;
}
