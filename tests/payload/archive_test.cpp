// The payload reader on sound and damaged program files: what extraction
// returns and what it writes. Built for the host (under the sanitizers) and
// for Windows (under Wine): the same code on both.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "payload/archive.h"
#include "tests/support/files.h"
#include "tests/support/trailer_bytes.h"

namespace kg {
namespace {

using test::PackedImage;
using test::Pattern;
using test::RawTrailer;
using test::U32;
using Files = std::map<std::string, std::string>;

// Extracts `file`, written as a program file, into a new folder: the result,
// and every file written, there or beside the program file.
std::pair<int, Files> Extract(PayloadArchive& archive, const std::string& file) {
    const test::TempDir work, out;
    test::WriteBytes(work.Str("program.exe"), file);
    CFileException ignored;
    const int result = archive.ExtractFile(work.Str("program.exe"), out.Str(), ignored);
    Files written;
    for (const std::string& name : out.List()) {
        written[name] = test::ReadBytes(out.Str(name));
    }
    for (const std::string& name : work.List()) {
        name != "program.exe" ? void(written["(outside) " + name]) : void();
    }
    return {result, written};
}

TEST(Archive, WhatEachProgramFileExtracts) {
    const std::string image = test::MinimalImage(0x400), packed = PackedImage(image, {{"a.txt", Pattern(300)}});
    std::string flipped = packed;
    flipped.back() ^= 1;
    std::vector<std::pair<std::string, std::string>> files256;
    for (int i = 0; i < 256; ++i) {
        files256.push_back({"f" + std::to_string(i), std::string(1, static_cast<char>(i))});
    }
    const std::string sound = Pattern(2000) + Pattern(100, 5);
    const auto bad = [&](std::vector<test::RawEntry> entries, std::uint32_t count) { return sound + RawTrailer(entries, count); };
    const struct { const char* what; std::string file; int result; Files written; } rows[] = {
        {"one file", PackedImage(Pattern(512), {{"a.txt", "abc"}}), PAYLOAD_OK, {{"a.txt", "abc"}}},
        {"every chunking", PackedImage(Pattern(64), {{"0", ""},
        {"1000", Pattern(1000, 1)},
        {"1001", Pattern(1001, 2)},
                                                    {"2500", Pattern(2500, 3)}}), PAYLOAD_OK, {{"0", ""},
                                                    {"1000", Pattern(1000, 1)},
                                                    {"1001", Pattern(1001, 2)},
                                                    {"2500", Pattern(2500, 3)}}},
        {"a name ends at its zero byte", Pattern(32) + "xyz" + RawTrailer({{32, 3, std::string("a.txt\0zz", 8), 8}}, 1), PAYLOAD_OK, {{"a.txt", "xyz"}}},
        {"one name twice: the first entry wins", PackedImage(image, {{"a", "first"},
        {"a", "last"}}), PAYLOAD_OK, {{"a", "first"}}},
        {"256 entries", PackedImage(Pattern(16), files256), PAYLOAD_OK, Files(files256.begin(), files256.end())},
        {"image with payload", packed, PAYLOAD_OK, {{"a.txt", Pattern(300)}}},
        {"no payload", Pattern(4096), PAYLOAD_NO_MAGIC, {}},
        {"shorter than the magic", "short", PAYLOAD_NO_MAGIC, {}},
        {"empty file", "", PAYLOAD_NO_MAGIC, {}},
        {"image alone", image, PAYLOAD_NO_MAGIC, {}},
        {"empty payload", Pattern(64) + RawTrailer({}, 0), PAYLOAD_EMPTY, {}},
        {"packed, cut by a byte", packed.substr(0, packed.size() - 1), PAYLOAD_DAMAGED, {}},
        {"packed, cut into the data", packed.substr(0, image.size() + 100), PAYLOAD_DAMAGED, {}},
        {"image cut short", image.substr(0, 0x300), PAYLOAD_DAMAGED, {}},
        {"magic with a flipped bit", flipped, PAYLOAD_DAMAGED, {}},
        {"count 257", bad({{2000, 100, "a", 1}}, 257), PAYLOAD_DAMAGED, {}},
        {"count with top bit", bad({{2000, 100, "a", 1}}, 0x80000001u), PAYLOAD_DAMAGED, {}},
        {"name length 1001", bad({{2000, 100, std::string(1001, 'n'), 1001}}, 1), PAYLOAD_DAMAGED, {}},
        {"name length 2^32-1", bad({{2000, 100, "a", 0xFFFFFFFFu}}, 1), PAYLOAD_DAMAGED, {}},
        {"first name too long", bad({{2000, 100, "a", 5000}, {2000, 100, "b", 1}}, 2), PAYLOAD_DAMAGED, {}},
        {"offset 2^31", bad({{0x80000000u, 1, "a", 1}}, 1), PAYLOAD_DAMAGED, {}},
        {"size 2^31", bad({{0, 0x80000000u, "a", 1}}, 1), PAYLOAD_DAMAGED, {}},
        {"data into the trailer", bad({{2000, 101, "a", 1}}, 1), PAYLOAD_DAMAGED, {}},
        {"data past the end", bad({{2100, 1, "a", 1}}, 1), PAYLOAD_DAMAGED, {}},
        {"second entry's data too long", bad({{2000, 100, "a", 1}, {2000, 5000, "b", 1}}, 2), PAYLOAD_DAMAGED, {}},
        {"count above what the file holds", Pattern(20) + RawTrailer({}, 3), PAYLOAD_DAMAGED, {}},
        {"name before the start", U32(1) + RawTrailer({}, 1), PAYLOAD_DAMAGED, {}},
        {"fields before the start", "a" + U32(1) + RawTrailer({}, 1), PAYLOAD_DAMAGED, {}},
        {"count cut off", "X!QARN_SFX!", PAYLOAD_DAMAGED, {}},
    };
    PayloadArchive archive;
    for (const auto& row : rows) {
        EXPECT_EQ(std::make_pair(row.result, row.written), Extract(archive, row.file)) << row.what;
        if (row.result != PAYLOAD_OK) {
            const PayloadEntry &first = archive.GetEntry(0), &second = archive.GetEntry(1);
            EXPECT_EQ("0 0", std::to_string(archive.GetCount()) + first.name + second.name + " " + std::to_string(first.size + second.size)) << row.what << ": the table is not emptied";
        }
    }
    EXPECT_EQ(PAYLOAD_OPEN_FAILED, archive.ReadDirectory("missing.exe"));
}

TEST(Archive, NamesThatAreNotPlainFileNamesAreSkipped) {
    std::vector<std::pair<std::string, std::string>> files;
    for (const std::string name : {"..\\evil", "../evil", "sub\\x", "C:evil", "\\abs", ".", "..", "a.", "a ", "", "CON", "nul.txt", "con.sys.txt", "com1", "LPT9.log", "CON .txt", "a*b", "a?b", "a|b", "a<b", "a>b", "a\"b", "a\x01"}) {
        files.push_back({name, "refused"});
    }
    for (const std::string name : {"CONSOLE", "COM0", "LPT", "a b", " a", ".a"}) {
        files.push_back({name, name});
    }
    PayloadArchive archive;
    EXPECT_EQ(std::make_pair(int{PAYLOAD_OK}, Files{{" a", " a"}, {".a", ".a"}, {"a b", "a b"}, {"COM0", "COM0"}, {"CONSOLE", "CONSOLE"}, {"LPT", "LPT"}}),
              Extract(archive, PackedImage(Pattern(16), files)));
}

TEST(Archive, EntriesThatCannotBeWrittenWhole) {
    const test::TempDir out;
    std::filesystem::create_directory(out.Str("taken"));  // a folder where a file would go
    test::WriteBytes(out.Str("third"), Pattern(5000));
    const std::string file = PackedImage(Pattern(3000), {{"first", "1"}, {"taken", "2"}, {"third", "3"}, {"a.bin", Pattern(2500, 1)}});
    test::WriteBytes(out.Str("program.exe"), file);
    PayloadArchive archive;
    CFileException ignored;
    ASSERT_EQ(PAYLOAD_OK, archive.ExtractFile(out.Str("program.exe"), out.Str(), ignored));
    EXPECT_EQ("1 3", test::ReadBytes(out.Str("first")) + " " + test::ReadBytes(out.Str("third"))) << "an existing file is not replaced whole";

    // The directory read from one file, the data from a shorter one: as when
    // the file is cut between the two opens.
    test::WriteBytes(out.Str("program.exe"), file.substr(0, 4000));
    CFile source;
    ASSERT_TRUE(source.Open(out.Str("program.exe").c_str(), CFile::modeRead | CFile::shareDenyWrite));
    EXPECT_EQ(PAYLOAD_COPY_FAILED, archive.ExtractEntry(source, 3, out.Str("new-")));
    EXPECT_FALSE(std::filesystem::exists(out.Str("new-a.bin"))) << "a partial file is left";
    EXPECT_EQ(PAYLOAD_CREATE_FAILED, archive.ExtractEntry(source, 4, out.Str())) << "a slot not in use";
    EXPECT_EQ(PAYLOAD_CREATE_FAILED, archive.ExtractEntry(source, MAX_PAYLOAD_ENTRIES, out.Str()));
    EXPECT_THROW(source.Seek(-1, CFile::begin), CFileException);
    EXPECT_EQ("0 1", std::to_string(CFile::Remove(out.Str("none").c_str())) + " " + std::to_string(CFile::Remove(out.Str("first").c_str())));
}

}  // namespace
}  // namespace kg
