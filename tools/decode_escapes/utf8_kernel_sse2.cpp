// The SSE2 kernel: searches the bytes 64 at a time and passes over ASCII 16
// at a time in the check; it has no group decoding (SSE2 cannot shuffle
// bytes), so every escape goes through the shared reading.
#include "format_driver.h"
#include "utf8_driver.h"
#include "utf8_kernels.h"

#include <emmintrin.h>

namespace {

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

struct Sse2Bytes {
    static const std::size_t Width = 16;

    static __m128i Splat(unsigned char byte) { return _mm_set1_epi8(static_cast<char>(byte)); }

    static unsigned Matches(const unsigned char* p, __m128i needle)
    {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, needle)));
    }

    static __m128i SplatUnit(char16_t unit) { return _mm_set1_epi16(static_cast<short>(unit)); }

    static unsigned MatchUnits(const char16_t* p, __m128i needle)
    {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(units, needle)));
    }
};

struct Sse2 : VectorSearch<Sse2Bytes> {
    static constexpr bool DecodesGroups = false;
    static constexpr bool DecodesJsonGroups = false;
};

BlockStep DecodeBlock(Utf8DecodeState& state, unsigned char* bytes, std::size_t count, bool atEnd)
{
    return DecodeUtf8Block<Sse2>(state, bytes, count, atEnd);
}

}  // namespace

const Utf8Kernel Utf8KernelSse2 = {DecodeBlock, Check};
const FormatKernel FormatKernelSse2 = {DecodeFormatBlockFor<Sse2, unsigned char>, DecodeFormatBlockFor<Sse2, char16_t>};
