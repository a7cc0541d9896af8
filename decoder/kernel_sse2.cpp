// The SSE2 kernel: searches eight units at a time, and decodes plain
// escapes back to back four at a time.
#include "decode_driver.h"
#include "kernels.h"
#include "sse2_blocks.h"

#include <emmintrin.h>

#include <cstring>

namespace {

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

// True when each of `count` places 6 units apart from `p` on holds "\u".
DECODER_READS_PAST_END
bool UcnPrefixes(const char16_t* p, int count)
{
    const std::uint32_t prefix = 0x005C | 0x0075u << 16;  // little-endian
    std::uint32_t differ = 0;
    for (int i = 0; i < count; ++i) {
        std::uint32_t pair;
        std::memcpy(&pair, p + 6 * i, sizeof pair);
        differ |= pair ^ prefix;
    }
    return differ == 0;
}

// Four references "&#" + 5 digits + ";" back to back at `p` (32 units
// readable), written as four units at `out`. False, with nothing
// written, when any of them has another shape or a value whose low 16 bits
// are 0. Dense text of ideographs is made of these.
DECODER_READS_PAST_END
bool DecodeCharRefQuad(const char16_t* p, char16_t* out)
{
    const __m128i shape = _mm_setr_epi16('&', '#', '0', '0', '0', '0', '0', ';');
    const __m128i most = _mm_setr_epi16(0, 0, 9, 9, 9, 9, 9, 0);
    const __m128i digits0 = _mm_sub_epi16(LoadUnits(p), shape);
    const __m128i digits1 = _mm_sub_epi16(LoadUnits(p + 8), shape);
    const __m128i digits2 = _mm_sub_epi16(LoadUnits(p + 16), shape);
    const __m128i digits3 = _mm_sub_epi16(LoadUnits(p + 24), shape);
    // Each unit minus its shape is 0 for the prefix and ";", 0 to 9 for a
    // digit; anything else stays above `most` after a saturating subtract.
    const __m128i excess = _mm_or_si128(
        _mm_or_si128(_mm_subs_epu16(digits0, most), _mm_subs_epu16(digits1, most)),
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

// Four names "\u" + 4 hexadecimal digits back to back at `p` (24 units
// readable), written as four units at `out`; false, with nothing
// written, as for DecodeCharRefQuad.
DECODER_READS_PAST_END
bool DecodeUcnQuad(const char16_t* p, char16_t* out)
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
    // Digits keep bit 0x20, so lower - '0' is a digit's worth; a letter's is 39 less.
    const __m128i worth = _mm_sub_epi8(_mm_sub_epi8(lower, _mm_set1_epi8('0')), _mm_and_si128(letter, _mm_set1_epi8(39)));
    // Every unit a digit, and no field all zeros (a 32-bit lane of worths).
    const __m128i good = _mm_andnot_si128(_mm_cmpeq_epi32(worth, _mm_setzero_si128()), _mm_or_si128(decimal, letter));
    if (_mm_movemask_epi8(good) != 0xFFFF)
        return false;
    // Pairs of worths (a, b) in 16-bit lanes become 16a + b, and pairs of
    // those in 32-bit lanes become the field's value.
    const __m128i pairs = _mm_and_si128(_mm_or_si128(_mm_slli_epi16(worth, 4), _mm_srli_epi16(worth, 8)),
                                        _mm_set1_epi16(0xFF));
    const __m128i values = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00010100));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), LowUnits(values));
    return true;
}

struct Sse2Kernel : Sse2Blocks {
    static const std::size_t GroupEscapes = 4;
    static const std::size_t GroupSlack = 0;

    static bool DecodeCharRefGroup(const char16_t* p, char16_t* out) { return DecodeCharRefQuad(p, out); }
    static bool DecodeUcnGroup(const char16_t* p, char16_t* out) { return DecodeUcnQuad(p, out); }
};

}  // namespace

void DecodeTextSse2(char16_t* text, std::int32_t mode)
{
    DecodeWith<Sse2Kernel>(text, mode);
}
