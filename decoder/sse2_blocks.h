// The SSE2 block operations and groups of four escapes, which the SSE2
// kernel uses and the AVX2 kernel builds on. Included by kernel files only,
// each compiling them for its own instruction set; everything has internal
// linkage (see text_kernels/block_reads.h).
#ifndef DECODER_SSE2_BLOCKS_H
#define DECODER_SSE2_BLOCKS_H

#include "decode_driver.h"
#include "decoder/escape_decoder.h"
#include "text_kernels/block_reads.h"

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

constexpr const EscapeSyntax& CharRefSyntax = SyntaxOf<DecodeMode::CharRef>();
constexpr const EscapeSyntax& UcnSyntax = SyntaxOf<DecodeMode::Ucn>();

KERNEL_READS_PAST_END
__m128i LoadBlock(const char16_t* p)
{
    return _mm_load_si128(reinterpret_cast<const __m128i*>(p));
}

KERNEL_READS_PAST_END
__m128i LoadUnits(const char16_t* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

KERNEL_READS_PAST_END
__m128i LoadLow(const char16_t* p)
{
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}

// Four aligned blocks as 32 bytes in two vectors, with signed saturation:
// a unit below 0x80 keeps its value and every other unit becomes 0x7F or a
// byte from 0x80 up. So a byte is 0 exactly where the terminator is, and
// equals an ASCII unit exactly where that unit is.
KERNEL_READS_PAST_END
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
    KERNEL_READS_PAST_END
    static unsigned Hits(const char16_t* block, char16_t unit)
    {
        const __m128i units = LoadBlock(block);
        const __m128i wanted = _mm_set1_epi16(static_cast<short>(unit));
        const __m128i hits = _mm_or_si128(_mm_cmpeq_epi16(units, wanted), _mm_cmpeq_epi16(units, _mm_setzero_si128()));
        return static_cast<unsigned>(_mm_movemask_epi8(hits));
    }

    // A 128-byte stretch narrowed to bytes: the terminator makes the bytes'
    // minimum 0, `unit` (ASCII) makes a byte compare equal.
    KERNEL_READS_PAST_END
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
        const __m128i equal =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes0, narrow), _mm_cmpeq_epi8(bytes1, narrow)),
                         _mm_or_si128(_mm_cmpeq_epi8(bytes2, narrow), _mm_cmpeq_epi8(bytes3, narrow)));
        return _mm_movemask_epi8(_mm_or_si128(equal, _mm_cmpeq_epi8(least, _mm_setzero_si128()))) != 0;
    }

    // "&#", 1 to 5 digits and ";" read with one load from the prefix at
    // cursor - 2 (8 units readable). Same contract as ReadPlainCharRef.
    KERNEL_READS_PAST_END
    static bool ReadCharRef(const char16_t*& cursor, std::uint32_t& value)
    {
        const char16_t* p = cursor - 2;
        const __m128i units = LoadUnits(p);
        const __m128i digits = _mm_sub_epi16(units, _mm_set1_epi16('0'));
        const __m128i is_digit = _mm_cmpeq_epi16(_mm_subs_epu16(digits, _mm_set1_epi16(9)), _mm_setzero_si128());
        // Two bits per unit from the field on.
        const unsigned digit_bits = static_cast<unsigned>(_mm_movemask_epi8(is_digit)) >> 4;
        const __m128i closers = _mm_cmpeq_epi16(units, _mm_set1_epi16(static_cast<short>(CharRefSyntax.closer)));
        const unsigned semicolon_bits = static_cast<unsigned>(_mm_movemask_epi8(closers)) >> 4;
        const unsigned run = LowestSetBit(~digit_bits);  // twice the number of leading digits
        if (run == 0 || run > 2 * CharRefSyntax.fieldUnits || ((semicolon_bits >> run) & 1) == 0)
            return false;
        static const short scales[CharRefSyntax.fieldUnits][8] = {
            {0, 0, 1, 0, 0, 0, 0, 0},       {0, 0, 10, 1, 0, 0, 0, 0},          {0, 0, 100, 10, 1, 0, 0, 0},
            {0, 0, 1000, 100, 10, 1, 0, 0}, {0, 0, 10000, 1000, 100, 10, 1, 0},
        };
        const std::size_t count = run / 2;
        const __m128i scale = _mm_loadu_si128(reinterpret_cast<const __m128i*>(scales[count - 1]));
        __m128i sum = _mm_madd_epi16(digits, scale);
        sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(1, 0, 3, 2)));
        sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(2, 3, 0, 1)));
        value = static_cast<std::uint32_t>(_mm_cvtsi128_si32(sum));
        cursor = p + PrefixUnits + count + 1;
        return true;
    }
};

// Sum of the four 32-bit lanes of each of `a`, `b`, `c`, `d`, in that order.
__m128i SumLanes(__m128i a, __m128i b, __m128i c, __m128i d)
{
    const __m128i ab = _mm_add_epi32(_mm_unpacklo_epi32(a, b), _mm_unpackhi_epi32(a, b));
    const __m128i cd = _mm_add_epi32(_mm_unpacklo_epi32(c, d), _mm_unpackhi_epi32(c, d));
    return _mm_add_epi32(_mm_unpacklo_epi64(ab, cd), _mm_unpackhi_epi64(ab, cd));
}

// The low 16 bits of the four 32-bit lanes, as four units in the low half.
__m128i LowUnits(__m128i values)
{
    const __m128i low = _mm_srai_epi32(_mm_slli_epi32(values, 16), 16);
    return _mm_packs_epi32(low, low);
}

// True when one of the four units in the low half is 0.
bool AnyZeroUnit(__m128i units)
{
    return (_mm_movemask_epi8(_mm_cmpeq_epi16(units, _mm_setzero_si128())) & 0xFF) != 0;
}

// True when each of `count` plain names back to back from `p` on starts
// with "\u".
KERNEL_READS_PAST_END
bool UcnPrefixes(const char16_t* p, int count)
{
    // The prefix's two units as one little-endian word.
    const std::uint32_t prefix = UcnSyntax.prefix[0] | static_cast<std::uint32_t>(UcnSyntax.prefix[1]) << 16;
    std::uint32_t differ = 0;
    for (int i = 0; i < count; ++i) {
        std::uint32_t pair;
        std::memcpy(&pair, p + UcnSyntax.plainUnits * i, sizeof pair);
        differ |= pair ^ prefix;
    }
    return differ == 0;
}

// Four references "&#" + 5 digits + ";" back to back at `p`, written as
// four units at `out`. False, with nothing written, when any of them has
// another shape or a value whose low 16 bits are 0. Dense text of
// ideographs is made of these.
KERNEL_READS_PAST_END
bool DecodeCharRefFour(const char16_t* p, char16_t* out)
{
    static_assert(CharRefSyntax.plainUnits == 8, "a reference and its shape fill a vector");
    const __m128i shape =
        _mm_setr_epi16(CharRefSyntax.prefix[0], CharRefSyntax.prefix[1], '0', '0', '0', '0', '0', CharRefSyntax.closer);
    const __m128i most = _mm_setr_epi16(0, 0, 9, 9, 9, 9, 9, 0);
    const __m128i digits0 = _mm_sub_epi16(LoadUnits(p), shape);
    const __m128i digits1 = _mm_sub_epi16(LoadUnits(p + 8), shape);
    const __m128i digits2 = _mm_sub_epi16(LoadUnits(p + 16), shape);
    const __m128i digits3 = _mm_sub_epi16(LoadUnits(p + 24), shape);
    // Each unit minus its shape is 0 for the prefix and ";", 0 to 9 for a
    // digit; anything else stays above `most` after a saturating subtract.
    const __m128i excess = _mm_or_si128(_mm_or_si128(_mm_subs_epu16(digits0, most), _mm_subs_epu16(digits1, most)),
                                        _mm_or_si128(_mm_subs_epu16(digits2, most), _mm_subs_epu16(digits3, most)));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(excess, _mm_setzero_si128())) != 0xFFFF)
        return false;
    const __m128i scale = _mm_setr_epi16(0, 0, 10000, 1000, 100, 10, 1, 0);
    const __m128i values = SumLanes(_mm_madd_epi16(digits0, scale), _mm_madd_epi16(digits1, scale),
                                    _mm_madd_epi16(digits2, scale), _mm_madd_epi16(digits3, scale));
    const __m128i units = LowUnits(values);
    if (AnyZeroUnit(units))
        return false;
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), units);
    return true;
}

// Four names "\u" + 4 hexadecimal digits back to back at `p`, written as
// four units at `out`; false, with nothing written, as for DecodeCharRefFour.
KERNEL_READS_PAST_END
bool DecodeUcnFour(const char16_t* p, char16_t* out)
{
    if (!UcnPrefixes(p, 4))
        return false;
    const __m128i fields01 = _mm_unpacklo_epi64(LoadLow(p + 2), LoadLow(p + 8));
    const __m128i fields23 = _mm_unpacklo_epi64(LoadLow(p + 14), LoadLow(p + 20));
    // 16 field units as bytes; a unit above 0xFF becomes 0xFF or 0, no digit.
    const __m128i bytes = _mm_packus_epi16(fields01, fields23);
    // Range tests as signed compares: x + (0x80 - low) is below
    // -128 + count exactly when x is one of the `count` units from `low`.
    const __m128i decimal = _mm_cmplt_epi8(_mm_add_epi8(bytes, _mm_set1_epi8(0x50)), _mm_set1_epi8(-118));
    const __m128i lower = _mm_or_si128(bytes, _mm_set1_epi8(0x20));
    const __m128i letter = _mm_cmplt_epi8(_mm_add_epi8(lower, _mm_set1_epi8(0x1F)), _mm_set1_epi8(-122));
    // Digits keep bit 0x20, so lower - '0' is a digit's value; a letter's is 39 less.
    const __m128i digitValues =
        _mm_sub_epi8(_mm_sub_epi8(lower, _mm_set1_epi8('0')), _mm_and_si128(letter, _mm_set1_epi8(39)));
    // Every unit a digit, and no field all zeros (a 32-bit lane of digit values).
    const __m128i good =
        _mm_andnot_si128(_mm_cmpeq_epi32(digitValues, _mm_setzero_si128()), _mm_or_si128(decimal, letter));
    if (_mm_movemask_epi8(good) != 0xFFFF)
        return false;
    // Pairs of digit values (a, b) in 16-bit lanes become 16a + b, and pairs of
    // those in 32-bit lanes become the field's value.
    const __m128i pairs = _mm_and_si128(_mm_or_si128(_mm_slli_epi16(digitValues, 4), _mm_srli_epi16(digitValues, 8)),
                                        _mm_set1_epi16(0xFF));
    const __m128i values = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00010100));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), LowUnits(values));
    return true;
}

using CharRefFour = GroupDecoder<4, 4 * CharRefSyntax.plainUnits, DecodeCharRefFour>;
using UcnFour = GroupDecoder<4, 4 * UcnSyntax.plainUnits, DecodeUcnFour>;

}  // namespace

#endif
