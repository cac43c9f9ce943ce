// The packing tool as a user runs it: each command line, its exit code and
// what it says; a refused or failed pack leaves every file as it was.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <tuple>
#include <utility>

#include "payload/driver_image.h"
#include "tests/support/files.h"
#include "tests/support/trailer_bytes.h"

namespace kg {
namespace {

using namespace test;

TEST(Kgpack, CommandLines) {
    const TempDir dir;
    // Packed, then signed: a certificate table of 64 bytes after 5 zero bytes of alignment.
    const std::string signedFile = Signed(PackedImage(MinimalImage(0x480, 0x80).substr(0, 0x400), {{"a.txt", "1234"}}));
    const auto q = [&](const std::string& name) { return " '" + dir.Str(name) + "'"; };
    // An x86 program and its driver (no checksum: not checked), a driver for x64, and a damaged one.
    const std::string program = Made(MinimalImage(4096), MACHINE_I386), driver = Made(MinimalImage(5000), MACHINE_I386);
    const std::string x64 = Made(MinimalImage(5000), MACHINE_AMD64),
                      damaged = Made(MinimalImage(5000), MACHINE_I386, 0x1234);
    using File = std::pair<std::string, std::string>;
    for (const auto& [name, bytes] :
         {File{"Kgsetup.exe", program}, File{"kestgard.sys", driver}, File{"kestgard.dll", Pattern(3000, 2)},
          File{"x64/kestgard.sys", x64}, File{"damaged/kestgard.sys", damaged}, File{"plain.exe", Pattern(100)},
          File{"CON", "device"}, File{"damaged.exe", Pattern(100) + RawTrailer({{0, 5000, "a", 1}}, 1)},
          File{"escape.exe", Pattern(100) + RawTrailer({{0, 10, "..\\a", 4}}, 1)},
          File{"device.exe", PackedImage(program, {{"a", "1"}, {"com\xB9", "2"}})},
          File{"twins.exe", PackedImage(program, {{"a.sys", driver}, {"A.SYS", driver}})},
          File{"foreign.exe", PackedImage(program, {{"kestgard.sys", x64}})},
          File{"empty.exe", Pattern(100) + RawTrailer({}, 0)}, File{"signed.exe", signedFile}}) {
        std::filesystem::create_directories(std::filesystem::path(dir.Str(name)).parent_path());
        WriteBytes(dir.Str(name), bytes);
    }
    std::string many = "pack" + q("Kgsetup.exe");
    for (int i = 0; i < 257; ++i) {
        WriteBytes(dir.Str("f" + std::to_string(i)), "x");
        many += q("f" + std::to_string(i));
    }
    const std::string installer = q("Kgsetup.exe"), sys = q("kestgard.sys"), dll = q("kestgard.dll");
    // The arguments, the exit code, and a part of what the tool says.
    const std::tuple<const char*, std::string, int, std::string> rows[] = {
        {"pack into another file", "pack" + installer + sys + dll + " -o" + q("out.exe"), 0, ""},
        {"list", "list" + q("out.exe"), 0,
         "    offset       size  name\n      4096       5000  kestgard.sys\n      9096       3000  kestgard.dll\n"
         "2 entries, trailer 62 bytes\n"},
        {"verify", "verify" + q("out.exe"), 0, "2 entries, sound"},
        {"pack in place", "pack" + q("plain.exe") + dll, 0, ""},
        {"pack a packed file", "pack" + q("plain.exe") + dll, 1, "already carries a payload"},
        {"pack a signed file", "pack" + q("signed.exe") + dll, 1,
         "signed.exe: is signed, and packing would break its signature"},
        {"list a signed file", "list" + q("signed.exe"), 0,
         "1 entries, trailer 31 bytes, signed: certificate table of 64 bytes at 1064\n"},
        {"verify a signed file", "verify" + q("signed.exe"), 0, "1 entries, sound, signed\n"},
        {"a file missing", "pack" + installer + dll + q("absent.sys"), 1, "absent.sys"},
        {"a device name", "pack" + installer + q("CON"), 1, "not a plain file name"},
        {"a driver for another processor", "pack" + installer + q("x64/kestgard.sys"), 1,
         "x64/kestgard.sys: is a driver for another processor than the installer's"},
        {"a damaged driver", "pack" + installer + q("damaged/kestgard.sys"), 1,
         "is damaged: its checksum does not match its contents"},
        {"verify a device", "verify" + q("device.exe"), 1, "damaged payload directory: an entry has a device name"},
        {"verify twins", "verify" + q("twins.exe"), 1, "damaged payload directory: two entries have the same name"},
        {"verify a driver for another processor", "verify" + q("foreign.exe"), 1,
         "entry 0 (kestgard.sys) is a driver for another processor"},
        {"257 files", many, 1, "at most 256 files"},
        {"verify without payload", "verify" + installer, 1, "carries no payload"},
        {"verify damaged", "verify" + q("damaged.exe"), 1, "damaged payload directory"},
        {"verify an escaping name", "verify" + q("escape.exe"), 1, "entry 0 is not a plain file name"},
        {"list an empty payload", "list" + q("empty.exe"), 1, "declares an empty payload"},
        {"no command", "", 2, "no command given"},
        {"pack without files", "pack" + installer, 2, "at least one file"},
        {"-o without a name", "pack" + installer + sys + " -o", 2, "-o needs a file name"},
        {"unknown command", "frobnicate x", 2, "unknown command"},
        {"help", "--help", 0, "Exit codes"},
    };
    for (const auto& [what, arguments, exitCode, says] : rows) {
        FILE* pipe = ::popen((std::string(KGPACK) + " " + arguments + " 2>&1").c_str(), "r");
        std::string output;
        char buffer[4096];
        while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
            output.append(buffer, got);
        const int status = ::pclose(pipe);
        EXPECT_EQ(exitCode, WIFEXITED(status) ? WEXITSTATUS(status) : -1) << what << ": " << output;
        EXPECT_NE(std::string::npos, output.find(says)) << what << ": " << output;
    }
    EXPECT_EQ(program, ReadBytes(dir.Str("Kgsetup.exe"))) << "a refused pack changed the installer";
    EXPECT_EQ(signedFile, ReadBytes(dir.Str("signed.exe"))) << "a refused pack broke the signature";
    EXPECT_EQ(program + driver + Pattern(3000, 2), ReadBytes(dir.Str("out.exe")).substr(0, 12096));
    EXPECT_EQ(12096u + 62, ReadBytes(dir.Str("out.exe")).size());
    EXPECT_EQ(272u, dir.List().size()) << "a pack left a file behind";
}

}  // namespace
}  // namespace kg
