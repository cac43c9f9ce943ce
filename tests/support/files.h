// Scratch folders and whole files, on Windows and the host.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kg::test {

// A new empty folder in the system's temporary folder, removed with all in it.
class TempDir {
public:
    TempDir() {
        static int count = 0;
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        std::filesystem::create_directory(folder = std::filesystem::temp_directory_path() /
                                                   ("kgtest-" + std::to_string(stamp) + "-" + std::to_string(++count)));
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string Str(const std::string& name = "") const {
        return name.empty() ? folder.string() : (folder / name).string();
    }
    std::vector<std::string> List() const {
        std::vector<std::string> names;
        for (const auto& item : std::filesystem::directory_iterator(folder))
            names.push_back(item.path().filename().string());
        return names;
    }

private:
    std::filesystem::path folder;
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// The file's bytes; "(missing)" when it cannot be read.
inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "(missing)";
}

// `size` bytes of a pattern that differs from one position to the next.
inline std::string Pattern(std::size_t size, unsigned seed = 0) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 7 + seed * 13 + i / 251);
    return bytes;
}

}  // namespace kg::test
