// The AVX2 kernel: searches and checks the bytes 64 at a time, and decodes
// plain escapes back to back straight into UTF-8, references four at a time
// and names eight, then four, at a time (the json mode's "\u" escapes too).
#include "format_driver.h"
#include "text_kernels/hex_digits_avx2.h"
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

// The well-formedness check, 64 bytes a step, by the lookup-table method of
// Keiser and Lemire, "Validating UTF-8 In Less Than One Instruction Per
// Byte" (2021). A byte's high nibble tells its class: 0-7 ASCII, 8-B a
// continuation, C-D the lead of two bytes, E of three, F of four. Nearly
// every way for UTF-8 to be ill-formed shows in two bytes in a row, and
// each of those ways is a product of three nibble sets: the first byte's
// high nibble, its low nibble and the second byte's high nibble. Each way
// gets a flag bit; three 16-entry tables, indexed by those nibbles, say for
// each nibble which ways it takes part in, and a pair of bytes is
// ill-formed in a way when all three lookups carry its bit. What two bytes
// cannot tell, whether a continuation after a continuation is the third or
// fourth byte of a character, the lead two or three bytes back tells.

// The ways for a pair of bytes to be ill-formed, one bit each.
enum PairFlaw : std::uint8_t {
    LeadWithoutContinuation = 1 << 0,        // a lead, then anything but a continuation
    ContinuationWithoutLead = 1 << 1,        // ASCII, then a continuation
    OverlongTwoBytes = 1 << 2,               // C0 or C1: below U+0080 in two bytes
    OverlongThreeBytes = 1 << 3,             // E0 80..9F: below U+0800 in three bytes
    SurrogateCode = 1 << 4,                  // ED A0..BF: U+D800 to U+DFFF
    FourByteLeadOutOfRange = 1 << 5,         // F0 80..8F: below U+10000; F5..FF 80..8F: above U+10FFFF
    AboveLastCharacter = 1 << 6,             // F4..FF 90..BF: above U+10FFFF
    ContinuationAfterContinuation = 1 << 7,  // right only as a third or fourth byte
};

// A set of nibble values, bit n for nibble n.
constexpr std::uint16_t NibblesFrom(unsigned first, unsigned last)
{
    return static_cast<std::uint16_t>((0xFFFFu >> (15 - last)) & (0xFFFFu << first));
}
constexpr std::uint16_t AsciiNibbles = NibblesFrom(0x0, 0x7);
constexpr std::uint16_t ContinuationNibbles = NibblesFrom(0x8, 0xB);
constexpr std::uint16_t LeadNibbles = NibblesFrom(0xC, 0xF);
constexpr std::uint16_t AnyNibble = NibblesFrom(0x0, 0xF);

// One way to be ill-formed: the first byte's high and low nibble and the
// second byte's high nibble in these sets.
struct PairRule {
    PairFlaw flaw;
    std::uint16_t firstHigh;
    std::uint16_t firstLow;
    std::uint16_t secondHigh;
};

constexpr PairRule PairRules[] = {
    {LeadWithoutContinuation, LeadNibbles, AnyNibble, AsciiNibbles | LeadNibbles},
    {ContinuationWithoutLead, AsciiNibbles, AnyNibble, ContinuationNibbles},
    {OverlongTwoBytes, NibblesFrom(0xC, 0xC), NibblesFrom(0x0, 0x1), ContinuationNibbles},
    {OverlongThreeBytes, NibblesFrom(0xE, 0xE), NibblesFrom(0x0, 0x0), NibblesFrom(0x8, 0x9)},
    {SurrogateCode, NibblesFrom(0xE, 0xE), NibblesFrom(0xD, 0xD), NibblesFrom(0xA, 0xB)},
    {FourByteLeadOutOfRange, NibblesFrom(0xF, 0xF), NibblesFrom(0x0, 0x0) | NibblesFrom(0x5, 0xF),
     NibblesFrom(0x8, 0x8)},
    {AboveLastCharacter, NibblesFrom(0xF, 0xF), NibblesFrom(0x4, 0xF), NibblesFrom(0x9, 0xB)},
    {ContinuationAfterContinuation, ContinuationNibbles, AnyNibble, ContinuationNibbles},
};

// For each nibble value, the flaws whose set given by `part` holds it.
struct NibbleFlaws {
    std::uint8_t flaws[16];
};

constexpr NibbleFlaws FlawsByNibble(std::uint16_t PairRule::*part)
{
    NibbleFlaws table = {};
    for (const PairRule& rule : PairRules) {
        for (unsigned nibble = 0; nibble < 16; ++nibble) {
            if ((rule.*part >> nibble & 1u) != 0)
                table.flaws[nibble] = static_cast<std::uint8_t>(table.flaws[nibble] | rule.flaw);
        }
    }
    return table;
}

constexpr NibbleFlaws FlawsByFirstHigh = FlawsByNibble(&PairRule::firstHigh);
constexpr NibbleFlaws FlawsByFirstLow = FlawsByNibble(&PairRule::firstLow);
constexpr NibbleFlaws FlawsBySecondHigh = FlawsByNibble(&PairRule::secondHigh);

// The flaws of each byte's nibble in `nibbles` (0 to 15 in every byte).
__m256i LookUpFlaws(const NibbleFlaws& table, __m256i nibbles)
{
    const __m128i entries = _mm_loadu_si128(reinterpret_cast<const __m128i*>(table.flaws));
    return _mm256_shuffle_epi8(_mm256_broadcastsi128_si256(entries), nibbles);
}

__m256i HighNibbleOfEachByte(__m256i bytes)
{
    return _mm256_and_si256(_mm256_srli_epi16(bytes, 4), _mm256_set1_epi8(0x0F));
}

__m256i LowNibbleOfEachByte(__m256i bytes)
{
    return _mm256_and_si256(bytes, _mm256_set1_epi8(0x0F));
}

// The bytes `back` places before each byte of `bytes`, the first ones taken
// from the end of `before`, the 32 bytes that precede them.
template <int back>
__m256i BytesBack(__m256i bytes, __m256i before)
{
    // The high half of `before` and the low half of `bytes`, then the
    // 16-byte alignment within each half.
    const __m256i straddle = _mm256_permute2x128_si256(before, bytes, 0x21);
    return _mm256_alignr_epi8(bytes, straddle, 16 - back);
}

// The flaws of each of 32 bytes with the bytes before it: not 0 where the
// UTF-8 rules are broken.
__m256i FlawsOf(__m256i bytes, __m256i before)
{
    const __m256i previous = BytesBack<1>(bytes, before);
    const __m256i pairFlaws =
        _mm256_and_si256(_mm256_and_si256(LookUpFlaws(FlawsByFirstHigh, HighNibbleOfEachByte(previous)),
                                          LookUpFlaws(FlawsByFirstLow, LowNibbleOfEachByte(previous))),
                         LookUpFlaws(FlawsBySecondHigh, HighNibbleOfEachByte(bytes)));
    // A byte must be a continuation when the lead of three or four bytes
    // stands two bytes back (E0..FF), or that of four three bytes back
    // (F0..FF): bit 7 of the distance above the lead's first value less
    // 0x80, unsigned and saturated.
    const __m256i leadOfThreeBack2 =
        _mm256_subs_epu8(BytesBack<2>(bytes, before), _mm256_set1_epi8(static_cast<char>(0xE0 - 0x80)));
    const __m256i leadOfFourBack3 =
        _mm256_subs_epu8(BytesBack<3>(bytes, before), _mm256_set1_epi8(static_cast<char>(0xF0 - 0x80)));
    const __m256i continuationDue =
        _mm256_and_si256(_mm256_or_si256(leadOfThreeBack2, leadOfFourBack3),
                         _mm256_set1_epi8(static_cast<char>(ContinuationAfterContinuation)));
    // A continuation after a continuation is a flaw exactly where none is
    // due; one that is due and missing is one too.
    return _mm256_xor_si256(pairFlaws, continuationDue);
}

// For each place of 32 bytes, the largest byte that may stand there when
// the bytes end after the 32nd: any byte up to three before the end, no
// lead in the last (above BF), no lead of three or four bytes in the one
// before (above DF), no lead of four in the one before that (above EF).
struct LastBytes {
    std::uint8_t largest[32];
};

constexpr LastBytes CompleteAtTheEnd()
{
    LastBytes last = {};
    for (std::uint8_t& byte : last.largest)
        byte = 0xFF;
    last.largest[31] = 0xBF;
    last.largest[30] = 0xDF;
    last.largest[29] = 0xEF;
    return last;
}

constexpr LastBytes LargestAtTheEnd = CompleteAtTheEnd();

// Not 0 where one of the last three bytes begins a character that needs
// more bytes than are left in the 32.
__m256i EndsInsideACharacter(__m256i bytes)
{
    const __m256i largest = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(LargestAtTheEnd.largest));
    return _mm256_subs_epu8(bytes, largest);
}

// True when bytes[0, count) holds no ill-formed sequence. A sequence cut by
// `count` shows as one, since the bytes after it count as ASCII. Where 64
// bytes are ASCII, what came before must have ended whole, and the bytes
// before the next ones are ASCII.
bool LooksWellFormed(const unsigned char* bytes, std::size_t count)
{
    __m256i before = _mm256_setzero_si256();
    __m256i flaws = _mm256_setzero_si256();
    std::size_t i = 0;
    for (; i + 64 <= count; i += 64) {
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i + 32));
        if (_mm256_movemask_epi8(_mm256_or_si256(low, high)) == 0) {
            flaws = _mm256_or_si256(flaws, EndsInsideACharacter(before));
            before = _mm256_setzero_si256();
            continue;
        }
        flaws = _mm256_or_si256(flaws, _mm256_or_si256(FlawsOf(low, before), FlawsOf(high, low)));
        before = high;
    }
    unsigned char rest[64] = {};
    std::memcpy(rest, bytes + i, count - i);
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rest));
    const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rest + 32));
    flaws = _mm256_or_si256(flaws, _mm256_or_si256(FlawsOf(low, before), FlawsOf(high, low)));
    return _mm256_testz_si256(flaws, flaws) != 0;
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
    return _mm256_setr_epi8(0, 1, 2, 8, 9, 10, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 1, 2, 8, 9, 10, -1, -1, -1,
                            -1, -1, -1, -1, -1, -1, -1);
}

__m256i BytesOfLanes01()
{
    return _mm256_setr_epi8(0, 1, 2, 4, 5, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 1, 2, 4, 5, 6, -1, -1, -1, -1,
                            -1, -1, -1, -1, -1, -1);
}

__m256i BytesOfLanes0123()
{
    return _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13,
                            14, -1, -1, -1, -1);
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

// A plain reference "&#00000;" as 8 bytes in memory order, from its row.
constexpr std::uint64_t PlainCharRefBytes()
{
    constexpr const EscapeSyntax& syntax = SyntaxOf<DecodeMode::CharRef>();
    static_assert(syntax.plainUnits == 8, "a reference fills a 64-bit lane");
    std::uint64_t shape = syntax.closer;
    for (std::size_t digit = 0; digit < syntax.fieldUnits; ++digit)
        shape = shape << 8 | '0';
    return shape << 16 | static_cast<std::uint64_t>(syntax.prefix[1]) << 8 | syntax.prefix[0];
}

// 4 references "&#" + 5 digits + ";" back to back (32 bytes).
inline bool CharRefFour(const unsigned char* in, unsigned char* out)
{
    const __m256i shape = _mm256_set1_epi64x(static_cast<long long>(PlainCharRefBytes()));
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
    constexpr const EscapeSyntax& syntax = SyntaxOf<DecodeMode::Ucn>();
    const char first = static_cast<char>(syntax.prefix[0]);
    const char second = static_cast<char>(syntax.prefix[1]);
    const __m256i prefixes = _mm256_setr_epi8(first, second, 0, 0, 0, 0, first, second, 0, 0, 0, 0, 0, 0, 0, 0, first,
                                              second, 0, 0, 0, 0, first, second, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m256i places = _mm256_setr_epi8(-1, -1, 0, 0, 0, 0, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0, -1, -1, 0, 0, 0, 0, -1,
                                            -1, 0, 0, 0, 0, 0, 0, 0, 0);
    return _mm256_and_si256(places, _mm256_xor_si256(names, prefixes));
}

// Shuffles that take the 8 digits of the two names in each half to bytes
// 0 to 7 (DigitsLow) or 8 to 15 (DigitsHigh) of that half; the other bytes
// become 0.
__m256i DigitsLow()
{
    return _mm256_setr_epi8(2, 3, 4, 5, 8, 9, 10, 11, -1, -1, -1, -1, -1, -1, -1, -1, 2, 3, 4, 5, 8, 9, 10, 11, -1, -1,
                            -1, -1, -1, -1, -1, -1);
}

__m256i DigitsHigh()
{
    return _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, 2, 3, 4, 5, 8, 9, 10, 11, -1, -1, -1, -1, -1, -1, -1, -1, 2,
                            3, 4, 5, 8, 9, 10, 11);
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
