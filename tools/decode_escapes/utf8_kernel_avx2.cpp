// The AVX2 kernel: searches and checks the bytes 64 at a time, and decodes
// plain escapes back to back straight into UTF-8, references four at a time
// and names eight, then four, at a time (the json mode's "\u" escapes too).
#include "hex_digits_avx2.h"
#include "format_driver.h"
#include "utf8_driver.h"
#include "utf8_kernels.h"

#include <immintrin.h>

namespace {

struct Avx2Bytes {
    static const std::size_t Width = 32;

    static __m256i Splat(unsigned char byte) { return _mm256_set1_epi8(static_cast<char>(byte)); }

    static unsigned Matches(const unsigned char* p, __m256i needle)
    {
        const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        return static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, needle)));
    }

    static __m256i SplatUnit(char16_t unit) { return _mm256_set1_epi16(static_cast<short>(unit)); }

    static unsigned MatchUnits(const char16_t* p, __m256i needle)
    {
        const __m256i units = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        return static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi16(units, needle)));
    }
};

// The well-formedness check of UTF-8 by table lookups: each byte with the
// one before it is looked up by their nibbles, and a byte two or three after
// a lead of three or four bytes must be a continuation.
const std::uint8_t TOO_SHORT = 1 << 0, TOO_LONG = 1 << 1, OVERLONG_3 = 1 << 2, TOO_LARGE = 1 << 3, SURROGATE = 1 << 4,
              OVERLONG_2 = 1 << 5, TOO_LARGE_1000 = 1 << 6, OVERLONG_4 = 1 << 6, TWO_CONTS = 1 << 7;
const std::uint8_t CARRY = TOO_SHORT | TOO_LONG | TWO_CONTS;

__m256i Table(std::uint8_t a0, std::uint8_t a1, std::uint8_t a2, std::uint8_t a3, std::uint8_t a4, std::uint8_t a5, std::uint8_t a6, std::uint8_t a7,
                     std::uint8_t a8, std::uint8_t a9, std::uint8_t a10, std::uint8_t a11, std::uint8_t a12, std::uint8_t a13, std::uint8_t a14, std::uint8_t a15)
{
    return _mm256_setr_epi8(a0, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14, a15, a0, a1, a2, a3, a4,
                            a5, a6, a7, a8, a9, a10, a11, a12, a13, a14, a15);
}

// Bytes `input` shifted by N, the first N taken from the end of `previous`.
template <int N>
__m256i Prev(__m256i input, __m256i previous)
{
    return _mm256_alignr_epi8(input, _mm256_permute2x128_si256(previous, input, 0x21), 16 - N);
}

__m256i HighNibbles(__m256i v)
{
    return _mm256_and_si256(_mm256_srli_epi16(v, 4), _mm256_set1_epi8(0x0F));
}

__m256i Errors(__m256i input, __m256i previous)
{
    const __m256i prev1 = Prev<1>(input, previous);
    const __m256i byte1High = _mm256_shuffle_epi8(
        Table(TOO_LONG, TOO_LONG, TOO_LONG, TOO_LONG, TOO_LONG, TOO_LONG, TOO_LONG, TOO_LONG, TWO_CONTS, TWO_CONTS,
              TWO_CONTS, TWO_CONTS, TOO_SHORT | OVERLONG_2, TOO_SHORT, TOO_SHORT | OVERLONG_3 | SURROGATE,
              TOO_SHORT | TOO_LARGE | TOO_LARGE_1000 | OVERLONG_4),
        HighNibbles(prev1));
    const __m256i byte1Low = _mm256_shuffle_epi8(
        Table(CARRY | OVERLONG_3 | OVERLONG_2 | OVERLONG_4, CARRY | OVERLONG_2, CARRY, CARRY, CARRY | TOO_LARGE,
              CARRY | TOO_LARGE | TOO_LARGE_1000, CARRY | TOO_LARGE | TOO_LARGE_1000,
              CARRY | TOO_LARGE | TOO_LARGE_1000, CARRY | TOO_LARGE | TOO_LARGE_1000,
              CARRY | TOO_LARGE | TOO_LARGE_1000, CARRY | TOO_LARGE | TOO_LARGE_1000,
              CARRY | TOO_LARGE | TOO_LARGE_1000, CARRY | TOO_LARGE | TOO_LARGE_1000,
              CARRY | TOO_LARGE | TOO_LARGE_1000 | SURROGATE, CARRY | TOO_LARGE | TOO_LARGE_1000,
              CARRY | TOO_LARGE | TOO_LARGE_1000),
        _mm256_and_si256(prev1, _mm256_set1_epi8(0x0F)));
    const __m256i byte2High = _mm256_shuffle_epi8(
        Table(TOO_SHORT, TOO_SHORT, TOO_SHORT, TOO_SHORT, TOO_SHORT, TOO_SHORT, TOO_SHORT, TOO_SHORT,
              TOO_LONG | OVERLONG_2 | TWO_CONTS | OVERLONG_3 | TOO_LARGE_1000 | OVERLONG_4,
              TOO_LONG | OVERLONG_2 | TWO_CONTS | OVERLONG_3 | TOO_LARGE,
              TOO_LONG | OVERLONG_2 | TWO_CONTS | SURROGATE | TOO_LARGE,
              TOO_LONG | OVERLONG_2 | TWO_CONTS | SURROGATE | TOO_LARGE, TOO_SHORT, TOO_SHORT, TOO_SHORT, TOO_SHORT),
        HighNibbles(input));
    const __m256i special = _mm256_and_si256(_mm256_and_si256(byte1High, byte1Low), byte2High);
    const __m256i prev2 = Prev<2>(input, previous);
    const __m256i prev3 = Prev<3>(input, previous);
    const __m256i third = _mm256_subs_epu8(prev2, _mm256_set1_epi8(static_cast<char>(0xE0 - 0x80)));
    const __m256i fourth = _mm256_subs_epu8(prev3, _mm256_set1_epi8(static_cast<char>(0xF0 - 0x80)));
    const __m256i must23 = _mm256_and_si256(_mm256_or_si256(third, fourth), _mm256_set1_epi8(static_cast<char>(0x80)));
    return _mm256_xor_si256(must23, special);
}

// True where one of the last three bytes begins a character that needs
// more bytes than are left in the 32.
__m256i EndsInside(__m256i input)
{
    const __m256i most = _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                          -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                          static_cast<char>(0xEF), static_cast<char>(0xDF), static_cast<char>(0xBF));
    return _mm256_subs_epu8(input, most);
}

// True when bytes[0, count) holds no ill-formed sequence. A sequence cut by
// `count` shows as one, since the bytes after it count as ASCII. Where 64
// bytes are ASCII, only the end of the bytes before them matters; the
// bytes kept as `previous` are then older, but end with whole characters.
bool LooksWellFormed(const unsigned char* bytes, std::size_t count)
{
    __m256i previous = _mm256_setzero_si256();
    __m256i inside = _mm256_setzero_si256();
    __m256i error = _mm256_setzero_si256();
    std::size_t i = 0;
    for (; i + 64 <= count; i += 64) {
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i + 32));
        if (_mm256_movemask_epi8(_mm256_or_si256(low, high)) == 0) {
            error = _mm256_or_si256(error, inside);
            continue;
        }
        error = _mm256_or_si256(error, _mm256_or_si256(Errors(low, previous), Errors(high, low)));
        previous = high;
        inside = EndsInside(high);
    }
    unsigned char rest[64] = {};
    std::memcpy(rest, bytes + i, count - i);
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rest));
    const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rest + 32));
    error = _mm256_or_si256(error, _mm256_or_si256(Errors(low, previous), Errors(high, low)));
    return _mm256_testz_si256(error, error) != 0;
}

// The checks up to the last character that may be cut by the end of the
// bytes at once, that character by the rules themselves; ill-formed bytes
// are found again by the rules, which tell exactly where and how.
Utf8Check Check(const unsigned char* bytes, std::size_t count, bool atEnd)
{
    std::size_t whole = count;
    for (std::size_t back = 1; back <= 3 && back <= count; ++back) {
        const unsigned char byte = bytes[count - back];
        if (byte < 0x80)
            break;
        if (byte >= 0xC0) {
            whole = count - back;
            break;
        }
    }
    if (!LooksWellFormed(bytes, whole))
        return CheckUtf8(bytes, count, atEnd);
    Utf8Check check = CheckUtf8(bytes + whole, count - whole, atEnd);
    check.valid += whole;
    return check;
}

// Three UTF-8 bytes for each unit in the 32-bit lanes of `units`
// (U+0800 to U+FFFF), in the low three bytes of the lane: 1110xxxx 10xxxxxx
// 10xxxxxx, the unit's bits taken 4, 6 and 6 from the top.
inline __m256i EncodeThreeBytes(__m256i units)
{
    const __m256i top = _mm256_srli_epi32(units, 12);
    const __m256i middle = _mm256_and_si256(_mm256_slli_epi32(units, 2), _mm256_set1_epi32(0x3F00));
    const __m256i low = _mm256_and_si256(_mm256_slli_epi32(units, 16), _mm256_set1_epi32(0x3F0000));
    return _mm256_or_si256(_mm256_or_si256(top, middle), _mm256_or_si256(low, _mm256_set1_epi32(0x8080E0)));
}

// All ones in the 32-bit lanes whose unit needs other than three UTF-8
// bytes (below U+0800) or is a surrogate.
inline __m256i NotThreeBytes(__m256i units)
{
    const __m256i top = _mm256_and_si256(units, _mm256_set1_epi32(0xF800));
    return _mm256_or_si256(_mm256_cmpeq_epi32(top, _mm256_setzero_si256()),
                           _mm256_cmpeq_epi32(top, _mm256_set1_epi32(0xD800)));
}

// Shuffles that gather the three UTF-8 bytes of the units in some 32-bit
// lanes of each half at the start of the half: lanes 0 and 2, 0 and 1, or
// all four. (Functions, not constants: a vector constant could be made by
// a static initialiser, with AVX2 instructions, on any processor.)
__m256i BytesOfLanes02()
{
    return _mm256_setr_epi8(0, 1, 2, 8, 9, 10, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                            0, 1, 2, 8, 9, 10, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
}

__m256i BytesOfLanes01()
{
    return _mm256_setr_epi8(0, 1, 2, 4, 5, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                            0, 1, 2, 4, 5, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
}

__m256i BytesOfLanes0123()
{
    return _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,
                            0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
}

// The 6 bytes at the start of each half, one after the other.
void StoreSixAndSix(__m256i bytes, unsigned char* out)
{
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(bytes));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 6), _mm256_extracti128_si256(bytes, 1));
}

// 16 bytes at `low` in the low half, 16 at `high` in the high half.
__m256i LoadHalves(const unsigned char* low, const unsigned char* high)
{
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(low))),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(high)), 1);
}

// A group decoder reads a number of plain escapes back to back at `in` and,
// when all of them name characters of three UTF-8 bytes, writes those at
// `out` and returns true; otherwise it writes nothing.

// 4 references "&#" + 5 digits + ";" back to back (32 bytes).
inline bool CharRefFour(const unsigned char* in, unsigned char* out)
{
    const __m256i shape = _mm256_set1_epi64x(0x3B30303030302326LL);  // "&#00000;"
    const __m256i most = _mm256_set1_epi64x(0x0009090909090000LL);
    const __m256i digits = _mm256_sub_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in)), shape);
    const __m256i excess = _mm256_subs_epu8(digits, most);
    // (10 d0 + d1, 10 d2 + d3, d4) as 16-bit lanes, then 1000 (10 d0 + d1)
    // and 10 (10 d2 + d3) + d4 as 32-bit lanes, added up in the low one.
    const __m256i pairs = _mm256_maddubs_epi16(digits, _mm256_set1_epi64x(0x0001010A010A0000LL));
    const __m256i halves = _mm256_madd_epi16(pairs, _mm256_set1_epi64x(0x0001000A03E80000LL));
    const __m256i values = _mm256_add_epi32(halves, _mm256_srli_epi64(halves, 32));
    const __m256i units = _mm256_and_si256(values, _mm256_set1_epi64x(0xFFFF));
    // The unit of each reference is in the low 32 bits of its 64.
    const __m256i bad = _mm256_or_si256(excess, _mm256_and_si256(NotThreeBytes(units), _mm256_set1_epi64x(0xFFFFFFFF)));
    if (!_mm256_testz_si256(bad, bad))
        return false;
    StoreSixAndSix(_mm256_shuffle_epi8(EncodeThreeBytes(units), BytesOfLanes02()), out);
    return true;
}

// Names "\u" + 4 hexadecimal digits are read two at a time from 16 bytes,
// at bytes 0 to 11 of a half of a vector: bits set where "\u" is not there.
inline __m256i WrongPrefixes(__m256i names)
{
    const __m256i prefixes = _mm256_setr_epi8('\\', 'u', 0, 0, 0, 0, '\\', 'u', 0, 0, 0, 0, 0, 0, 0, 0,
                                              '\\', 'u', 0, 0, 0, 0, '\\', 'u', 0, 0, 0, 0, 0, 0, 0, 0);
    const __m256i places = _mm256_setr_epi8(-1, -1, 0, 0, 0, 0, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0,
                                            -1, -1, 0, 0, 0, 0, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0);
    return _mm256_and_si256(places, _mm256_xor_si256(names, prefixes));
}

// Shuffles that take the 8 digits of the two names in each half to bytes
// 0 to 7 (DigitsLow) or 8 to 15 (DigitsHigh) of that half; the other bytes
// become 0.
__m256i DigitsLow()
{
    return _mm256_setr_epi8(2, 3, 4, 5, 8, 9, 10, 11, -1, -1, -1, -1, -1, -1, -1, -1,
                            2, 3, 4, 5, 8, 9, 10, 11, -1, -1, -1, -1, -1, -1, -1, -1);
}

__m256i DigitsHigh()
{
    return _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, 2, 3, 4, 5, 8, 9, 10, 11,
                            -1, -1, -1, -1, -1, -1, -1, -1, 2, 3, 4, 5, 8, 9, 10, 11);
}

// The unit that each 4 digit bytes name, in their 32-bit lane, and all ones
// in `notDigit` where a byte is no hexadecimal digit.
inline __m256i UcnUnits(__m256i digitBytes, __m256i& notDigit)
{
    const HexDigits digits = ReadHexDigits(digitBytes);
    notDigit = digits.notDigit;
    // 16 a + b for each pair of digits, then 256 times the first pair plus
    // the second.
    const __m256i pairs = _mm256_maddubs_epi16(digits.value, _mm256_set1_epi16(0x0110));
    return _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00010100));
}

// All ones in the 32-bit lanes whose unit the json mode keeps escaped
// although it has three UTF-8 bytes: U+2028 and U+2029.
inline __m256i LineSeparators(__m256i units)
{
    return _mm256_cmpeq_epi32(_mm256_and_si256(units, _mm256_set1_epi32(~1)), _mm256_set1_epi32(0x2028));
}

// What a group of names may not hold beside what NotThreeBytes rules out:
// in the json mode, the line separators.
template <bool Json>
inline __m256i NotDecodable(__m256i units)
{
    if constexpr (Json)
        return _mm256_or_si256(NotThreeBytes(units), LineSeparators(units));
    else
        return NotThreeBytes(units);
}

// 4 names back to back (24 bytes; 28 readable).
template <bool Json>
inline bool UcnFour(const unsigned char* in, unsigned char* out)
{
    const __m256i names = LoadHalves(in, in + 12);
    __m256i notDigit;
    const __m256i units = UcnUnits(_mm256_shuffle_epi8(names, DigitsLow()), notDigit);
    // Only the first 8 bytes, two units, of each half are names.
    const __m256i places = _mm256_setr_epi32(-1, -1, 0, 0, -1, -1, 0, 0);
    const __m256i bad = _mm256_or_si256(WrongPrefixes(names),
                                        _mm256_and_si256(places, _mm256_or_si256(notDigit, NotDecodable<Json>(units))));
    if (!_mm256_testz_si256(bad, bad))
        return false;
    StoreSixAndSix(_mm256_shuffle_epi8(EncodeThreeBytes(units), BytesOfLanes01()), out);
    return true;
}

// 8 names back to back (48 bytes; 52 readable): names 0, 1 | 4, 5 in one
// vector and 2, 3 | 6, 7 in another, so that their digits, put together,
// come in order: names 0 to 3 in the low half, 4 to 7 in the high half.
template <bool Json>
inline bool UcnEight(const unsigned char* in, unsigned char* out)
{
    const __m256i first = LoadHalves(in, in + 24);
    const __m256i second = LoadHalves(in + 12, in + 36);
    __m256i notDigit;
    const __m256i units = UcnUnits(
        _mm256_or_si256(_mm256_shuffle_epi8(first, DigitsLow()), _mm256_shuffle_epi8(second, DigitsHigh())), notDigit);
    const __m256i bad = _mm256_or_si256(_mm256_or_si256(WrongPrefixes(first), WrongPrefixes(second)),
                                        _mm256_or_si256(notDigit, NotDecodable<Json>(units)));
    if (!_mm256_testz_si256(bad, bad))
        return false;
    // 12 bytes from each half; the second store covers the first's last 4.
    const __m256i bytes = _mm256_shuffle_epi8(EncodeThreeBytes(units), BytesOfLanes0123());
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(bytes));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 12), _mm256_extracti128_si256(bytes, 1));
    return true;
}

// Groups of escapes of `size` bytes each (`readable` of them read, `written`
// written) from from[in] to to[out], as long as they are plain. A group is
// written after it was read; where `from` and `to` are one buffer, never
// over bytes not yet read: the result never passes the reading, and a group
// writes at most 4 bytes beyond its own result.
template <bool (*Decode)(const unsigned char*, unsigned char*), std::size_t size, std::size_t readable,
          std::size_t written>
void DecodeRun(const unsigned char* from, std::size_t& in, std::size_t count, unsigned char* to, std::size_t& out)
{
    while (count - in >= readable && Decode(from + in, to + out)) {
        in += size;
        out += written;
    }
}

struct Avx2 : VectorSearch<Avx2Bytes> {
    static constexpr bool DecodesGroups = true;

    template <DecodeMode Mode>
    static bool DecodeGroups(unsigned char* bytes, std::size_t& in, std::size_t count, std::size_t& out)
    {
        // Where no second escape follows the first, there is no group to try.
        constexpr const EscapeSyntax& syntax = SyntaxOf<Mode>();
        constexpr std::size_t plainBytes = syntax.plainUnits;  // all ASCII
        if (count - in <= plainBytes || bytes[in + plainBytes] != syntax.prefix[0])
            return false;
        const std::size_t start = in;
        if constexpr (Mode == DecodeMode::CharRef) {
            DecodeRun<CharRefFour, 4 * plainBytes, 4 * plainBytes, 12>(bytes, in, count, bytes, out);
        } else if constexpr (Mode == DecodeMode::Ucn) {
            DecodeRun<UcnEight<false>, 8 * plainBytes, 52, 24>(bytes, in, count, bytes, out);
            DecodeRun<UcnFour<false>, 4 * plainBytes, 28, 12>(bytes, in, count, bytes, out);
        }
        return in != start;
    }

    // The json mode's "\u" escapes, 6 bytes each, that may stand unescaped
    // and have three UTF-8 bytes, from in[i] into out[o].
    static constexpr bool DecodesJsonGroups = true;

    static void DecodeJsonGroups(const unsigned char* in, std::size_t& i, std::size_t count, unsigned char* out,
                                 std::size_t& o)
    {
        DecodeRun<UcnEight<true>, 48, 52, 24>(in, i, count, out, o);
        DecodeRun<UcnFour<true>, 24, 28, 12>(in, i, count, out, o);
    }
};

BlockStep DecodeBlock(Utf8DecodeState& state, unsigned char* bytes, std::size_t count, bool atEnd)
{
    return DecodeUtf8Block<Avx2>(state, bytes, count, atEnd);
}

}  // namespace

const Utf8Kernel Utf8KernelAvx2 = {DecodeBlock, Check};
const FormatKernel FormatKernelAvx2 = {DecodeFormatBlockFor<Avx2, unsigned char>, DecodeFormatBlockFor<Avx2, char16_t>};
