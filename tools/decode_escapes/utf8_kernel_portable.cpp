// The portable kernel: the C library's byte search, no group decoding.
#include "format_driver.h"
#include "utf8_driver.h"
#include "utf8_kernels.h"

namespace {

struct Portable {
    static std::size_t FindByte(const unsigned char* bytes, std::size_t from, std::size_t count, unsigned char byte)
    {
        const void* found = std::memchr(bytes + from, byte, count - from);
        return found == nullptr ? count : static_cast<std::size_t>(static_cast<const unsigned char*>(found) - bytes);
    }
    static std::size_t FindUnit(const char16_t* units, std::size_t from, std::size_t count, char16_t unit)
    {
        while (from < count && units[from] != unit)
            ++from;
        return from;
    }
    static constexpr bool DecodesGroups = false;
    static constexpr bool DecodesJsonGroups = false;
};

BlockStep DecodeBlock(Utf8DecodeState& state, unsigned char* bytes, std::size_t count, bool atEnd)
{
    return DecodeUtf8Block<Portable>(state, bytes, count, atEnd);
}

}  // namespace

const Utf8Kernel Utf8KernelPortable = {DecodeBlock, CheckUtf8};
const FormatKernel FormatKernelPortable = {DecodeFormatBlockFor<Portable, unsigned char>,
                                           DecodeFormatBlockFor<Portable, char16_t>};
