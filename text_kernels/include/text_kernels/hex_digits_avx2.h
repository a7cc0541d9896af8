// Hexadecimal digits told apart 32 bytes at a time, for the AVX2 kernel
// files of every pass. Everything has internal linkage (see block_reads.h):
// each file compiles it for AVX2.
#ifndef TEXT_KERNELS_HEX_DIGITS_AVX2_H
#define TEXT_KERNELS_HEX_DIGITS_AVX2_H

#include <immintrin.h>

#include <cstdint>

namespace {

// The digits by their nibbles: '0'-'9' are 0x30-0x39, 'A'-'F' 0x41-0x46
// and 'a'-'f' 0x61-0x66. A kind of digit is a set of high nibbles and a set
// of low nibbles (bit n for nibble n); a byte is a digit of that kind when
// both of its nibbles are in the sets, and its value is its low nibble plus
// the kind's offset.
struct HexDigitKind {
    std::uint8_t bit;
    std::uint16_t highNibbles;
    std::uint16_t lowNibbles;
    std::uint8_t offset;
};

constexpr HexDigitKind HexDigitKinds[] = {
    {1, 1u << 0x3, 0x03FF, 0},                   // '0'-'9': 0 to 9
    {2, 1u << 0x4 | 1u << 0x6, 0x007E, 10 - 1},  // 'A'-'F', 'a'-'f': low nibble 1 is 10
};

// Per nibble value: the kinds that a high or a low nibble allows, and the
// offset that a high nibble gives.
struct HexNibbleTables {
    std::uint8_t kindsByHigh[16];
    std::uint8_t kindsByLow[16];
    std::uint8_t offsetByHigh[16];
};

constexpr HexNibbleTables MakeHexNibbleTables()
{
    HexNibbleTables tables = {};
    for (const HexDigitKind& kind : HexDigitKinds) {
        for (unsigned nibble = 0; nibble < 16; ++nibble) {
            if ((kind.highNibbles >> nibble & 1u) != 0) {
                tables.kindsByHigh[nibble] = static_cast<std::uint8_t>(tables.kindsByHigh[nibble] | kind.bit);
                tables.offsetByHigh[nibble] = kind.offset;
            }
            if ((kind.lowNibbles >> nibble & 1u) != 0)
                tables.kindsByLow[nibble] = static_cast<std::uint8_t>(tables.kindsByLow[nibble] | kind.bit);
        }
    }
    return tables;
}

constexpr HexNibbleTables HexNibbles = MakeHexNibbleTables();

// A 16-entry table in both halves, for a byte shuffle per half.
inline __m256i NibbleTable(const std::uint8_t (&entries)[16])
{
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(entries)));
}

// Each byte's value as a hexadecimal digit, and all ones in `notDigit`
// where the byte is none; `value` is meaningless there.
struct HexDigits {
    __m256i value;
    __m256i notDigit;
};

inline HexDigits ReadHexDigits(__m256i bytes)
{
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i low = _mm256_and_si256(bytes, nibble);
    const __m256i high = _mm256_and_si256(_mm256_srli_epi16(bytes, 4), nibble);
    const __m256i kinds = _mm256_and_si256(_mm256_shuffle_epi8(NibbleTable(HexNibbles.kindsByHigh), high),
                                           _mm256_shuffle_epi8(NibbleTable(HexNibbles.kindsByLow), low));
    HexDigits digits;
    digits.value = _mm256_add_epi8(low, _mm256_shuffle_epi8(NibbleTable(HexNibbles.offsetByHigh), high));
    digits.notDigit = _mm256_cmpeq_epi8(kinds, _mm256_setzero_si256());
    return digits;
}

}  // namespace

#endif
