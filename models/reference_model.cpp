#include "reference_model.h"

#include "decoder/white_space.h"

#include <cstring>

namespace {

std::size_t Length(const char16_t* text)
{
    std::size_t n = 0;
    while (text[n] != 0)
        ++n;
    return n;
}

bool IsSpace(char16_t c)
{
    switch (c) {
    case 0x09:
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D:
    case 0x20:
        return true;
    default:
        return c >= 0x100 && c != 0xFFFF && IsSpaceAboveLatin1(c);
    }
}

int DigitValue(char16_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    return 99;
}

// wcstoul with a null end pointer, as the rules for the field spell it out.
std::uint32_t Convert(const char16_t* s, int base)
{
    while (IsSpace(*s))
        ++s;
    bool negative = false;
    if (*s == '-') {
        negative = true;
        ++s;
    } else if (*s == '+') {
        ++s;
    }
    if (base == 16 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
        s += 2;
    std::uint32_t value = 0;
    while (DigitValue(*s) < base)
        value = value * base + DigitValue(*s++);
    return negative ? 0u - value : value;
}

std::uint32_t ReadCharRef(char16_t*& cursor)
{
    if (*cursor == 0)
        return 0;
    char16_t field[6] = {};
    int n = 0;
    field[n++] = *cursor++;
    while (n < 5) {
        if (*cursor == 0 || *cursor == ';')
            break;
        field[n++] = *cursor++;
    }
    if (*cursor == 0)
        return 0;
    const char16_t after = *cursor++;
    if (after != ';')
        return 0;
    return Convert(field, 10);
}

std::uint32_t ReadUcn(char16_t*& cursor)
{
    if (*cursor == 0)
        return 0;
    char16_t field[6] = {};
    int n = 0;
    field[n++] = *cursor++;
    while (n < 4 && *cursor != 0)
        field[n++] = *cursor++;
    return Convert(field, 16);
}

char16_t* Search(char16_t* from, char16_t a, char16_t b)
{
    for (char16_t* p = from; *p != 0; ++p)
        if (p[0] == a && p[1] == b)
            return p;
    return nullptr;
}

}  // namespace

void DecodeTextModel(char16_t* text, std::int32_t mode)
{
    if (mode != 0 && mode != 1)
        return;
    const char16_t a = mode == 0 ? u'&' : u'\\';
    const char16_t b = mode == 0 ? u'#' : u'u';
    char16_t* scan = text;
    if (*scan == 0)
        return;
    for (;;) {
        char16_t* start = Search(scan, a, b);
        if (start == nullptr)
            return;
        char16_t* cursor = start + 2;
        const std::uint32_t value = mode == 0 ? ReadCharRef(cursor) : ReadUcn(cursor);
        const char16_t unit = static_cast<char16_t>(value & 0xFFFF);
        if (unit != 0) {
            *start = unit;
            std::memmove(start + 1, cursor, (Length(cursor) + 1) * sizeof(char16_t));
            scan = start + 1;
        } else {
            scan = cursor;
        }
        if (*scan == 0)
            return;
    }
}
