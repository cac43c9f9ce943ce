// The packing tool as a user runs it: each command line, its exit code and
// what it says; a refused or failed pack leaves every file as it was.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <map>

#include "tests/support/files.h"
#include "tests/support/trailer_bytes.h"

namespace kg {
namespace {

using test::Pattern;
using test::RawTrailer;

TEST(Kgpack, CommandLines) {
    const test::TempDir dir;
    // Packed, then signed: a certificate table of 64 bytes after 5 zero bytes of alignment.
    const std::string signedFile = test::Signed(test::PackedImage(test::MinimalImage(0x480, 0x80).substr(0, 0x400), {{"a.txt", "1234"}}));
    const auto q = [&](const std::string& name) { return " '" + dir.Str(name) + "'"; };
    for (const auto& [name, bytes] : std::map<std::string, std::string>{
             {"Kgsetup.exe", Pattern(4096)}, {"kestgard.sys", Pattern(5000, 1)}, {"kestgard.dll", Pattern(3000, 2)},
             {"plain.exe", Pattern(100)}, {"CON", "device"}, {"damaged.exe", Pattern(100) + RawTrailer({{0, 5000, "a", 1}}, 1)},
             {"escape.exe", Pattern(100) + RawTrailer({{0, 10, "..\\a", 4}}, 1)}, {"empty.exe", Pattern(100) + RawTrailer({}, 0)}, {"signed.exe", signedFile}}) {
        test::WriteBytes(dir.Str(name), bytes);
    }
    std::string many = "pack" + q("Kgsetup.exe");
    for (int i = 0; i < 257; ++i) {
        test::WriteBytes(dir.Str("f" + std::to_string(i)), "x");
        many += q("f" + std::to_string(i));
    }
    const std::string installer = q("Kgsetup.exe"), sys = q("kestgard.sys"), dll = q("kestgard.dll");
    // The arguments, the exit code, and a part of what the tool says.
    const struct { const char* what; std::string arguments; int exitCode; std::string says; } rows[] = {
        {"pack into another file", "pack" + installer + sys + dll + " -o" + q("out.exe"), 0, ""},
        {"list", "list" + q("out.exe"), 0, "    offset       size  name\n      4096       5000  kestgard.sys\n      9096       3000  kestgard.dll\n" "2 entries, trailer 62 bytes\n"},
        {"verify", "verify" + q("out.exe"), 0, "2 entries, sound"},
        {"pack in place", "pack" + q("plain.exe") + dll, 0, ""},
        {"pack a packed file", "pack" + q("plain.exe") + dll, 1, "already carries a payload"},
        {"pack a signed file", "pack" + q("signed.exe") + dll, 1, "signed.exe: is signed, and packing would break its signature"},
        {"list a signed file", "list" + q("signed.exe"), 0, "1 entries, trailer 31 bytes, signed: certificate table of 64 bytes at 1064\n"},
        {"verify a signed file", "verify" + q("signed.exe"), 0, "1 entries, sound, signed\n"},
        {"a file missing", "pack" + installer + dll + q("absent.sys"), 1, "absent.sys"},
        {"a device name", "pack" + installer + q("CON"), 1, "not a plain file name"},
        {"one name twice", "pack" + installer + dll + dll, 1, "same name"},
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
    for (const auto& row : rows) {
        FILE* pipe = ::popen((std::string(KGPACK) + " " + row.arguments + " 2>&1").c_str(), "r");
        std::string output;
        char buffer[4096];
        while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) {
            output.append(buffer, got);
        }
        const int status = ::pclose(pipe);
        EXPECT_EQ(row.exitCode, WIFEXITED(status) ? WEXITSTATUS(status) : -1) << row.what << ": " << output;
        EXPECT_NE(std::string::npos, output.find(row.says)) << row.what << ": " << output;
    }
    EXPECT_EQ(Pattern(4096), test::ReadBytes(dir.Str("Kgsetup.exe"))) << "a refused pack changed the installer";
    EXPECT_EQ(signedFile, test::ReadBytes(dir.Str("signed.exe"))) << "a refused pack broke the signature";
    EXPECT_EQ(Pattern(4096) + Pattern(5000, 1) + Pattern(3000, 2), test::ReadBytes(dir.Str("out.exe")).substr(0, 12096));
    EXPECT_EQ(12096u + 62, test::ReadBytes(dir.Str("out.exe")).size());
    EXPECT_EQ(267u, dir.List().size()) << "a pack left a file behind";
}

}  // namespace
}  // namespace kg
