// The file class on the real file system: what the payload code and the
// packing tool rely on.
#include <gtest/gtest.h>

#include "framework/file.h"
#include "tests/support/files.h"

namespace kg {
namespace {

TEST(File, WritesReadsAndFails) {
    const test::TempDir dir;
    const std::string path = dir.Str("f.bin");
    test::WriteBytes(path, std::string(5000, 'x'));
    CFile file;
    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
    file.Write("0123456789", 10);
    file.Close();
    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite));
    EXPECT_EQ(10u, file.GetLength()) << "an existing file is not truncated";
    char buffer[8] = {};
    EXPECT_EQ(7u, file.Seek(-3, CFile::end));
    EXPECT_EQ("789", std::string(buffer, file.Read(buffer, 8)));
    EXPECT_EQ(2u, file.Seek(2, CFile::begin));
    EXPECT_EQ("23", std::string(buffer, file.Read(buffer, 2)));
    EXPECT_THROW(file.Seek(-11, CFile::end), CFileException);

    CFileException error;
    const std::string missing = dir.Str("missing.bin");
    EXPECT_FALSE(file.Open(missing.c_str(), CFile::modeRead | CFile::shareDenyWrite, &error));
    EXPECT_EQ(missing, error.m_strFileName);
    EXPECT_EQ(std::string::npos, error.GetErrorMessage().find('\n')) << error.GetErrorMessage();
    EXPECT_NE("", error.GetErrorMessage());
    EXPECT_FALSE(file.Open(dir.Str().c_str(), CFile::modeCreate | CFile::modeWrite)) << "a folder opened as a file";
    EXPECT_FALSE(CFile::Remove(missing.c_str()));
    EXPECT_TRUE(CFile::Remove(path.c_str()));
}

}  // namespace
}  // namespace kg
