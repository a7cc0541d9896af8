#include "file_io.h"

#include <cerrno>
#include <chrono>
#include <cstring>

InputFile::~InputFile()
{
    if (owned_ && file_ != nullptr)
        std::fclose(file_);
}

bool InputFile::Open(const std::string& path, std::string& error)
{
    if (path == "-") {
        file_ = stdin;
        owned_ = false;
        return true;
    }
    file_ = OpenForReading(path, error);
    owned_ = file_ != nullptr;
    return owned_;
}

bool InputFile::Read(unsigned char* buffer, std::size_t count, std::size_t& got, std::string& error)
{
    got = std::fread(buffer, 1, count, file_);
    if (got < count && std::ferror(file_)) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

bool StreamSink::Write(const unsigned char* bytes, std::size_t count)
{
    if (!error_.empty())
        return false;
    if (std::fwrite(bytes, 1, count, stream_) != count) {
        error_ = std::strerror(errno);
        return false;
    }
    return true;
}

bool StreamSink::Flush()
{
    if (error_.empty() && std::fflush(stream_) != 0)
        error_ = std::strerror(errno);
    return error_.empty();
}

ReplacementFile::~ReplacementFile()
{
    Discard();
}

namespace {

bool IsSeparator(char c)
{
#if defined(_WIN32)
    return c == '/' || c == '\\' || c == ':';
#else
    return c == '/';
#endif
}

// At most `limit` bytes of a UTF-8 name, not cutting a character in two, so
// that the temporary name stays within the file system's limit.
std::string ShortenName(const std::string& name, std::size_t limit)
{
    if (name.size() <= limit)
        return name;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
        --end;
    return name.substr(0, end);
}

}  // namespace

std::string TemporaryNameBeside(const std::string& path, unsigned long processId)
{
    static unsigned long calls = 0;
    std::size_t split = path.size();
    while (split > 0 && !IsSeparator(path[split - 1]))
        --split;
    const std::string directory = path.substr(0, split);
    const std::string name = ShortenName(path.substr(split), 64);

    // Not secret, only different: O_EXCL-style creation catches collisions.
    unsigned long long seed = static_cast<unsigned long long>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count());
    seed ^= (static_cast<unsigned long long>(processId) << 20) ^ (++calls * 0x9E3779B97F4A7C15ull);
    std::string suffix;
    for (int i = 0; i < 8; ++i) {
        suffix.push_back("0123456789abcdefghijklmnopqrstuvwxyz"[seed % 36]);
        seed /= 36;
        seed ^= calls << 7;
    }
    return directory + "." + name + "." + suffix + ".tmp";
}
