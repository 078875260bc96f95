#pragma once
// A whole file read back, for checking what a program wrote.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace ecu::test {

inline std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
    const std::string text = ReadFileText(path);
    return {text.begin(), text.end()};
}

} // namespace ecu::test
