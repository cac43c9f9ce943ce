// The payload reader on sound and damaged files. Compiled for the host (under
// the sanitizers) and for Windows (under Wine): the same code on both.
#include <gtest/gtest.h>

#include <filesystem>

#include "payload/archive.h"
#include "payload/writer.h"
#include "tests/support/files.h"
#include "tests/support/trailer_bytes.h"

namespace kg {
namespace {

using test::FileData;
using test::PackedImage;
using test::Pattern;
using test::RawEntry;
using test::RawTrailer;
using test::TempDir;

class ArchiveTest : public ::testing::Test {
protected:
    // Writes `bytes` as the program file and extracts it into out/.
    int Extract(const std::string& bytes) {
        test::WriteBytes(program_, bytes);
        CFileException ignored;
        return archive_.ExtractFile(program_, out_.Str(), ignored);
    }
    std::vector<std::string> Written() const { return test::ListFolder(out_.Path()); }
    std::string Output(const std::string& name) const { return test::ReadBytes(out_.Str(name)); }

    TempDir work_;
    TempDir out_;
    const std::string program_ = work_.Str("program.exe");
    PayloadArchive archive_;
};

TEST_F(ArchiveTest, WorkedExampleIsLaidOutAndReadBackByteForByte) {
    PayloadWriter writer(512);
    ASSERT_EQ("", writer.Add("a.txt", 3));
    const std::string image = Pattern(512);
    const std::string file = image + "abc" + writer.Trailer();
    ASSERT_EQ(546u, file.size());
    EXPECT_EQ("abc", file.substr(512, 3));
    EXPECT_EQ(std::string("\x00\x02\x00\x00", 4), file.substr(515, 4));
    EXPECT_EQ(std::string("\x03\x00\x00\x00", 4), file.substr(519, 4));
    EXPECT_EQ("a.txt", file.substr(523, 5));
    EXPECT_EQ(std::string("\x05\x00\x00\x00", 4), file.substr(528, 4));
    EXPECT_EQ(std::string("\x01\x00\x00\x00", 4), file.substr(532, 4));
    EXPECT_EQ("!QARN_SFX!", file.substr(536, 10));

    ASSERT_EQ(PAYLOAD_OK, Extract(file));
    ASSERT_EQ(1u, archive_.GetCount());
    EXPECT_EQ("a.txt", archive_.GetEntry(0).name);
    EXPECT_EQ(3u, archive_.GetEntry(0).size);
    EXPECT_EQ(512u, archive_.GetEntry(0).offset);
    EXPECT_EQ("abc", Output("a.txt"));
}

TEST_F(ArchiveTest, TwoTwelveByteNamesMakeA62ByteTrailerInFileOrder) {
    PayloadWriter writer(100);
    ASSERT_EQ("", writer.Add("kestgard.sys", 10));
    ASSERT_EQ("", writer.Add("kestgard.dll", 20));
    EXPECT_EQ(62u, writer.Trailer().size());

    const std::string file = PackedImage(Pattern(100), {{"kestgard.sys", Pattern(10, 1)}, {"kestgard.dll", Pattern(20, 2)}});
    EXPECT_EQ(Pattern(100) + Pattern(10, 1) + Pattern(20, 2) + writer.Trailer(), file);
    ASSERT_EQ(PAYLOAD_OK, Extract(file));
    ASSERT_EQ(2u, archive_.GetCount());
    EXPECT_EQ("kestgard.sys", archive_.GetEntry(0).name);
    EXPECT_EQ("kestgard.dll", archive_.GetEntry(1).name);
    EXPECT_EQ(Pattern(10, 1), Output("kestgard.sys"));
    EXPECT_EQ(Pattern(20, 2), Output("kestgard.dll"));
}

TEST_F(ArchiveTest, EntriesOfEveryChunkingAreCopiedWhole) {
    const std::vector<FileData> files = {
        {"empty", ""}, {"one-chunk", Pattern(1000, 1)}, {"chunk-and-a-byte", Pattern(1001, 2)}, {"two-and-a-half", Pattern(2500, 3)}};
    ASSERT_EQ(PAYLOAD_OK, Extract(PackedImage(Pattern(64), files)));
    for (const FileData& file : files) {
        EXPECT_EQ(file.bytes, Output(file.name)) << file.name;
    }
}

TEST_F(ArchiveTest, ExistingOutputIsReplacedAndTruncated) {
    test::WriteBytes(out_.Str("a.txt"), Pattern(5000, 9));
    ASSERT_EQ(PAYLOAD_OK, Extract(PackedImage(Pattern(64), {{"a.txt", "abc"}})));
    EXPECT_EQ("abc", Output("a.txt"));
}

TEST_F(ArchiveTest, NameEndsAtItsFirstZeroByte) {
    const std::string image = Pattern(32);
    const std::string file = image + "xyz" + RawTrailer({{32, 3, std::string("a.txt\0zz", 8), 8}}, 1);
    ASSERT_EQ(PAYLOAD_OK, Extract(file));
    EXPECT_EQ("a.txt", archive_.GetEntry(0).name);
    EXPECT_EQ(std::vector<std::string>{"a.txt"}, Written());
}

TEST_F(ArchiveTest, FolderWithOrWithoutTrailingSeparator) {
    const std::string file = PackedImage(Pattern(32), {{"a.txt", "abc"}});
    test::WriteBytes(program_, file);
    CFileException ignored;
    ASSERT_EQ(PAYLOAD_OK, archive_.ExtractFile(program_, out_.WithSeparator(), ignored));
    std::filesystem::remove(out_.Str("a.txt"));
    ASSERT_EQ(PAYLOAD_OK, archive_.ExtractFile(program_, out_.Str(), ignored));
    EXPECT_EQ("abc", Output("a.txt"));
}

TEST_F(ArchiveTest, FileWithoutPayloadOrEmptyPayloadWritesNothing) {
    EXPECT_EQ(PAYLOAD_NO_MAGIC, Extract(Pattern(4096)));
    EXPECT_EQ(PAYLOAD_NO_MAGIC, Extract("short"));
    EXPECT_EQ(PAYLOAD_NO_MAGIC, Extract(""));
    EXPECT_EQ(PAYLOAD_EMPTY, Extract(Pattern(64) + RawTrailer({}, 0)));
    EXPECT_EQ(PAYLOAD_OPEN_FAILED, archive_.ReadDirectory(work_.Str("missing.exe")));
    EXPECT_TRUE(Written().empty());
}

TEST_F(ArchiveTest, ProgramWhoseEndWasCutOffIsDamagedNotWithoutPayload) {
    const std::string image = test::MinimalImage(0x400);
    const std::string packed = PackedImage(image, {{"a.txt", Pattern(300)}});
    EXPECT_EQ(PAYLOAD_NO_MAGIC, Extract(image));
    EXPECT_EQ(PAYLOAD_NO_MAGIC, Extract(packed.substr(0, image.size())));  // cut back to the image alone
    EXPECT_EQ(PAYLOAD_DAMAGED, Extract(packed.substr(0, packed.size() - 1)));
    EXPECT_EQ(PAYLOAD_DAMAGED, Extract(packed.substr(0, image.size() + 100)));
    EXPECT_EQ(PAYLOAD_DAMAGED, Extract(image.substr(0, 0x300)));  // the image itself cut short
    std::string flipped = packed;
    flipped.back() ^= 0x01;
    EXPECT_EQ(PAYLOAD_DAMAGED, Extract(flipped));
    EXPECT_TRUE(Written().empty());
}

TEST_F(ArchiveTest, DamagedTrailersAreRejectedBeforeAnythingIsWritten) {
    const std::string image = Pattern(2000);
    const std::string data = Pattern(100, 5);
    const std::uint32_t dataAt = 2000;
    struct Case {
        const char* what;
        std::string file;
    };
    const std::string sound = image + data;
    const std::uint32_t end = static_cast<std::uint32_t>(sound.size());
    const Case cases[] = {
        {"count 257", sound + RawTrailer({{dataAt, 100, "a", 1}}, 257)},
        {"count with top bit", sound + RawTrailer({{dataAt, 100, "a", 1}}, 0x80000001u)},
        {"name length 1001", sound + RawTrailer({{dataAt, 100, std::string(1001, 'n'), 1001}}, 1)},
        {"name length 0xFFFFFFFF", sound + RawTrailer({{dataAt, 100, "a", 0xFFFFFFFFu}}, 1)},
        {"offset 2^31", sound + RawTrailer({{0x80000000u, 1, "a", 1}}, 1)},
        {"size 2^31", sound + RawTrailer({{0, 0x80000000u, "a", 1}}, 1)},
        {"data into the trailer", sound + RawTrailer({{dataAt, 101, "a", 1}}, 1)},
        {"data past the end", sound + RawTrailer({{end, 1, "a", 1}}, 1)},
        {"second entry damaged", sound + RawTrailer({{dataAt, 100, "a", 1}, {dataAt, 5000, "b", 1}}, 2)},
        {"count larger than the file holds", Pattern(20) + RawTrailer({}, 3)},
        {"name reaching before the start", std::string("\x01\x00\x00\x00", 4) + RawTrailer({}, 1)},
        {"entry fields reaching before the start", "a" + std::string("\x01\x00\x00\x00", 4) + RawTrailer({}, 1)},
        {"count cut off", "X!QARN_SFX!"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PAYLOAD_DAMAGED, Extract(c.file)) << c.what;
        EXPECT_EQ(0u, archive_.GetCount()) << c.what;
        EXPECT_TRUE(Written().empty()) << c.what;
    }
}

TEST_F(ArchiveTest, NamesThatAreNotPlainFileNamesAreSkipped) {
    const std::vector<std::string> refused = {
        "..\\evil", "../evil", "sub\\x", "sub/x", "C:evil", "\\abs", ".", "..", "...", "a.", "a ", "",
        "CON", "nul.txt", "con.sys.txt", "com1", "LPT9.log", "a*b", "a?b", "a|b", "a<b", "a\"b", std::string("a\x01", 2)};
    std::vector<FileData> files;
    for (const std::string& name : refused) {
        files.push_back({name, "bad"});
    }
    files.push_back({"good.txt", "good"});
    files.push_back({"CONSOLE", "not a device"});
    ASSERT_EQ(PAYLOAD_OK, Extract(PackedImage(Pattern(16), files)));
    EXPECT_EQ((std::vector<std::string>{"CONSOLE", "good.txt"}), Written());
    EXPECT_EQ(std::vector<std::string>{"program.exe"}, test::ListFolder(work_.Path()));
    EXPECT_FALSE(std::filesystem::exists(out_.Path().parent_path() / "evil"));
}

TEST_F(ArchiveTest, DataEndingEarlyLeaveNoPartialFile) {
    // The directory is read from one file, the data from a shorter one: as
    // when the file is cut or damaged between the two opens.
    const std::string file = PackedImage(Pattern(3000), {{"a.bin", Pattern(2500, 1)}});
    test::WriteBytes(program_, file);
    ASSERT_EQ(PAYLOAD_OK, archive_.ReadDirectory(program_));
    const std::string shorter = work_.Str("shorter.exe");
    test::WriteBytes(shorter, file.substr(0, 4000));
    CFile source;
    ASSERT_TRUE(source.Open(shorter.c_str(), CFile::modeRead | CFile::shareDenyWrite));
    EXPECT_EQ(PAYLOAD_COPY_FAILED, archive_.ExtractEntry(source, 0, out_.WithSeparator()));
    EXPECT_TRUE(Written().empty());
}

TEST_F(ArchiveTest, EntryThatCannotBeCreatedIsSkippedAndOthersWritten) {
    std::filesystem::create_directory(out_.Path() / "taken");  // a folder where the file would go
    ASSERT_EQ(PAYLOAD_OK, Extract(PackedImage(Pattern(16), {{"first", "1"}, {"taken", "2"}, {"third", "3"}})));
    EXPECT_EQ((std::vector<std::string>{"first", "taken", "third"}), Written());
    EXPECT_TRUE(std::filesystem::is_directory(out_.Path() / "taken"));
    EXPECT_EQ("3", Output("third"));
}

TEST_F(ArchiveTest, SlotBeyondTheTableIsRefused) {
    ASSERT_EQ(PAYLOAD_OK, Extract(PackedImage(Pattern(16), {{"a", "1"}})));
    CFile source;
    ASSERT_TRUE(source.Open(program_.c_str(), CFile::modeRead | CFile::shareDenyWrite));
    EXPECT_EQ(PAYLOAD_CREATE_FAILED, archive_.ExtractEntry(source, MAX_PAYLOAD_ENTRIES, out_.WithSeparator()));
    EXPECT_EQ(PAYLOAD_CREATE_FAILED, archive_.ExtractEntry(source, 1, out_.WithSeparator()));
}

TEST_F(ArchiveTest, FullTableOf256EntriesIsRead) {
    std::vector<FileData> files;
    for (int i = 0; i < 256; ++i) {
        files.push_back({"f" + std::to_string(i), std::string(1, static_cast<char>(i))});
    }
    ASSERT_EQ(PAYLOAD_OK, Extract(PackedImage(Pattern(16), files)));
    EXPECT_EQ(256u, archive_.GetCount());
    EXPECT_EQ(256u, Written().size());
    EXPECT_EQ(std::string(1, '\xFF'), Output("f255"));
}

TEST_F(ArchiveTest, ReadingAgainEmptiesTheTableFirst) {
    ASSERT_EQ(PAYLOAD_OK, Extract(PackedImage(Pattern(16), {{"a", "1"}, {"b", "2"}})));
    ASSERT_EQ(PAYLOAD_EMPTY, Extract(Pattern(16) + RawTrailer({}, 0)));
    EXPECT_EQ(0u, archive_.GetCount());
    EXPECT_EQ("", archive_.GetEntry(0).name);
    EXPECT_EQ(0u, archive_.GetEntry(1).size);
}

}  // namespace
}  // namespace kg
