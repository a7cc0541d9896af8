// A whole file's bytes, for tests that compare files.
#ifndef TESTS_COMMON_FILE_BYTES_H
#define TESTS_COMMON_FILE_BYTES_H

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

// The file's bytes as a std::string, or as another container of bytes (a
// std::vector<std::uint8_t>). A file that cannot be read throws, which fails
// the test that asked with the file's name.
template <typename Bytes = std::string>
Bytes ReadFileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

#endif
