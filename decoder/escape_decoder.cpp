#include "escape_decoder.h"

#include "white_space.h"

#include <cstddef>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define DECODER_HAVE_SSE2 1
#include <emmintrin.h>
#if defined(_MSC_VER)
#include <intrin.h>
#endif
#endif

// The SSE2 search reads whole aligned 16-byte blocks, which may reach past the
// terminator but never into another page. AddressSanitizer cannot know that.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DECODER_NO_SANITIZE_ADDRESS __attribute__((no_sanitize_address))
#endif
#endif
#if !defined(DECODER_NO_SANITIZE_ADDRESS) && defined(__SANITIZE_ADDRESS__)
#define DECODER_NO_SANITIZE_ADDRESS __attribute__((no_sanitize_address))
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

// First unit at or after `p` that equals `unit` or ends the text.
DECODER_NO_SANITIZE_ADDRESS
const char16_t* FindUnitOrEnd(const char16_t* p, char16_t unit)
{
    while (reinterpret_cast<std::uintptr_t>(p) & 15) {
        if (*p == unit || *p == 0)
            return p;
        ++p;
    }
    const __m128i needle = _mm_set1_epi16(static_cast<short>(unit));
    const __m128i zero = _mm_setzero_si128();
    for (;; p += 8) {
        const __m128i block = _mm_load_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hits = _mm_or_si128(_mm_cmpeq_epi16(block, needle), _mm_cmpeq_epi16(block, zero));
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
        if (mask != 0)
            return p + LowestSetBit(mask) / 2;
    }
}
#else
const char16_t* FindUnitOrEnd(const char16_t* p, char16_t unit)
{
    while (*p != unit && *p != 0)
        ++p;
    return p;
}
#endif

// First place at or after `p` where `first` is followed by `second`, or the
// terminator when there is none.
const char16_t* FindPrefix(const char16_t* p, char16_t first, char16_t second)
{
    for (;;) {
        p = FindUnitOrEnd(p, first);
        if (*p == 0 || p[1] == second)
            return p;
        ++p;
    }
}

// The usual shape "&#" digits ";" read in one go, so that text full of
// references does not pay for the field copy. Returns false for any other
// shape, which ReadCharRefField then reads; both give the same value and end.
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

// The usual shape "\u" and four hexadecimal digits, read in one go.
bool ReadPlainUcn(const char16_t*& cursor, std::uint32_t& value)
{
    const char16_t* p = cursor;
    std::uint32_t sum = 0;
    for (std::size_t count = 0; count < UcnFieldUnits; ++count) {
        const unsigned digit = DigitWorth(p[count]);
        if (digit > 15)
            return false;
        sum = sum * 16 + digit;
    }
    cursor = p + UcnFieldUnits;
    value = sum;
    return true;
}

std::uint32_t ReadField(std::int32_t mode, const char16_t*& cursor)
{
    std::uint32_t value;
    if (mode == DecodeModeCharRef)
        return ReadPlainCharRef(cursor, value) ? value : ReadCharRefField(cursor);
    return ReadPlainUcn(cursor, value) ? value : ReadUcnField(cursor);
}

// Moves [from, to) down to `out` and returns the end of the copy. `out` never
// lies after `from`, so nothing is overwritten before it is read.
char16_t* MoveDown(char16_t* out, const char16_t* from, const char16_t* to)
{
    const std::size_t count = static_cast<std::size_t>(to - from);
    if (out != from && count != 0)
        std::memmove(out, from, count * sizeof(char16_t));
    return out + count;
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

// One forward pass: `in` is where the text not yet looked at begins, `out`
// where the decoded text ends. `out` never passes `in`, so the decoded text
// grows in the same buffer behind the reading, and a written unit is never
// read again.
void DecodeText(char16_t* text, std::int32_t mode)
{
    if (mode != DecodeModeCharRef && mode != DecodeModeUcn)
        return;
    const char16_t first = mode == DecodeModeCharRef ? u'&' : u'\\';
    const char16_t second = mode == DecodeModeCharRef ? u'#' : u'u';

    char16_t* out = text;
    const char16_t* in = text;
    for (;;) {
        const char16_t* start = FindPrefix(in, first, second);
        out = MoveDown(out, in, start);
        if (*start == 0)
            break;
        const char16_t* cursor = start + 2;
        const char16_t unit = static_cast<char16_t>(ReadField(mode, cursor));
        if (unit != 0)
            *out++ = unit;
        else
            out = MoveDown(out, start, cursor);  // the escape stays as it stood
        in = cursor;
    }
    *out = 0;
}
