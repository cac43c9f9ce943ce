// Scratch folders and whole-file helpers for tests, on Windows and the host.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace kg::test {

// A new empty folder under the system's temporary folder, removed with
// everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The folder, or a name inside it, as a native path text.
    std::string Str() const { return path_.string(); }
    std::string Str(const std::string& name) const { return (path_ / name).string(); }
    // The folder with a trailing separator.
    std::string WithSeparator() const;

private:
    std::filesystem::path path_;
};

void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);
// The names of everything directly inside `folder`, sorted.
std::vector<std::string> ListFolder(const std::filesystem::path& folder);
// `size` bytes of a pattern that differs from one position to the next.
std::string Pattern(std::size_t size, unsigned seed = 0);

}  // namespace kg::test
