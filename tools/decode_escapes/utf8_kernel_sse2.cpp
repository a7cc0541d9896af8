// The SSE2 kernel: searches the bytes 64 at a time and passes over ASCII 16
// at a time in the check; it has no group decoding (SSE2 cannot shuffle
// bytes), so every escape goes through the shared reading.
#include "lowest_set_bit.h"
#include "utf8_driver.h"
#include "utf8_kernels.h"

#include <emmintrin.h>

namespace {

unsigned Matches(const unsigned char* p, __m128i needle)
{
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, needle)));
}

std::size_t FindByteIn(const unsigned char* bytes, std::size_t from, std::size_t count, unsigned char byte)
{
    const __m128i needle = _mm_set1_epi8(static_cast<char>(byte));
    std::size_t i = from;
    for (; count - i >= 64; i += 64) {
        const unsigned m0 = Matches(bytes + i, needle);
        const unsigned m1 = Matches(bytes + i + 16, needle);
        const unsigned m2 = Matches(bytes + i + 32, needle);
        const unsigned m3 = Matches(bytes + i + 48, needle);
        if ((m0 | m1 | m2 | m3) != 0)
            break;
    }
    for (; count - i >= 16; i += 16) {
        const unsigned m = Matches(bytes + i, needle);
        if (m != 0)
            return i + LowestSetBit(m);
    }
    while (i < count && bytes[i] != byte)
        ++i;
    return i;
}

bool AllAscii(const unsigned char* p)
{
    return _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))) == 0;
}

// Whole ASCII stretches 16 bytes at a time, other bytes by the rules in
// stretches that start and end where a character does. Where a stretch is
// not well-formed, the rules read on from its start and tell exactly where
// and how.
Utf8Check Check(const unsigned char* bytes, std::size_t count, bool atEnd)
{
    std::size_t i = 0;
    for (;;) {
        while (count - i >= 16 && AllAscii(bytes + i))
            i += 16;
        std::size_t stop = count - i > 64 ? i + 64 : count;
        while (stop < count && (bytes[stop] & 0xC0) == 0x80)
            ++stop;
        if (stop == count || CheckUtf8(bytes + i, stop - i, false).valid != stop - i) {
            Utf8Check rest = CheckUtf8(bytes + i, count - i, atEnd);
            rest.valid += i;
            return rest;
        }
        i = stop;
    }
}

struct Sse2 {
    static std::size_t FindByte(const unsigned char* bytes, std::size_t from, std::size_t count, unsigned char byte)
    {
        return FindByteIn(bytes, from, count, byte);
    }
    static constexpr bool DecodesGroups = false;
};

BlockStep DecodeBlock(Utf8DecodeState& state, unsigned char* bytes, std::size_t count, bool atEnd)
{
    return DecodeUtf8Block<Sse2>(state, bytes, count, atEnd);
}

}  // namespace

const Utf8Kernel Utf8KernelSse2 = {DecodeBlock, Check};
