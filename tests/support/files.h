// Whole files in and out.
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

} // namespace tarn::testing
