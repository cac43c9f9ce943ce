// The payload format: what the reader extracts from sound and damaged program
// files, and what the writer refuses; on the host and under Wine alike.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <tuple>

#include "payload/archive.h"
#include "payload/driver_image.h"
#include "payload/writer.h"
#include "tests/support/files.h"
#include "tests/support/folder_sink.h"
#include "tests/support/trailer_bytes.h"
#ifdef _WIN32
#include "tests/support/api_override.h"
#endif

namespace kg {
namespace {

using namespace test;
using Files = std::map<std::string, std::string>;
using Pairs = std::vector<std::pair<std::string, std::string>>;

int ExtractInto(PayloadArchive& archive, const std::string& program, const std::string& folder) {
    CFile file;
    FolderSink sink(folder);
    return file.Open(program.c_str(), CFile::modeRead | CFile::shareDenyWrite) ? archive.ExtractAll(file, sink)
                                                                               : PAYLOAD_OPEN_FAILED;
}

// Extracts `file`, written as a program file, into a new folder: the result,
// and every file written, there or beside the program file.
std::pair<int, Files> Extract(PayloadArchive& archive, const std::string& file) {
    const TempDir work, out;
    WriteBytes(work.Str("program.exe"), file);
    const int result = ExtractInto(archive, work.Str("program.exe"), out.Str());
    Files written;
    for (const std::string& name : out.List())
        written[name] = ReadBytes(out.Str(name));
    for (const std::string& name : work.List())
        written["(outside) " + name];
    written.erase("(outside) program.exe");
    return {result, written};
}

TEST(Payload, WhatEachProgramFileExtracts) {
    const std::string image = MinimalImage(0x400), packed = PackedImage(image, {{"a.txt", Pattern(300)}});
    const Pairs chunks = {{"0", ""}, {"1000", Pattern(1000)}, {"2500", Pattern(2500, 1)}};
    Pairs many;
    for (int i = 0; i < 256; ++i)
        many.push_back({"f" + std::to_string(i), std::string(1, static_cast<char>(i))});
    // Files named by their contents; the same packed.
    const auto named = [](const std::vector<std::string>& names) {
        Pairs files;
        for (const std::string& name : names)
            files.push_back({name, name});
        return files;
    };
    const auto packedNamed = [&](const std::vector<std::string>& names) {
        return PackedImage(Pattern(16), named(names));
    };
    const Pairs kept = named({" a", ".a", "a b", "COM10", "COMA", "CONSOLE", "LPT"});
    const std::string names =
        packedNamed({"..\\evil", "../evil", "C:evil", ".",     "..",      "a.",   "a ",  "",      "a*b", "a?b", "a|b",
                     "a<b",      "a>b",     "a\"b",   "a\x01", "CONSOLE", "COMA", "LPT", "COM10", "a b", " a",  ".a"});
    // Packed, then signed: an image that will get a certificate table. Its
    // trailer ends on an 8-byte boundary with 1 byte of data; 2 bytes need 7
    // zero bytes before the table, the most there can be.
    const std::string signable = MinimalImage(0x480, 0x80).substr(0, 0x400);
    const std::string aligned = PackedImage(signable, {{"a.txt", "1"}});
    const std::string padded = PackedImage(signable, {{"a.txt", "12"}}), signedPadded = Signed(padded);
    const std::string fourDirectories = MinimalImage(0x400, 0x80).replace(0x58 + 92, 4, std::string("\4\0\0\0", 4));
    const std::string data = Pattern(2000) + Pattern(100, 5);
    const auto bad = [&](std::vector<RawEntry> entries, std::uint32_t count) {
        return data + RawTrailer(entries, count);
    };
    // Names that no packer writes make the directory damaged: a device is no
    // file of the folder, and a second entry of a name, in any case, would
    // replace the first.
    const NameFault NONE = NameFault::NONE, DEVICE = NameFault::DEVICE_NAME, TWICE = NameFault::SAME_NAME;
    std::vector<std::tuple<const char*, std::string, int, Files, NameFault>> rows = {
        {"every chunking", PackedImage(Pattern(64), chunks), PAYLOAD_OK, Files(chunks.begin(), chunks.end()), NONE},
        {"256 files", PackedImage(Pattern(16), many), PAYLOAD_OK, Files(many.begin(), many.end()), NONE},
        {"names that are not plain file names skipped", names, PAYLOAD_OK, Files(kept.begin(), kept.end()), NONE},
        {"a name ends at its zero byte", Pattern(32) + "xyz" + RawTrailer({{32, 3, std::string("a.txt\0z", 7), 7}}, 1),
         PAYLOAD_OK, Files{{"a.txt", "xyz"}}, NONE},
        {"one name twice", PackedImage(image, {{"b", "1"}, {"a", "first"}, {"A", "last"}}), PAYLOAD_DAMAGED, {}, TWICE},
        {"one name twice, in another case", packedNamed({"a.txt", "b", "A.TXT"}), PAYLOAD_DAMAGED, {}, TWICE},
        {"CON, the second entry", packedNamed({"a", "CON"}), PAYLOAD_DAMAGED, {}, DEVICE},
        {"image with payload", packed, PAYLOAD_OK, {{"a.txt", Pattern(300)}}, NONE},
        {"no payload", Pattern(4096), PAYLOAD_NO_MAGIC, {}, NONE},
        {"empty file", "", PAYLOAD_NO_MAGIC, {}, NONE},
        {"image alone", image, PAYLOAD_NO_MAGIC, {}, NONE},
        {"\"MZ\" and no program headers", "MZ" + std::string(100, '\0'), PAYLOAD_NO_MAGIC, {}, NONE},
        {"signed image alone", MinimalImage(0x400, 0x80), PAYLOAD_NO_MAGIC, {}, NONE},
        {"signed 64-bit image alone", MinimalImage(0x400, 0x80, true), PAYLOAD_NO_MAGIC, {}, NONE},
        {"a certificate table beyond the 4 directories declared: bytes behind the image", fourDirectories,
         PAYLOAD_DAMAGED, Files{}, NONE},
        {"signed right behind the trailer", Signed(aligned), PAYLOAD_OK, {{"a.txt", "1"}}, NONE},
        {"signed after 7 bytes of alignment", signedPadded, PAYLOAD_OK, {{"a.txt", "12"}}, NONE},
        {"signed, a byte behind the table", signedPadded + "x", PAYLOAD_DAMAGED, {}, NONE},
        {"signed, its table past the end", signedPadded.substr(0, signedPadded.size() - 1), PAYLOAD_DAMAGED, {}, NONE},
        {"signed, a byte other than zero before the table", Signed(padded + "x"), PAYLOAD_DAMAGED, {}, NONE},
        {"signed, 8 zero bytes before the table", Signed(aligned + std::string(8, '\0')), PAYLOAD_DAMAGED, {}, NONE},
        {"empty payload", Pattern(64) + RawTrailer({}, 0), PAYLOAD_EMPTY, {}, NONE},
        {"packed, cut into the data", packed.substr(0, image.size() + 100), PAYLOAD_DAMAGED, {}, NONE},
        {"image cut short", image.substr(0, 0x300), PAYLOAD_DAMAGED, {}, NONE},
        {"magic with a flipped bit ('!' to ' ')", packed.substr(0, packed.size() - 1) + ' ', PAYLOAD_DAMAGED, {}, NONE},
        {"count 257", bad({{2000, 100, "a", 1}}, 257), PAYLOAD_DAMAGED, {}, NONE},
        {"name length 1001", bad({{2000, 100, std::string(1001, 'n'), 1001}}, 1), PAYLOAD_DAMAGED, {}, NONE},
        {"data into the trailer", bad({{2000, 101, "a", 1}}, 1), PAYLOAD_DAMAGED, {}, NONE},
        {"second file's data too long", bad({{2000, 100, "a", 1}, {2000, 5000, "b", 1}}, 2), PAYLOAD_DAMAGED, {}, NONE},
        {"count cut off", "X!QARN_SFX!", PAYLOAD_DAMAGED, {}, NONE},
    };
    // Devices in any case, with one extension or two, spaces before it; COM and
    // LPT with a digit or a superscript one to three (ANSI or UTF-8).
    for (const char* device :
         {"nul.txt", "CON .txt", "con.sys.txt", "com1", "LPT9.log", "COM0", "COM\xB9", "lpt\xB2.txt", "COM\xC2\xB3"})
        rows.push_back({device, packedNamed({device}), PAYLOAD_DAMAGED, {}, DEVICE});
    PayloadArchive archive;
    for (const auto& [what, file, result, written, fault] : rows) {
        EXPECT_EQ(std::make_pair(result, written), Extract(archive, file)) << what;
        EXPECT_EQ(fault, archive.GetNameFault()) << what;
        const PayloadEntry &first = archive.GetEntry(0), &second = archive.GetEntry(1);
        EXPECT_TRUE(result == PAYLOAD_OK ||
                    archive.GetCount() + first.name.size() + second.name.size() + first.size + second.size == 0)
            << what << ": the table is not emptied";
    }
    EXPECT_EQ(PAYLOAD_OPEN_FAILED, archive.ReadDirectory("missing.exe"));
}

// An entry at 2^31 stays damaged in a file long enough to hold its data (a
// sparse file: it takes no room), where the bounds of the trailer allow it.
TEST(Payload, AnEntryAt2GiBInAFileThatHoldsIt) {
    const TempDir work;
    {
        std::ofstream file(work.Str("big.exe"), std::ios::binary);
        file.seekp(0x80000001);
        file << RawTrailer({{0x80000000u, 1, "a", 1}}, 1);
    }
    PayloadArchive archive;
    EXPECT_EQ(PAYLOAD_DAMAGED, archive.ReadDirectory(work.Str("big.exe"))) << "data read from beyond 2 GiB";
}

TEST(Payload, FilesThatCannotBeWrittenWhole) {
    const TempDir out;
    std::filesystem::create_directory(out.Str("taken"));  // a folder where a file would go
    WriteBytes(out.Str("third"), Pattern(5000));
    const std::string file =
        PackedImage(Pattern(3000), {{"first", "1"}, {"taken", "2"}, {"third", "3"}, {"a.bin", Pattern(2500)}});
    WriteBytes(out.Str("program.exe"), file);
    PayloadArchive archive;
    ASSERT_EQ(PAYLOAD_OK, ExtractInto(archive, out.Str("program.exe"), out.Str()));
    EXPECT_EQ("1 3", ReadBytes(out.Str("first")) + " " + ReadBytes(out.Str("third"))) << "a file not replaced whole";
    // The directory read from one file, the data from a shorter one.
    WriteBytes(out.Str("program.exe"), file.substr(0, 4000));
    CFile source;
    FolderSink sink(out.Str("new"));
    std::filesystem::create_directory(out.Str("new"));
    ASSERT_TRUE(source.Open(out.Str("program.exe").c_str(), CFile::modeRead | CFile::shareDenyWrite));
    EXPECT_EQ(PAYLOAD_COPY_FAILED, archive.ExtractEntry(source, 3, sink));
    EXPECT_FALSE(std::filesystem::exists(out.Str("new/a.bin"))) << "a partial file is left";
    EXPECT_EQ(PAYLOAD_CREATE_FAILED, archive.ExtractEntry(source, 4, sink)) << "a slot not in use";
    EXPECT_EQ(PAYLOAD_CREATE_FAILED, archive.ExtractEntry(source, MAX_PAYLOAD_ENTRIES, sink));
    EXPECT_THROW(source.Seek(-1, CFile::begin), CFileException);
    EXPECT_EQ("0 1", std::to_string(CFile::Remove(out.Str("none").c_str())) + " " +
                         std::to_string(CFile::Remove(out.Str("first").c_str())));
}

// The sum the loader checks is the real one: the sample driver's, which its
// linker wrote, holds; any change breaks it. (On the host: made-up images.)
TEST(Payload, DriversTheLoaderTakes) {
    const std::uint16_t I386 = MACHINE_I386, AMD64 = MACHINE_AMD64;
    const std::string image = MinimalImage(0x400);
#ifdef KG_SAMPLE_DRIVER
    const std::string sample = ReadBytes(KG_SAMPLE_DRIVER);
    const std::uint16_t own = sizeof(void*) == 8 ? AMD64 : I386;
    std::string changed = sample;
    changed[sample.size() / 2] ^= 1;
#endif
    // padded: the image lies inside a larger file, between other bytes
    const std::tuple<const char*, std::string, std::uint16_t, DriverFault, bool> rows[] = {
        {"x86, no checksum", Made(image, I386), I386, DriverFault::NONE, false},
        {"x86 for x64", Made(image, I386), AMD64, DriverFault::OTHER_PROCESSOR, false},
        {"a checksum that does not add up", Made(image, I386, 0x1234), I386, DriverFault::CHECKSUM_MISMATCH, false},
        {"no image", Pattern(0x400), I386, DriverFault::NOT_AN_IMAGE, false},
        {"headers past the end", Made(image, I386).substr(0, 0x80), I386, DriverFault::NOT_AN_IMAGE, false},
        {"x64, inside a larger file", Made(image, AMD64), AMD64, DriverFault::NONE, true},
#ifdef KG_SAMPLE_DRIVER
        {"the sample driver, a byte changed", changed, own, DriverFault::CHECKSUM_MISMATCH, false},
        {"the sample driver, a byte added", sample + "x", own, DriverFault::CHECKSUM_MISMATCH, false},
        {"the sample driver inside a larger file", sample, own, DriverFault::NONE, true},
#endif
    };
    const TempDir dir;
    for (const auto& [what, image, machine, fault, padded] : rows) {
        WriteBytes(dir.Str("driver.sys"), padded ? Pattern(101) + image + Pattern(7) : image);
        CFile file;
        ASSERT_TRUE(file.Open(dir.Str("driver.sys").c_str(), CFile::modeRead | CFile::shareDenyWrite));
        EXPECT_EQ(fault, CheckDriverImage(file, padded ? 101 : 0, image.size(), machine)) << what;
    }
}

TEST(Payload, WriterRefusesWhatTheReaderWouldReject) {
    PayloadWriter writer(0x7FFFFF00u);
    const std::tuple<const char*, std::string, std::uint64_t, bool> rows[] = {
        {"name of 1001 bytes", std::string(1001, 'n'), 1, false},
        {"name of 1000 bytes", std::string(1000, 'n'), 1, true},
        {"zero byte in the name", std::string("a\0b", 3), 1, false},
        {"path", "..\\x", 1, false},
        {"2 GiB", "big", 0x80000000u, false},
        {"plain", "a.txt", 0xEF, true},
        {"the same name in other case", "A.TXT", 1, false},
        {"ending at 2^31 - 1", "b", 0xF, true},
        {"starting at 2^31 - 1", "c", 1, true},
        {"starting at 2^31", "d", 0, false},
    };
    for (const auto& [what, name, size, accepted] : rows)
        EXPECT_EQ(accepted, writer.Add(name, size).empty()) << what;
    EXPECT_EQ(0x7FFFFF01u, writer.Entries()[1].offset);
    PayloadWriter full(0);
    for (int i = 0; i < 256; ++i)
        full.Add("f" + std::to_string(i), 0);
    EXPECT_NE("", full.Add("f256", 0)) << "a 257th file";
}

#ifdef _WIN32
TEST(Payload, FailuresOfTheFileSystem) {
    const std::tuple<const char*, Fault, int, Files> rows[] = {
        {"a name length unreadable", Fault{"ReadFile", 4, ERROR_CRC}, PAYLOAD_DAMAGED, Files{}},
        {"third piece of data unreadable", Fault{"ReadFile", 14, ERROR_CRC}, PAYLOAD_COPY_FAILED, Files{{"b", "x"}}},
        {"first piece not written", Fault{"WriteFile", 2, ERROR_DISK_FULL}, PAYLOAD_COPY_FAILED, Files{{"b", "x"}}},
    };
    for (const auto& [what, fault, result, written] : rows) {
        PayloadArchive archive;
        const Injected injected(fault);
        EXPECT_EQ(std::make_pair(result, written),
                  Extract(archive, PackedImage(Pattern(100), {{"a.bin", Pattern(2500)}, {"b", "x"}})))
            << what;
    }
}
#endif

}  // namespace
}  // namespace kg
