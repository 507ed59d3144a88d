// Whole files in and out, and a working directory for the length of a test.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace tarn::testing {

inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes bytes to path and returns the path, for use in an argument list.
inline std::string WriteFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
}

// Moves into dir, as the program runs in its start directory, and back at the end.
class InDirectory {
public:
    explicit InDirectory(const std::filesystem::path& dir) : previous_(std::filesystem::current_path())
    {
        std::filesystem::current_path(dir);
    }
    ~InDirectory() { std::filesystem::current_path(previous_); }
    InDirectory(const InDirectory&) = delete;
    InDirectory& operator=(const InDirectory&) = delete;

private:
    std::filesystem::path previous_;
};

} // namespace tarn::testing
