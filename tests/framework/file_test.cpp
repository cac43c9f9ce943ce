// The file class on the real file system: open modes, positioning, reads,
// writes and the description of failures.
#include <gtest/gtest.h>

#include "framework/file.h"
#include "tests/support/files.h"

namespace kg {
namespace {

TEST(File, CreateWriteThenReadFromStartAndEnd) {
    test::TempDir dir;
    const std::string path = dir.Str("f.bin");
    {
        CFile out;
        ASSERT_TRUE(out.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
        out.Write("0123456789", 10);
        out.Close();
        EXPECT_FALSE(out.IsOpen());
    }
    CFile in;
    ASSERT_TRUE(in.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite));
    EXPECT_EQ(10u, in.GetLength());
    char buffer[8] = {};
    EXPECT_EQ(7u, in.Seek(-3, CFile::end));
    EXPECT_EQ(3u, in.Read(buffer, 8));
    EXPECT_EQ("789", std::string(buffer, 3));
    EXPECT_EQ(2u, in.Seek(2, CFile::begin));
    EXPECT_EQ(2u, in.Read(buffer, 2));
    EXPECT_EQ("23", std::string(buffer, 2));
    EXPECT_EQ(0u, (in.Seek(0, CFile::end), in.Read(buffer, 8)));
}

TEST(File, CreateTruncatesAnExistingFile) {
    test::TempDir dir;
    const std::string path = dir.Str("f.bin");
    test::WriteBytes(path, std::string(5000, 'x'));
    CFile out;
    ASSERT_TRUE(out.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
    out.Write("ab", 2);
    out.Close();
    EXPECT_EQ("ab", test::ReadBytes(path));
}

TEST(File, FailuresAreDescribed) {
    test::TempDir dir;
    CFile file;
    CFileException error;
    const std::string missing = dir.Str("missing.bin");
    EXPECT_FALSE(file.Open(missing.c_str(), CFile::modeRead | CFile::shareDenyWrite, &error));
    EXPECT_EQ(CFileException::fileNotFound, error.m_cause);
    EXPECT_EQ(missing, error.m_strFileName);
    EXPECT_FALSE(error.GetErrorMessage().empty());
    EXPECT_EQ(std::string::npos, error.GetErrorMessage().find('\n'));

    const std::string path = dir.Str("f.bin");
    test::WriteBytes(path, "abc");
    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite));
    EXPECT_THROW(file.Seek(-4, CFile::end), CFileException);
}

TEST(File, FolderCannotBeOpenedAsAFile) {
    test::TempDir dir;
    CFile file;
    EXPECT_FALSE(file.Open(dir.Str().c_str(), CFile::modeCreate | CFile::modeWrite));
    EXPECT_FALSE(file.Open(dir.Str().c_str(), CFile::modeRead | CFile::shareDenyWrite));
    EXPECT_TRUE(CFile::Remove(dir.Str("none").c_str()) == false);
}

}  // namespace
}  // namespace kg
