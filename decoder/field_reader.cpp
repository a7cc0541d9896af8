// The field readers and the number conversion: the rules that every kernel
// falls back on for an escape that is not of the plain shape.
#include "escape_decoder.h"

#include "white_space.h"

#include <cstddef>

namespace {

const unsigned NotADigit = 36;

// Value of an ASCII digit or letter (0-9, A-Z and a-z give 0 to 35); every
// other unit, fullwidth forms included, is no digit.
unsigned DigitValue(char16_t unit)
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
    return IsSpaceAboveLatin1(unit);
}

// Copies the field that starts at `p` into `field` and ends it with 0: the
// first unit untested (a ';' included), then up to `most` units in all,
// stopping before the terminator or `stop`. Returns where the field ends in
// the text.
const char16_t* CopyField(const char16_t* p, char16_t* field, std::size_t most, char16_t stop)
{
    std::size_t count = 0;
    field[count++] = *p++;
    while (count < most && *p != 0 && *p != stop)
        field[count++] = *p++;
    field[count] = 0;
    return p;
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
        const unsigned digit = DigitValue(*p);
        if (digit >= static_cast<unsigned>(base))
            break;
        value = value * static_cast<std::uint32_t>(base) + digit;
    }
    return negative ? 0u - value : value;
}

std::uint32_t ReadCharRefField(const char16_t*& cursor)
{
    constexpr const EscapeSyntax& syntax = SyntaxOf<DecodeMode::CharRef>();
    if (*cursor == 0)
        return 0;
    char16_t field[syntax.fieldUnits + 1];
    const char16_t* const end = CopyField(cursor, field, syntax.fieldUnits, syntax.closer);
    if (*end == 0) {
        cursor = end;
        return 0;
    }
    cursor = end + 1;  // the unit after the field goes with it, whatever it is
    if (*end != syntax.closer)
        return 0;
    return ConvertField(field, syntax.base);
}

std::uint32_t ReadUcnField(const char16_t*& cursor)
{
    constexpr const EscapeSyntax& syntax = SyntaxOf<DecodeMode::Ucn>();
    if (*cursor == 0)
        return 0;
    char16_t field[syntax.fieldUnits + 1];
    cursor = CopyField(cursor, field, syntax.fieldUnits, syntax.closer);
    return ConvertField(field, syntax.base);
}
