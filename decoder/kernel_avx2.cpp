// The AVX2 kernel: searches 32 bytes at a time, and decodes plain escapes
// back to back sixteen (references) or eight (names) at a time, then four at
// a time as the SSE2 kernel does.
#include "decode_driver.h"
#include "kernels.h"
#include "sse2_blocks.h"
#include "text_kernels/hex_digits_avx2.h"

#include <immintrin.h>

namespace {

// A plain reference as 8 bytes, in memory order: the prefix, five '0' and the
// closer.
constexpr std::uint64_t CharRefShapeBytes()
{
    static_assert(CharRefSyntax.plainUnits == 8, "a reference fills a 64-bit lane");
    std::uint64_t shape = CharRefSyntax.closer;
    for (std::size_t digit = 0; digit < CharRefSyntax.fieldUnits; ++digit)
        shape = shape << 8 | '0';
    return shape << 16 | static_cast<std::uint64_t>(CharRefSyntax.prefix[1]) << 8 | CharRefSyntax.prefix[0];
}

// Sixteen references "&#" + 5 digits + ";" back to back, as DecodeCharRefFour.
KERNEL_READS_PAST_END
bool DecodeCharRefSixteen(const char16_t* p, char16_t* out)
{
    // The units as bytes, each reference in a 64-bit lane: references 0, 2
    // in the low half of `digits[0]`, 1, 3 in its high half, and so on. A
    // unit above 0xFF becomes 0 or 0xFF, neither a digit nor one of "&#;".
    const __m256i shape = _mm256_set1_epi64x(static_cast<long long>(CharRefShapeBytes()));
    const __m256i* const pairs = reinterpret_cast<const __m256i*>(p);
    __m256i digits[4];
    for (int i = 0; i < 4; ++i) {
        const __m256i bytes =
            _mm256_packus_epi16(_mm256_loadu_si256(pairs + 2 * i), _mm256_loadu_si256(pairs + 2 * i + 1));
        digits[i] = _mm256_sub_epi8(bytes, shape);
    }
    // Each byte minus its shape is 0 for the prefix and ";", 0 to 9 for a
    // digit; anything else stays above `most` after a saturating subtract.
    const __m256i most = _mm256_set1_epi64x(0x0009090909090000);
    const __m256i largest =
        _mm256_max_epu8(_mm256_max_epu8(digits[0], digits[1]), _mm256_max_epu8(digits[2], digits[3]));
    const __m256i excess = _mm256_subs_epu8(largest, most);
    if (!_mm256_testz_si256(excess, excess))
        return false;
    // Digits d0 to d4 become 10 d0 + d1, 10 d2 + d3 and d4, which fit in
    // bytes again: then 100 (10 d0 + d1) and 10 (10 d2 + d3) + d4, and the
    // value in 32 bits. Packing the bytes leaves references 0, 2, 4, 6 |
    // 1, 3, 5, 7 in `values0`, 8, 10, 12, 14 | 9, 11, 13, 15 in `values1`.
    const __m256i tens = _mm256_setr_epi8(0, 0, 10, 1, 10, 1, 1, 0, 0, 0, 10, 1, 10, 1, 1, 0, 0, 0, 10, 1, 10, 1, 1, 0,
                                          0, 0, 10, 1, 10, 1, 1, 0);
    const __m256i hundreds = _mm256_set1_epi32(0x010A6400);   // bytes 0, 100, 10, 1
    const __m256i thousands = _mm256_set1_epi32(0x0001000A);  // 16-bit 10, 1
    __m256i sums[4];
    for (int i = 0; i < 4; ++i)
        sums[i] = _mm256_maddubs_epi16(digits[i], tens);
    const __m256i values0 =
        _mm256_madd_epi16(_mm256_maddubs_epi16(_mm256_packus_epi16(sums[0], sums[1]), hundreds), thousands);
    const __m256i values1 =
        _mm256_madd_epi16(_mm256_maddubs_epi16(_mm256_packus_epi16(sums[2], sums[3]), hundreds), thousands);
    const __m256i even = _mm256_permute2x128_si256(values0, values1, 0x20);
    const __m256i odd = _mm256_permute2x128_si256(values0, values1, 0x31);
    // The low 16 bits of each value, in order: an even reference's from
    // `even`, the next one's shifted up from `odd`.
    const __m256i units = _mm256_blend_epi16(even, _mm256_slli_epi32(odd, 16), 0xAA);
    const __m256i zeros = _mm256_cmpeq_epi16(units, _mm256_setzero_si256());
    if (!_mm256_testz_si256(zeros, zeros))
        return false;
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), units);
    return true;
}

// Eight names "\u" + 4 hexadecimal digits back to back, as DecodeUcnFour.
KERNEL_READS_PAST_END
bool DecodeUcnEight(const char16_t* p, char16_t* out)
{
    // Each 16-byte load at a name holds its prefix (units 0, 1) and the next
    // name's (units 6, 7).
    const short first = static_cast<short>(UcnSyntax.prefix[0]);
    const short second = static_cast<short>(UcnSyntax.prefix[1]);
    const __m256i prefixes =
        _mm256_setr_epi16(first, second, 0, 0, 0, 0, first, second, first, second, 0, 0, 0, 0, first, second);
    const __m256i names02 = _mm256_inserti128_si256(_mm256_castsi128_si256(LoadUnits(p)), LoadUnits(p + 24), 1);
    const __m256i names13 = _mm256_inserti128_si256(_mm256_castsi128_si256(LoadUnits(p + 12)), LoadUnits(p + 36), 1);
    const unsigned prefix_bits = static_cast<unsigned>(_mm256_movemask_epi8(
        _mm256_and_si256(_mm256_cmpeq_epi16(names02, prefixes), _mm256_cmpeq_epi16(names13, prefixes))));
    if ((prefix_bits & 0xF00FF00Fu) != 0xF00FF00Fu)
        return false;
    const __m128i fields01 = _mm_unpacklo_epi64(LoadLow(p + 2), LoadLow(p + 8));
    const __m128i fields23 = _mm_unpacklo_epi64(LoadLow(p + 14), LoadLow(p + 20));
    const __m128i fields45 = _mm_unpacklo_epi64(LoadLow(p + 26), LoadLow(p + 32));
    const __m128i fields67 = _mm_unpacklo_epi64(LoadLow(p + 38), LoadLow(p + 44));
    // Field units as bytes, names 0 to 3 in the low half and 4 to 7 in the
    // high half; a unit above 0xFF becomes 0xFF or 0, no digit.
    const __m256i bytes = _mm256_packus_epi16(_mm256_inserti128_si256(_mm256_castsi128_si256(fields01), fields45, 1),
                                              _mm256_inserti128_si256(_mm256_castsi128_si256(fields23), fields67, 1));
    // Every unit a digit, and no field all zeros (a 32-bit lane of digit values).
    const HexDigits digits = ReadHexDigits(bytes);
    const __m256i digitValues = digits.value;
    const __m256i bad = _mm256_or_si256(digits.notDigit, _mm256_cmpeq_epi32(digitValues, _mm256_setzero_si256()));
    if (_mm256_movemask_epi8(bad) != 0)
        return false;
    // Pairs of digit values (a, b) become 16a + b, the high and the low byte of a
    // unit; a shuffle puts each low byte before its high byte.
    const __m256i pairs = _mm256_maddubs_epi16(digitValues, _mm256_set1_epi16(0x0110));
    const __m256i order = _mm256_setr_epi8(2, 0, 6, 4, 10, 8, 14, 12, -1, -1, -1, -1, -1, -1, -1, -1, 2, 0, 6, 4, 10, 8,
                                           14, 12, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256i units = _mm256_permute4x64_epi64(_mm256_shuffle_epi8(pairs, order), _MM_SHUFFLE(0, 0, 2, 0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(units));
    return true;
}

struct Avx2Kernel : Sse2Blocks {
    using CharRefGroups = Groups<GroupDecoder<16, 16 * CharRefSyntax.plainUnits, DecodeCharRefSixteen>, CharRefFour>;
    using UcnGroups = Groups<GroupDecoder<8, 8 * UcnSyntax.plainUnits, DecodeUcnEight>, UcnFour>;

    static const std::size_t BlockUnits = 16;

    // Two bits per unit of the aligned 32-byte block that is `unit` or 0.
    KERNEL_READS_PAST_END
    static unsigned Hits(const char16_t* block, char16_t unit)
    {
        const __m256i units = _mm256_load_si256(reinterpret_cast<const __m256i*>(block));
        const __m256i wanted = _mm256_set1_epi16(static_cast<short>(unit));
        const __m256i hits =
            _mm256_or_si256(_mm256_cmpeq_epi16(units, wanted), _mm256_cmpeq_epi16(units, _mm256_setzero_si256()));
        return static_cast<unsigned>(_mm256_movemask_epi8(hits));
    }

    // Narrowed as in LoadNarrowed; the order of the bytes does not matter.
    KERNEL_READS_PAST_END
    static bool StretchHits(const char16_t* stretch, char16_t unit)
    {
        const __m256i narrow = _mm256_set1_epi8(static_cast<char>(unit));
        const __m256i* const blocks = reinterpret_cast<const __m256i*>(stretch);
        const __m256i bytes01 = _mm256_packs_epi16(_mm256_load_si256(blocks), _mm256_load_si256(blocks + 1));
        const __m256i bytes23 = _mm256_packs_epi16(_mm256_load_si256(blocks + 2), _mm256_load_si256(blocks + 3));
        const __m256i least = _mm256_min_epu8(bytes01, bytes23);
        const __m256i equal = _mm256_or_si256(_mm256_cmpeq_epi8(bytes01, narrow), _mm256_cmpeq_epi8(bytes23, narrow));
        return _mm256_movemask_epi8(_mm256_or_si256(equal, _mm256_cmpeq_epi8(least, _mm256_setzero_si256()))) != 0;
    }
};

}  // namespace

void DecodeTextAvx2(char16_t* text, DecodeMode mode)
{
    DecodeWith<Avx2Kernel>(text, mode);
}
