// Hexadecimal digits told apart 32 bytes at a time, for the AVX2 kernel
// files (the decoder's and those of other text kernels). Everything has
// internal linkage (see decode_driver.h): each file compiles it for AVX2.
#ifndef DECODER_HEX_DIGITS_AVX2_H
#define DECODER_HEX_DIGITS_AVX2_H

#include <immintrin.h>

namespace {

// Each byte's value as a hexadecimal digit ('0'-'9', 'A'-'F', 'a'-'f'), and
// all ones in `notDigit` where the byte is none; `value` is meaningless
// there. The high nibble says digit (3) or letter (4, 6), the low nibble
// which of these it can be.
struct HexDigits {
    __m256i value;
    __m256i notDigit;
};

inline HexDigits ReadHexDigits(__m256i bytes)
{
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
    HexDigits digits;
    digits.value = _mm256_add_epi8(low, _mm256_shuffle_epi8(letter_add, high));
    digits.notDigit = _mm256_cmpeq_epi8(kind, _mm256_setzero_si256());
    return digits;
}

}  // namespace

#endif
