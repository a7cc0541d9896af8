// The portable kernel: the C library's byte search, no group decoding.
#include "utf8_driver.h"
#include "utf8_kernels.h"

namespace {

struct Portable {
    static std::size_t FindByte(const unsigned char* bytes, std::size_t from, std::size_t count, unsigned char byte)
    {
        const void* found = std::memchr(bytes + from, byte, count - from);
        return found == nullptr ? count : static_cast<std::size_t>(static_cast<const unsigned char*>(found) - bytes);
    }
    static constexpr bool DecodesGroups = false;
};

BlockStep DecodeBlock(Utf8DecodeState& state, unsigned char* bytes, std::size_t count, bool atEnd)
{
    return DecodeUtf8Block<Portable>(state, bytes, count, atEnd);
}

}  // namespace

const Utf8Kernel Utf8KernelPortable = {DecodeBlock, CheckUtf8};
