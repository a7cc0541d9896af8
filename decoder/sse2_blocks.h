// The SSE2 block operations, which the SSE2 kernel uses and the AVX2 kernel
// builds on. Included by kernel files only, each compiling them for its own
// instruction set; everything has internal linkage (see decode_driver.h).
#ifndef DECODER_SSE2_BLOCKS_H
#define DECODER_SSE2_BLOCKS_H

#include "block_reads.h"
#include "escape_decoder.h"

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

namespace {

DECODER_READS_PAST_END
__m128i LoadBlock(const char16_t* p)
{
    return _mm_load_si128(reinterpret_cast<const __m128i*>(p));
}

DECODER_READS_PAST_END
__m128i LoadUnits(const char16_t* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

DECODER_READS_PAST_END
__m128i LoadLow(const char16_t* p)
{
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}

// Four aligned blocks as 32 bytes in two vectors, with signed saturation:
// a unit below 0x80 keeps its value and every other unit becomes 0x7F or a
// byte from 0x80 up. So a byte is 0 exactly where the terminator is, and
// equals an ASCII unit exactly where that unit is.
DECODER_READS_PAST_END
void LoadNarrowed(const char16_t* group, __m128i& low, __m128i& high)
{
    low = _mm_packs_epi16(LoadBlock(group), LoadBlock(group + 8));
    high = _mm_packs_epi16(LoadBlock(group + 16), LoadBlock(group + 24));
}

struct Sse2Blocks {
    static const std::size_t BlockUnits = 8;
    static const unsigned HitBits = 2;
    static const std::size_t StretchUnits = 64;
    static const bool ReadsCharRefAtOnce = true;

    // Two bits per unit of the aligned block that is `unit` or 0.
    DECODER_READS_PAST_END
    static unsigned Hits(const char16_t* block, char16_t unit)
    {
        const __m128i units = LoadBlock(block);
        const __m128i wanted = _mm_set1_epi16(static_cast<short>(unit));
        const __m128i hits = _mm_or_si128(_mm_cmpeq_epi16(units, wanted), _mm_cmpeq_epi16(units, _mm_setzero_si128()));
        return static_cast<unsigned>(_mm_movemask_epi8(hits));
    }

    // A 128-byte stretch narrowed to bytes: the terminator makes the bytes'
    // minimum 0, `unit` (ASCII) makes a byte compare equal.
    DECODER_READS_PAST_END
    static bool StretchHits(const char16_t* stretch, char16_t unit)
    {
        const __m128i narrow = _mm_set1_epi8(static_cast<char>(unit));
        __m128i bytes0;
        __m128i bytes1;
        __m128i bytes2;
        __m128i bytes3;
        LoadNarrowed(stretch, bytes0, bytes1);
        LoadNarrowed(stretch + 32, bytes2, bytes3);
        const __m128i least = _mm_min_epu8(_mm_min_epu8(bytes0, bytes1), _mm_min_epu8(bytes2, bytes3));
        const __m128i equal = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes0, narrow), _mm_cmpeq_epi8(bytes1, narrow)),
                                           _mm_or_si128(_mm_cmpeq_epi8(bytes2, narrow), _mm_cmpeq_epi8(bytes3, narrow)));
        return _mm_movemask_epi8(_mm_or_si128(equal, _mm_cmpeq_epi8(least, _mm_setzero_si128()))) != 0;
    }

    // "&#", 1 to 5 digits and ";" read with one load from the prefix at
    // cursor - 2 (8 units readable). Same contract as ReadPlainCharRef.
    DECODER_READS_PAST_END
    static bool ReadCharRef(const char16_t*& cursor, std::uint32_t& value)
    {
        const char16_t* p = cursor - 2;
        const __m128i units = LoadUnits(p);
        const __m128i digits = _mm_sub_epi16(units, _mm_set1_epi16('0'));
        const __m128i is_digit = _mm_cmpeq_epi16(_mm_subs_epu16(digits, _mm_set1_epi16(9)), _mm_setzero_si128());
        // Two bits per unit from the field on.
        const unsigned digit_bits = static_cast<unsigned>(_mm_movemask_epi8(is_digit)) >> 4;
        const unsigned semicolon_bits =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(units, _mm_set1_epi16(';')))) >> 4;
        const unsigned run = LowestSetBit(~digit_bits);  // twice the number of leading digits
        if (run == 0 || run > 2 * CharRefFieldUnits || ((semicolon_bits >> run) & 1) == 0)
            return false;
        static const short scales[CharRefFieldUnits][8] = {
            {0, 0, 1, 0, 0, 0, 0, 0},
            {0, 0, 10, 1, 0, 0, 0, 0},
            {0, 0, 100, 10, 1, 0, 0, 0},
            {0, 0, 1000, 100, 10, 1, 0, 0},
            {0, 0, 10000, 1000, 100, 10, 1, 0},
        };
        const std::size_t count = run / 2;
        const __m128i scale = _mm_loadu_si128(reinterpret_cast<const __m128i*>(scales[count - 1]));
        __m128i sum = _mm_madd_epi16(digits, scale);
        sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(1, 0, 3, 2)));
        sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(2, 3, 0, 1)));
        value = static_cast<std::uint32_t>(_mm_cvtsi128_si32(sum));
        cursor = p + 2 + count + 1;
        return true;
    }
};

}  // namespace

#endif
