// The AVX2 kernel: searches 128-byte stretches 32 bytes at a time, and
// decodes plain escapes back to back eight at a time.
#include "decode_driver.h"
#include "kernels.h"
#include "sse2_blocks.h"

#include <immintrin.h>

namespace {

// Eight references "&#" + 5 digits + ";" back to back at `p` (64 units
// readable), two to a 32-byte vector, written as eight units at `out`;
// false, with nothing written, as for the SSE2 kernel, whose steps are
// done here in each 16-byte half.
DECODER_READS_PAST_END
bool DecodeCharRefGroupAvx2(const char16_t* p, char16_t* out)
{
    const __m256i shape = _mm256_setr_epi16('&', '#', '0', '0', '0', '0', '0', ';', '&', '#', '0', '0', '0', '0', '0', ';');
    const __m256i most = _mm256_setr_epi16(0, 0, 9, 9, 9, 9, 9, 0, 0, 0, 9, 9, 9, 9, 9, 0);
    const __m256i* const pairs = reinterpret_cast<const __m256i*>(p);
    const __m256i digits0 = _mm256_sub_epi16(_mm256_loadu_si256(pairs), shape);
    const __m256i digits1 = _mm256_sub_epi16(_mm256_loadu_si256(pairs + 1), shape);
    const __m256i digits2 = _mm256_sub_epi16(_mm256_loadu_si256(pairs + 2), shape);
    const __m256i digits3 = _mm256_sub_epi16(_mm256_loadu_si256(pairs + 3), shape);
    const __m256i excess = _mm256_or_si256(
        _mm256_or_si256(_mm256_subs_epu16(digits0, most), _mm256_subs_epu16(digits1, most)),
        _mm256_or_si256(_mm256_subs_epu16(digits2, most), _mm256_subs_epu16(digits3, most)));
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi16(excess, _mm256_setzero_si256())) != -1)
        return false;
    const __m256i scale = _mm256_setr_epi16(0, 0, 10000, 1000, 100, 10, 1, 0, 0, 0, 10000, 1000, 100, 10, 1, 0);
    const __m256i sum0 = _mm256_madd_epi16(digits0, scale);
    const __m256i sum1 = _mm256_madd_epi16(digits1, scale);
    const __m256i sum2 = _mm256_madd_epi16(digits2, scale);
    const __m256i sum3 = _mm256_madd_epi16(digits3, scale);
    // As SumLanes in each half: the low half holds references 0, 2, 4, 6,
    // the high half 1, 3, 5, 7.
    const __m256i sum01 = _mm256_add_epi32(_mm256_unpacklo_epi32(sum0, sum1), _mm256_unpackhi_epi32(sum0, sum1));
    const __m256i sum23 = _mm256_add_epi32(_mm256_unpacklo_epi32(sum2, sum3), _mm256_unpackhi_epi32(sum2, sum3));
    const __m256i values = _mm256_add_epi32(_mm256_unpacklo_epi64(sum01, sum23), _mm256_unpackhi_epi64(sum01, sum23));
    const __m256i low = _mm256_srai_epi32(_mm256_slli_epi32(values, 16), 16);
    const __m256i packed = _mm256_packs_epi32(low, low);
    const __m128i units = _mm_unpacklo_epi16(_mm256_castsi256_si128(packed), _mm256_extracti128_si256(packed, 1));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(units, _mm_setzero_si128())) != 0)
        return false;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), units);
    return true;
}

// Eight names "\u" + 4 hexadecimal digits back to back at `p` (48 units
// readable), written as eight units at `out`; false, with
// nothing written, as for the SSE2 kernel.
DECODER_READS_PAST_END
bool DecodeUcnGroupAvx2(const char16_t* p, char16_t* out)
{
    // Each 16-byte load at a name holds its prefix (units 0, 1) and the next
    // name's (units 6, 7).
    const __m256i prefixes = _mm256_setr_epi16('\\', 'u', 0, 0, 0, 0, '\\', 'u', '\\', 'u', 0, 0, 0, 0, '\\', 'u');
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
    // Hexadecimal digits by their nibbles: the high nibble says digit (3) or
    // letter (4, 6), the low nibble which of these it can be.
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i low = _mm256_and_si256(bytes, nibble);
    const __m256i high = _mm256_and_si256(_mm256_srli_epi16(bytes, 4), nibble);
    const __m256i by_high = _mm256_setr_epi8(0, 0, 0, 1, 2, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                             0, 0, 0, 1, 2, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m256i by_low = _mm256_setr_epi8(1, 3, 3, 3, 3, 3, 3, 1, 1, 1, 0, 0, 0, 0, 0, 0,
                                            1, 3, 3, 3, 3, 3, 3, 1, 1, 1, 0, 0, 0, 0, 0, 0);
    const __m256i letter_add = _mm256_setr_epi8(0, 0, 0, 0, 9, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                0, 0, 0, 0, 9, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m256i kind = _mm256_and_si256(_mm256_shuffle_epi8(by_high, high), _mm256_shuffle_epi8(by_low, low));
    const __m256i worth = _mm256_add_epi8(low, _mm256_shuffle_epi8(letter_add, high));
    // Every unit a digit, and no field all zeros (a 32-bit lane of worths).
    const __m256i zero = _mm256_setzero_si256();
    const __m256i bad = _mm256_or_si256(_mm256_cmpeq_epi8(kind, zero), _mm256_cmpeq_epi32(worth, zero));
    if (_mm256_movemask_epi8(bad) != 0)
        return false;
    // Pairs of worths (a, b) become 16a + b, the high and the low byte of a
    // unit; a shuffle puts each low byte before its high byte.
    const __m256i pairs = _mm256_maddubs_epi16(worth, _mm256_set1_epi16(0x0110));
    const __m256i order = _mm256_setr_epi8(2, 0, 6, 4, 10, 8, 14, 12, -1, -1, -1, -1, -1, -1, -1, -1,
                                           2, 0, 6, 4, 10, 8, 14, 12, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256i units = _mm256_permute4x64_epi64(_mm256_shuffle_epi8(pairs, order), _MM_SHUFFLE(0, 0, 2, 0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(units));
    return true;
}

struct Avx2Kernel : Sse2Blocks {
    static const std::size_t GroupEscapes = 8;
    static const std::size_t GroupSlack = 0;

    // Narrowed as in LoadNarrowed; the order of the bytes does not matter.
    DECODER_READS_PAST_END
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

    static bool DecodeCharRefGroup(const char16_t* p, char16_t* out) { return DecodeCharRefGroupAvx2(p, out); }
    static bool DecodeUcnGroup(const char16_t* p, char16_t* out) { return DecodeUcnGroupAvx2(p, out); }
};

}  // namespace

void DecodeTextAvx2(char16_t* text, std::int32_t mode)
{
    DecodeWith<Avx2Kernel>(text, mode);
}
