// The packing tool as a user runs it: packing, listing, verifying, and every
// refusal leaving the files as they were.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

#include "payload/archive.h"
#include "tests/support/files.h"
#include "tests/support/trailer_bytes.h"

namespace kg {
namespace {

using test::Pattern;

struct Result {
    int exitCode;
    std::string output;  // standard output and error together
};

Result RunKgpack(const std::string& arguments) {
    const std::string command = std::string(KGPACK) + " " + arguments + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    Result run{-1, ""};
    char buffer[4096];
    while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) {
        run.output.append(buffer, got);
    }
    const int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class Kgpack : public ::testing::Test {
protected:
    void SetUp() override {
        test::WriteBytes(installer_, Pattern(4096));
        test::WriteBytes(dir_.Str("kestgard.sys"), Pattern(5000, 1));
        test::WriteBytes(dir_.Str("kestgard.dll"), Pattern(3000, 2));
    }
    std::string Q(const std::string& name) const { return "'" + dir_.Str(name) + "'"; }
    std::vector<std::string> Files() const { return test::ListFolder(dir_.Path()); }

    test::TempDir dir_;
    const std::string installer_ = dir_.Str("Kgsetup.exe");
};

TEST_F(Kgpack, PacksInPlaceInListOrderAndListsAndVerifies) {
    const Result pack = RunKgpack("pack " + Q("Kgsetup.exe") + " " + Q("kestgard.sys") + " " + Q("kestgard.dll"));
    ASSERT_EQ(0, pack.exitCode) << pack.output;
    const std::string packed = test::ReadBytes(installer_);
    EXPECT_EQ(Pattern(4096) + Pattern(5000, 1) + Pattern(3000, 2), packed.substr(0, 12096));
    EXPECT_EQ(12096u + 62u, packed.size());

    const Result list = RunKgpack("list " + Q("Kgsetup.exe"));
    EXPECT_EQ(0, list.exitCode);
    EXPECT_NE(std::string::npos, list.output.find("      4096       5000  kestgard.sys\n"));
    EXPECT_NE(std::string::npos, list.output.find("      9096       3000  kestgard.dll\n"));
    EXPECT_NE(std::string::npos, list.output.find("2 entries, trailer 62 bytes"));
    EXPECT_EQ(0, RunKgpack("verify " + Q("Kgsetup.exe")).exitCode);
    EXPECT_EQ((std::vector<std::string>{"Kgsetup.exe", "kestgard.dll", "kestgard.sys"}), Files());
}

TEST_F(Kgpack, PacksIntoAnotherFileLeavingTheInstallerAlone) {
    ASSERT_EQ(0, RunKgpack("pack " + Q("Kgsetup.exe") + " " + Q("kestgard.dll") + " -o " + Q("out.exe")).exitCode);
    EXPECT_EQ(Pattern(4096), test::ReadBytes(installer_));
    PayloadArchive archive;
    ASSERT_EQ(PAYLOAD_OK, archive.ReadDirectory(dir_.Str("out.exe")));
    EXPECT_EQ("kestgard.dll", archive.GetEntry(0).name);
}

TEST_F(Kgpack, RefusalsLeaveEveryFileAsItWas) {
    ASSERT_EQ(0, RunKgpack("pack " + Q("Kgsetup.exe") + " " + Q("kestgard.sys")).exitCode);
    const std::string packed = test::ReadBytes(installer_);

    const Result again = RunKgpack("pack " + Q("Kgsetup.exe") + " " + Q("kestgard.dll"));
    EXPECT_EQ(1, again.exitCode);
    EXPECT_NE(std::string::npos, again.output.find("already carries a payload"));

    test::WriteBytes(dir_.Str("plain.exe"), Pattern(100));
    const Result missing = RunKgpack("pack " + Q("plain.exe") + " " + Q("kestgard.dll") + " " + Q("absent.sys"));
    EXPECT_EQ(1, missing.exitCode);
    EXPECT_NE(std::string::npos, missing.output.find("absent.sys"));

    test::WriteBytes(dir_.Str("CON"), "device");
    const Result device = RunKgpack("pack " + Q("plain.exe") + " " + Q("CON"));
    EXPECT_EQ(1, device.exitCode);
    EXPECT_NE(std::string::npos, device.output.find("not a plain file name"));

    const Result twice = RunKgpack("pack " + Q("plain.exe") + " " + Q("kestgard.dll") + " " + Q("kestgard.dll"));
    EXPECT_EQ(1, twice.exitCode);
    EXPECT_NE(std::string::npos, twice.output.find("same name"));

    EXPECT_EQ(packed, test::ReadBytes(installer_));
    EXPECT_EQ(Pattern(100), test::ReadBytes(dir_.Str("plain.exe")));
    EXPECT_EQ((std::vector<std::string>{"CON", "Kgsetup.exe", "kestgard.dll", "kestgard.sys", "plain.exe"}), Files());
}

TEST_F(Kgpack, MoreThan256FilesAreRefused) {
    std::string arguments = "pack " + Q("Kgsetup.exe");
    for (int i = 0; i < 257; ++i) {
        test::WriteBytes(dir_.Str("f" + std::to_string(i)), "x");
        arguments += " " + Q("f" + std::to_string(i));
    }
    const Result run = RunKgpack(arguments);
    EXPECT_EQ(1, run.exitCode);
    EXPECT_NE(std::string::npos, run.output.find("at most 256"));
    EXPECT_EQ(Pattern(4096), test::ReadBytes(installer_));
}

TEST_F(Kgpack, VerifyRejectsWhatTheInstallerWouldNotExtract) {
    EXPECT_EQ(1, RunKgpack("verify " + Q("Kgsetup.exe")).exitCode);  // no payload
    test::WriteBytes(dir_.Str("damaged.exe"), Pattern(100) + test::RawTrailer({{0, 5000, "a", 1}}, 1));
    EXPECT_EQ(1, RunKgpack("verify " + Q("damaged.exe")).exitCode);
    test::WriteBytes(dir_.Str("escape.exe"), Pattern(100) + test::RawTrailer({{0, 10, "..\\a", 4}}, 1));
    EXPECT_EQ(1, RunKgpack("verify " + Q("escape.exe")).exitCode);
    test::WriteBytes(dir_.Str("empty.exe"), Pattern(100) + test::RawTrailer({}, 0));
    EXPECT_EQ(1, RunKgpack("verify " + Q("empty.exe")).exitCode);
    EXPECT_EQ(1, RunKgpack("list " + Q("empty.exe")).exitCode);
}

TEST_F(Kgpack, UsageAndHelp) {
    EXPECT_EQ(2, RunKgpack("").exitCode);
    EXPECT_EQ(2, RunKgpack("pack " + Q("Kgsetup.exe")).exitCode);
    EXPECT_EQ(2, RunKgpack("pack " + Q("Kgsetup.exe") + " " + Q("kestgard.sys") + " -o").exitCode);
    EXPECT_EQ(2, RunKgpack("frobnicate x").exitCode);
    const Result help = RunKgpack("--help");
    EXPECT_EQ(0, help.exitCode);
    EXPECT_NE(std::string::npos, help.output.find("Exit codes"));
    EXPECT_EQ(Pattern(4096), test::ReadBytes(installer_));
}

}  // namespace
}  // namespace kg
