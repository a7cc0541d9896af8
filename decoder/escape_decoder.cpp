#include "escape_decoder.h"

#include "white_space.h"

#include <cstddef>
#include <cstring>

// DECODER_NO_SSE2 forces the portable code on an SSE2 target, so that tests
// can check it there too.
#if !defined(DECODER_NO_SSE2) && \
    (defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2))
#define DECODER_HAVE_SSE2 1
#include <emmintrin.h>
#if defined(_MSC_VER)
#include <intrin.h>
#endif
#endif

// Where the compiler can build AVX2 code into a function of its own, that
// code is used on processors that have it (checked at run time); the SSE2
// code serves the others. DECODER_NO_AVX2 leaves it out.
#if defined(DECODER_HAVE_SSE2) && !defined(DECODER_NO_AVX2) && \
    (defined(__GNUC__) || defined(__clang__) || defined(_MSC_VER))
#define DECODER_HAVE_AVX2 1
#include <immintrin.h>
#if defined(_MSC_VER) && !defined(__clang__)
#define DECODER_TARGET_AVX2
#else
#define DECODER_TARGET_AVX2 __attribute__((target("avx2")))
#endif
#endif

// The searches read whole aligned blocks, which may reach past the terminator
// but never into another page. AddressSanitizer cannot know that.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DECODER_NO_SANITIZE_ADDRESS __attribute__((no_sanitize_address))
#endif
#endif
#if !defined(DECODER_NO_SANITIZE_ADDRESS) && defined(__SANITIZE_ADDRESS__)
#if defined(_MSC_VER) && !defined(__clang__)
#define DECODER_NO_SANITIZE_ADDRESS __declspec(no_sanitize_address)
#else
#define DECODER_NO_SANITIZE_ADDRESS __attribute__((no_sanitize_address))
#endif
#endif
#if !defined(DECODER_NO_SANITIZE_ADDRESS)
#define DECODER_NO_SANITIZE_ADDRESS
#endif

namespace {

const std::size_t CharRefFieldUnits = 5;
const std::size_t UcnFieldUnits = 4;
const unsigned NotADigit = 36;

// Worth of an ASCII digit or letter (0-9, A-Z and a-z give 0 to 35); every
// other unit, fullwidth forms included, is no digit.
unsigned DigitWorth(char16_t unit)
{
    if (unit >= u'0' && unit <= u'9')
        return unit - u'0';
    if (unit >= u'A' && unit <= u'Z')
        return unit - u'A' + 10;
    if (unit >= u'a' && unit <= u'z')
        return unit - u'a' + 10;
    return NotADigit;
}

bool IsFieldSpace(char16_t unit)
{
    if (unit == u' ' || (unit >= u'\t' && unit <= u'\r'))
        return true;
    if (unit < 0x100 || unit == 0xFFFF)
        return false;
    return IsWideSpaceUnit(unit);
}

// Hexadecimal worth of the ASCII units, 16 for every other one.
struct HexTable {
    unsigned char worth[128];
    constexpr HexTable() : worth()
    {
        for (unsigned unit = 0; unit < 128; ++unit) {
            const unsigned digit = unit >= '0' && unit <= '9' ? unit - '0'
                                   : unit >= 'A' && unit <= 'F' ? unit - 'A' + 10
                                   : unit >= 'a' && unit <= 'f' ? unit - 'a' + 10
                                                                 : 16;
            worth[unit] = static_cast<unsigned char>(digit);
        }
    }
};
constexpr HexTable Hex;

unsigned HexWorth(char16_t unit)
{
    return unit < 128 ? Hex.worth[unit] : 16;
}

template <std::int32_t Mode>
struct Prefix;
template <>
struct Prefix<DecodeModeCharRef> {
    static constexpr char16_t First = u'&';
    static constexpr char16_t Second = u'#';
};
template <>
struct Prefix<DecodeModeUcn> {
    static constexpr char16_t First = u'\\';
    static constexpr char16_t Second = u'u';
};

template <std::int32_t Mode>
bool AtPrefix(const char16_t* p)
{
    return p[0] == Prefix<Mode>::First && p[1] == Prefix<Mode>::Second;
}

// Moves [from, to) down to `out` and returns the end of the copy. `out` never
// lies after `from`. Short runs, as between escapes close together, are
// copied inline; every load is done before the stores that may overlap it.
char16_t* MoveDown(char16_t* out, const char16_t* from, const char16_t* to)
{
    const std::size_t count = static_cast<std::size_t>(to - from);
    if (out == from)
        return out + count;
    if (count >= 4 && count <= 8) {
        std::uint64_t head;
        std::uint64_t tail;
        std::memcpy(&head, from, sizeof head);
        std::memcpy(&tail, to - 4, sizeof tail);
        std::memcpy(out, &head, sizeof head);
        std::memcpy(out + count - 4, &tail, sizeof tail);
    } else if (count >= 2 && count < 4) {
        std::uint32_t head;
        std::uint32_t tail;
        std::memcpy(&head, from, sizeof head);
        std::memcpy(&tail, to - 2, sizeof tail);
        std::memcpy(out, &head, sizeof head);
        std::memcpy(out + count - 2, &tail, sizeof tail);
    } else if (count == 1) {
        *out = *from;
    } else if (count != 0) {
        std::memmove(out, from, count * sizeof(char16_t));
    }
    return out + count;
}

// The usual shape "&#" digits ";" read unit by unit; nothing past the first
// unit that is no digit is read. Returns false for any other shape, which
// ReadCharRefField then reads; both give the same value and end.
bool ReadPlainCharRef(const char16_t*& cursor, std::uint32_t& value)
{
    const char16_t* p = cursor;
    std::uint32_t sum = 0;
    std::size_t count = 0;
    for (; count < CharRefFieldUnits; ++count) {
        const unsigned digit = static_cast<unsigned>(p[count]) - u'0';
        if (digit > 9)
            break;
        sum = sum * 10 + digit;
    }
    if (count == 0 || p[count] != u';')
        return false;
    cursor = p + count + 1;
    value = sum;
    return true;
}

// The usual shape "\u" and four hexadecimal digits, read unit by unit.
bool ReadPlainUcn(const char16_t*& cursor, std::uint32_t& value)
{
    const char16_t* p = cursor;
    std::uint32_t sum = 0;
    for (std::size_t count = 0; count < UcnFieldUnits; ++count) {
        const unsigned digit = HexWorth(p[count]);
        if (digit > 15)
            return false;
        sum = sum * 16 + digit;
    }
    cursor = p + UcnFieldUnits;
    value = sum;
    return true;
}

#if defined(DECODER_HAVE_SSE2)

unsigned LowestSetBit(unsigned mask)
{
#if defined(_MSC_VER)
    unsigned long index;
    _BitScanForward(&index, mask);
    return index;
#else
    return static_cast<unsigned>(__builtin_ctz(mask));
#endif
}

const char16_t* AlignDown(const char16_t* p, std::uintptr_t bytes)
{
    return reinterpret_cast<const char16_t*>(reinterpret_cast<std::uintptr_t>(p) & ~(bytes - 1));
}

bool IsAligned(const char16_t* p, std::uintptr_t bytes)
{
    return (reinterpret_cast<std::uintptr_t>(p) & (bytes - 1)) == 0;
}

DECODER_NO_SANITIZE_ADDRESS
__m128i LoadBlock(const char16_t* p)
{
    return _mm_load_si128(reinterpret_cast<const __m128i*>(p));
}

__m128i LoadUnits(const char16_t* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Two bits per unit of the aligned block at `block` that is `unit` or the
// terminator.
DECODER_NO_SANITIZE_ADDRESS
unsigned HitMask(const char16_t* block, __m128i unit)
{
    const __m128i units = LoadBlock(block);
    const __m128i hits = _mm_or_si128(_mm_cmpeq_epi16(units, unit), _mm_cmpeq_epi16(units, _mm_setzero_si128()));
    return static_cast<unsigned>(_mm_movemask_epi8(hits));
}

// Four aligned blocks as 32 bytes in two vectors, with signed saturation:
// a unit below 0x80 keeps its value and every other unit becomes 0x7F or a
// byte from 0x80 up. So a byte is 0 exactly where the terminator is, and
// equals an ASCII unit exactly where that unit is.
DECODER_NO_SANITIZE_ADDRESS
void LoadNarrowed(const char16_t* group, __m128i& low, __m128i& high)
{
    low = _mm_packs_epi16(LoadBlock(group), LoadBlock(group + 8));
    high = _mm_packs_epi16(LoadBlock(group + 16), LoadBlock(group + 24));
}

// First unit at or after `p` that equals `unit` (an ASCII unit) or ends the
// text. Reads aligned 16-byte blocks, then aligned 128-byte groups, none of
// which crosses a page.
DECODER_NO_SANITIZE_ADDRESS
const char16_t* FindUnitOrEnd(const char16_t* p, char16_t unit)
{
    const __m128i wide = _mm_set1_epi16(static_cast<short>(unit));
    const char16_t* block = AlignDown(p, 16);
    unsigned mask = HitMask(block, wide) >> (2 * (p - block));
    if (mask != 0)
        return p + LowestSetBit(mask) / 2;
    for (block += 8; !IsAligned(block, 128); block += 8) {
        mask = HitMask(block, wide);
        if (mask != 0)
            return block + LowestSetBit(mask) / 2;
    }
    // 128-byte groups: the terminator makes the bytes' minimum 0, `unit`
    // makes a byte compare equal.
    const __m128i narrow = _mm_set1_epi8(static_cast<char>(unit));
    const __m128i zero = _mm_setzero_si128();
    for (;; block += 64) {
        __m128i bytes0;
        __m128i bytes1;
        __m128i bytes2;
        __m128i bytes3;
        LoadNarrowed(block, bytes0, bytes1);
        LoadNarrowed(block + 32, bytes2, bytes3);
        const __m128i least = _mm_min_epu8(_mm_min_epu8(bytes0, bytes1), _mm_min_epu8(bytes2, bytes3));
        const __m128i equal = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes0, narrow), _mm_cmpeq_epi8(bytes1, narrow)),
                                           _mm_or_si128(_mm_cmpeq_epi8(bytes2, narrow), _mm_cmpeq_epi8(bytes3, narrow)));
        if (_mm_movemask_epi8(_mm_or_si128(equal, _mm_cmpeq_epi8(least, zero))) != 0)
            break;
    }
    for (;; block += 8) {
        mask = HitMask(block, wide);
        if (mask != 0)
            return block + LowestSetBit(mask) / 2;
    }
}

// How far the text is known to hold no terminator: whole vectors may be
// loaded from anywhere before `end`. `end` never passes the terminator.
struct KnownText {
    const char16_t* end;
};

// True when the aligned 128-byte group at `group` holds a terminator.
DECODER_NO_SANITIZE_ADDRESS
bool GroupHasEnd(const char16_t* group)
{
    __m128i bytes0;
    __m128i bytes1;
    __m128i bytes2;
    __m128i bytes3;
    LoadNarrowed(group, bytes0, bytes1);
    LoadNarrowed(group + 32, bytes2, bytes3);
    const __m128i least = _mm_min_epu8(_mm_min_epu8(bytes0, bytes1), _mm_min_epu8(bytes2, bytes3));
    return _mm_movemask_epi8(_mm_cmpeq_epi8(least, _mm_setzero_si128())) != 0;
}

// Moves `known.end` to `need` or further, or onto the terminator when that
// comes first.
DECODER_NO_SANITIZE_ADDRESS
void ExtendKnown(KnownText& known, const char16_t* need)
{
    const __m128i zero = _mm_setzero_si128();
    const char16_t* block = AlignDown(known.end, 16);
    unsigned mask = HitMask(block, zero) >> (2 * (known.end - block));
    if (mask != 0) {
        known.end += LowestSetBit(mask) / 2;
        return;
    }
    for (block += 8; block < need;) {
        if (IsAligned(block, 128) && !GroupHasEnd(block)) {
            block += 64;
            continue;
        }
        mask = HitMask(block, zero);
        if (mask != 0) {
            known.end = block + LowestSetBit(mask) / 2;
            return;
        }
        block += 8;
    }
    known.end = block;
}

// How far ahead of their need the group loops extend the known text, so that
// text full of escapes extends it once per many groups.
const std::size_t KnownAhead = 2048;

// True when the units before `need` are known to hold no terminator, after
// extending the known text to `ahead` units past `need` if needed.
bool Covers(KnownText& known, const char16_t* need, std::size_t ahead = 0)
{
    if (need <= known.end)
        return true;
    ExtendKnown(known, need + ahead);
    return need <= known.end;
}

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

__m128i LoadLow(const char16_t* p)
{
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}

// True when each of `count` places 6 units apart from `p` on holds "\u".
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

// Four references "&#" + 5 digits + ";" back to back at `p` (32 units known
// to be readable), written as four units at `out`. False, with nothing
// written, when any of them has another shape or a value whose low 16 bits
// are 0. Dense text of ideographs is made of these.
bool DecodeCharRefGroup(const char16_t* p, char16_t* out)
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

// Four names "\u" + 4 hexadecimal digits back to back at `p` (24 units known
// to be readable), written as four units at `out`; false, with nothing
// written, as for DecodeCharRefGroup.
bool DecodeUcnGroup(const char16_t* p, char16_t* out)
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

// Decodes groups of four plain escapes from `in` on while the text is made of
// them, and returns where they end.
template <std::int32_t Mode>
const char16_t* DecodeGroups(const char16_t* in, char16_t*& out, KnownText& known)
{
    const std::size_t stride = Mode == DecodeModeCharRef ? 8 : 6;
    const std::size_t size = 4 * stride;
    char16_t* to = out;
    // The inner loop calls nothing, so that its constants stay in registers.
    while (Covers(known, in + stride + 1) && in[stride] == Prefix<Mode>::First &&
           Covers(known, in + size, KnownAhead)) {
        const char16_t* const end = known.end;
        while (in + size <= end &&
               (Mode == DecodeModeCharRef ? DecodeCharRefGroup(in, to) : DecodeUcnGroup(in, to))) {
            in += size;
            to += 4;
        }
        if (in + size <= end)
            break;  // a group of another shape
    }
    out = to;
    return in;
}

// "&#", 1 to 5 digits and ";" at `p` (8 units known to be readable), read
// with one load. Same contract as ReadPlainCharRef, with the cursor at the
// prefix.
bool ReadCharRefVector(const char16_t*& cursor, std::uint32_t& value)
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

#if defined(DECODER_HAVE_AVX2)

bool DetectAvx2()
{
#if defined(_MSC_VER) && !defined(__clang__)
    int info[4];
    __cpuid(info, 0);
    if (info[0] < 7)
        return false;
    __cpuid(info, 1);
    const int osxsave_avx = 1 << 27 | 1 << 28;
    if ((info[2] & osxsave_avx) != osxsave_avx || (_xgetbv(0) & 6) != 6)
        return false;  // the system does not keep the AVX registers
    __cpuidex(info, 7, 0);
    return (info[1] & 1 << 5) != 0;
#else
    return __builtin_cpu_supports("avx2") != 0;
#endif
}

bool HasAvx2()
{
    static const bool has = DetectAvx2();
    return has;
}

// FindUnitOrEnd with aligned 128-byte groups read 32 bytes at a time.
DECODER_NO_SANITIZE_ADDRESS DECODER_TARGET_AVX2
const char16_t* FindUnitOrEndAvx2(const char16_t* p, char16_t unit)
{
    const __m128i wide = _mm_set1_epi16(static_cast<short>(unit));
    const char16_t* block = AlignDown(p, 16);
    unsigned mask = HitMask(block, wide) >> (2 * (p - block));
    if (mask != 0)
        return p + LowestSetBit(mask) / 2;
    for (block += 8; !IsAligned(block, 128); block += 8) {
        mask = HitMask(block, wide);
        if (mask != 0)
            return block + LowestSetBit(mask) / 2;
    }
    const __m256i narrow = _mm256_set1_epi8(static_cast<char>(unit));
    for (;; block += 64) {
        // Narrowed as in LoadNarrowed; the order of the bytes does not matter.
        const __m256i* const blocks = reinterpret_cast<const __m256i*>(block);
        const __m256i bytes01 = _mm256_packs_epi16(_mm256_load_si256(blocks), _mm256_load_si256(blocks + 1));
        const __m256i bytes23 = _mm256_packs_epi16(_mm256_load_si256(blocks + 2), _mm256_load_si256(blocks + 3));
        const __m256i least = _mm256_min_epu8(bytes01, bytes23);
        const __m256i equal = _mm256_or_si256(_mm256_cmpeq_epi8(bytes01, narrow), _mm256_cmpeq_epi8(bytes23, narrow));
        if (_mm256_movemask_epi8(_mm256_or_si256(equal, _mm256_cmpeq_epi8(least, _mm256_setzero_si256()))) != 0)
            break;
    }
    for (;; block += 8) {
        mask = HitMask(block, wide);
        if (mask != 0)
            return block + LowestSetBit(mask) / 2;
    }
}

// Eight references "&#" + 5 digits + ";" back to back at `p` (64 units known
// to be readable), two to a 32-byte vector, written as eight units at `out`;
// false, with nothing written, as for DecodeCharRefGroup, whose steps are
// done here in each 16-byte half.
DECODER_TARGET_AVX2
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
// known to be readable), written as eight units at `out`; false, with
// nothing written, as for DecodeUcnGroup.
DECODER_TARGET_AVX2
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

// True when the aligned 256-byte stretch at `block` holds a terminator.
DECODER_NO_SANITIZE_ADDRESS DECODER_TARGET_AVX2
bool StretchHasEndAvx2(const char16_t* block)
{
    const __m256i* const blocks = reinterpret_cast<const __m256i*>(block);
    const __m256i bytes01 = _mm256_packs_epi16(_mm256_load_si256(blocks), _mm256_load_si256(blocks + 1));
    const __m256i bytes23 = _mm256_packs_epi16(_mm256_load_si256(blocks + 2), _mm256_load_si256(blocks + 3));
    const __m256i bytes45 = _mm256_packs_epi16(_mm256_load_si256(blocks + 4), _mm256_load_si256(blocks + 5));
    const __m256i bytes67 = _mm256_packs_epi16(_mm256_load_si256(blocks + 6), _mm256_load_si256(blocks + 7));
    const __m256i least = _mm256_min_epu8(_mm256_min_epu8(bytes01, bytes23), _mm256_min_epu8(bytes45, bytes67));
    return _mm256_movemask_epi8(_mm256_cmpeq_epi8(least, _mm256_setzero_si256())) != 0;
}

// ExtendKnown reading aligned 256-byte stretches.
DECODER_NO_SANITIZE_ADDRESS DECODER_TARGET_AVX2
void ExtendKnownAvx2(KnownText& known, const char16_t* need)
{
    const __m128i zero = _mm_setzero_si128();
    const char16_t* block = AlignDown(known.end, 16);
    unsigned mask = HitMask(block, zero) >> (2 * (known.end - block));
    if (mask != 0) {
        known.end += LowestSetBit(mask) / 2;
        return;
    }
    for (block += 8; block < need;) {
        if (IsAligned(block, 256) && !StretchHasEndAvx2(block)) {
            block += 128;
            continue;
        }
        mask = HitMask(block, zero);
        if (mask != 0) {
            known.end = block + LowestSetBit(mask) / 2;
            return;
        }
        block += 8;
    }
    known.end = block;
}

DECODER_TARGET_AVX2
bool CoversAvx2(KnownText& known, const char16_t* need, std::size_t ahead = 0)
{
    if (need <= known.end)
        return true;
    ExtendKnownAvx2(known, need + ahead);
    return need <= known.end;
}

// DecodeGroups with groups of eight.
template <std::int32_t Mode>
DECODER_TARGET_AVX2 const char16_t* DecodeGroupsAvx2(const char16_t* in, char16_t*& out, KnownText& known)
{
    const std::size_t stride = Mode == DecodeModeCharRef ? 8 : 6;
    const std::size_t size = 8 * stride;
    char16_t* to = out;
    while (CoversAvx2(known, in + stride + 1) && in[stride] == Prefix<Mode>::First &&
           CoversAvx2(known, in + size, KnownAhead)) {
        const char16_t* const end = known.end;
        while (in + size <= end &&
               (Mode == DecodeModeCharRef ? DecodeCharRefGroupAvx2(in, to) : DecodeUcnGroupAvx2(in, to))) {
            in += size;
            to += 8;
        }
        if (in + size <= end)
            break;
    }
    out = to;
    return in;
}

#endif  // DECODER_HAVE_AVX2

template <bool Wide>
const char16_t* FindFirstUnit(const char16_t* p, char16_t unit)
{
#if defined(DECODER_HAVE_AVX2)
    if (Wide)
        return FindUnitOrEndAvx2(p, unit);
#endif
    return FindUnitOrEnd(p, unit);
}

// Groups of eight where AVX2 is used, then groups of four.
template <std::int32_t Mode, bool Wide>
const char16_t* DecodeAllGroups(const char16_t* in, char16_t*& out, KnownText& known)
{
#if defined(DECODER_HAVE_AVX2)
    if (Wide)
        in = DecodeGroupsAvx2<Mode>(in, out, known);
#endif
    return DecodeGroups<Mode>(in, out, known);
}

#else  // portable

struct KnownText {
    const char16_t* end;
};

// First unit at or after `p` that equals `unit` or ends the text, four units
// at a time in aligned 8-byte words, which never cross a page.
DECODER_NO_SANITIZE_ADDRESS
const char16_t* FindUnitOrEnd(const char16_t* p, char16_t unit)
{
    while ((reinterpret_cast<std::uintptr_t>(p) & 7) != 0) {
        if (*p == unit || *p == 0)
            return p;
        ++p;
    }
    const std::uint64_t ones = 0x0001000100010001u;
    const std::uint64_t highs = 0x8000800080008000u;
    const std::uint64_t needle = ones * unit;
    for (;; p += 4) {
        std::uint64_t word;
        std::memcpy(&word, p, sizeof word);
        const std::uint64_t matches = word ^ needle;
        // A 16-bit lane is 0 in `word` or in `matches` exactly when one of
        // these has its lane's high bit set somewhere.
        if ((((word - ones) & ~word) | ((matches - ones) & ~matches)) & highs)
            break;
    }
    while (*p != unit && *p != 0)
        ++p;
    return p;
}

template <bool Wide>
const char16_t* FindFirstUnit(const char16_t* p, char16_t unit)
{
    return FindUnitOrEnd(p, unit);
}

#endif

// Reads the escape whose field starts at `cursor`, by the quickest way that
// gives the readers' result, and moves `cursor` past it.
template <std::int32_t Mode>
std::uint32_t ReadEscape(const char16_t*& cursor, KnownText& known)
{
    std::uint32_t value;
    if (Mode == DecodeModeCharRef) {
#if defined(DECODER_HAVE_SSE2)
        if (Covers(known, cursor + 6))
            return ReadCharRefVector(cursor, value) ? value : ReadCharRefField(cursor);
#endif
        return ReadPlainCharRef(cursor, value) ? value : ReadCharRefField(cursor);
    }
    (void)known;
    return ReadPlainUcn(cursor, value) ? value : ReadUcnField(cursor);
}

// Decodes the escapes that stand back to back from `in`, which is at a
// prefix, and returns where the search for the next prefix goes on.
template <std::int32_t Mode, bool Wide>
const char16_t* DecodeRun(const char16_t* in, char16_t*& out, KnownText& known)
{
    for (;;) {
#if defined(DECODER_HAVE_SSE2)
        in = DecodeAllGroups<Mode, Wide>(in, out, known);
        if (!AtPrefix<Mode>(in))
            return in;
#endif
        const char16_t* cursor = in + 2;
        const char16_t unit = static_cast<char16_t>(ReadEscape<Mode>(cursor, known));
        if (unit == 0) {
            out = MoveDown(out, in, cursor);  // the escape stays as it stood
            return cursor;
        }
        *out++ = unit;
        in = cursor;
        if (!AtPrefix<Mode>(in))
            return in;
    }
}

// First place at or after `p` where the prefix of `Mode` stands, or the
// terminator when there is none.
template <std::int32_t Mode, bool Wide>
const char16_t* FindPrefix(const char16_t* p)
{
    for (;;) {
        p = FindFirstUnit<Wide>(p, Prefix<Mode>::First);
        if (*p == 0 || p[1] == Prefix<Mode>::Second)
            return p;
        ++p;
    }
}

// One forward pass: `in` is where the text not yet looked at begins, `out`
// where the decoded text ends. `out` never passes `in`, so the decoded text
// grows in the same buffer behind the reading, and a written unit is never
// read again. `Wide` picks the AVX2 code.
template <std::int32_t Mode, bool Wide>
void DecodeWith(char16_t* text)
{
    char16_t* out = text;
    const char16_t* in = text;
    KnownText known = {text};
    for (;;) {
        const char16_t* start = FindPrefix<Mode, Wide>(in);
        out = MoveDown(out, in, start);
        if (*start == 0)
            break;
        if (known.end < start + 2)
            known.end = start + 2;  // the search passed no terminator
        in = DecodeRun<Mode, Wide>(start, out, known);
    }
    *out = 0;
}

template <std::int32_t Mode>
void DecodeMode(char16_t* text)
{
#if defined(DECODER_HAVE_AVX2)
    if (HasAvx2()) {
        DecodeWith<Mode, true>(text);
        return;
    }
#endif
    DecodeWith<Mode, false>(text);
}

}  // namespace

std::uint32_t ConvertField(const char16_t* field, int base)
{
    const char16_t* p = field;
    while (IsFieldSpace(*p))
        ++p;
    bool negative = false;
    if (*p == u'-') {
        negative = true;
        ++p;
    } else if (*p == u'+') {
        ++p;
    }
    if (base == 16 && p[0] == u'0' && (p[1] == u'x' || p[1] == u'X'))
        p += 2;
    std::uint32_t value = 0;
    for (;; ++p) {
        const unsigned worth = DigitWorth(*p);
        if (worth >= static_cast<unsigned>(base))
            break;
        value = value * static_cast<std::uint32_t>(base) + worth;
    }
    return negative ? 0u - value : value;
}

std::uint32_t ReadCharRefField(const char16_t*& cursor)
{
    const char16_t* p = cursor;
    if (*p == 0)
        return 0;
    char16_t field[CharRefFieldUnits + 1];
    std::size_t count = 0;
    field[count++] = *p++;  // the first unit is taken untested, ';' included
    while (count < CharRefFieldUnits && *p != 0 && *p != u';')
        field[count++] = *p++;
    field[count] = 0;
    const char16_t after = *p;
    if (after == 0) {
        cursor = p;
        return 0;
    }
    cursor = p + 1;  // the unit after the field goes with it, whatever it is
    if (after != u';')
        return 0;
    return ConvertField(field, 10);
}

std::uint32_t ReadUcnField(const char16_t*& cursor)
{
    const char16_t* p = cursor;
    if (*p == 0)
        return 0;
    char16_t field[UcnFieldUnits + 1];
    std::size_t count = 0;
    field[count++] = *p++;
    while (count < UcnFieldUnits && *p != 0)
        field[count++] = *p++;
    field[count] = 0;
    cursor = p;
    return ConvertField(field, 16);
}

void DecodeText(char16_t* text, std::int32_t mode)
{
    if (mode == DecodeModeCharRef)
        DecodeMode<DecodeModeCharRef>(text);
    else if (mode == DecodeModeUcn)
        DecodeMode<DecodeModeUcn>(text);
}
