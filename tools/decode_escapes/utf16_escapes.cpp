#include "utf16_escapes.h"

#include "escape_decoder.h"

#include <cstring>

namespace {

// How far back from the end of a block a safe place is looked for, before
// the escapes are followed from the start of the block instead.
const std::size_t CutWindow = 64;

bool PrefixAt(const char16_t* units, std::size_t at, const EscapeSyntax& syntax)
{
    return units[at] == syntax.prefix[0] && units[at + 1] == syntax.prefix[1];
}

// True when no escape can look at both units[cut - 1] and units[cut].
bool IsSafeCut(const char16_t* units, std::size_t cut, const EscapeSyntax& syntax)
{
    const char16_t last = units[cut - 1];
    if (last == 0)
        return true;  // a reader stops at a NUL
    // A closer that is not a field's first unit is the last unit of any
    // escape that looks at it.
    const std::size_t firstField = PrefixUnits + 1;
    const bool fieldsFirst = cut >= firstField && PrefixAt(units, cut - firstField, syntax);
    if (syntax.closer != 0 && last == syntax.closer && !fieldsFirst)
        return true;
    if (last == syntax.prefix[0])
        return false;
    const std::size_t reach = syntax.carryUnits - 1;
    for (std::size_t start = cut > reach ? cut - reach : 0; start + PrefixUnits <= cut; ++start) {
        if (PrefixAt(units, start, syntax))
            return false;
    }
    return true;
}

// Where the escapes stand, followed from units[0] as the decoder's scan
// would: the first one that may reach past `count` is where to cut.
std::size_t FollowEscapes(const char16_t* units, std::size_t count, const EscapeSyntax& syntax)
{
    std::size_t scan = 0;
    for (;;) {
        std::size_t start = scan;
        while (start + 1 < count && !PrefixAt(units, start, syntax))
            ++start;
        if (start + 1 >= count)  // no whole prefix; a first unit at the end may begin one
            return start < count && units[start] == syntax.prefix[0] ? start : count;
        if (start + syntax.carryUnits > count)
            return start;
        const char16_t* cursor = units + start + PrefixUnits;
        syntax.readField(cursor);
        scan = static_cast<std::size_t>(cursor - units);
    }
}

// The first unit in [from, to) that is 0, or `to`; four units at a time.
const char16_t* FindZero(const char16_t* from, const char16_t* to)
{
    const std::uint64_t ones = 0x0001000100010001u;
    const std::uint64_t highs = 0x8000800080008000u;
    for (; to - from >= 4; from += 4) {
        std::uint64_t word;
        std::memcpy(&word, from, sizeof word);
        if (((word - ones) & ~word & highs) != 0)
            break;
    }
    while (from < to && *from != 0)
        ++from;
    return from;
}

}  // namespace

std::size_t FindSafeCut(const char16_t* units, std::size_t count, DecodeMode mode)
{
    const EscapeSyntax* const syntax = FindEscapeSyntax(mode);
    if (syntax == nullptr)
        return count;
    const std::size_t lowest = count > CutWindow ? count - CutWindow : 1;
    for (std::size_t cut = count; cut >= lowest && cut > 0; --cut) {
        if (IsSafeCut(units, cut, *syntax))
            return cut;
    }
    return FollowEscapes(units, count, *syntax);
}

BlockStep Utf16EscapeDecoder::Decode(char16_t* units, std::size_t count, bool atEnd)
{
    const std::size_t cut = atEnd ? count : FindSafeCut(units, count, mode_);
    const char16_t kept = units[cut];
    units[cut] = 0;
    BlockStep step;
    step.consumed = cut;
    step.written = DecodeParts(units, cut);
    units[cut] = kept;
    decodedAny_ = decodedAny_ || step.written < cut;  // every replacement shortens the text
    return step;
}

// Decodes each NUL-separated part of units[0, count) (units[count] is 0)
// and closes them up, NULs kept; returns the length of the result.
std::size_t Utf16EscapeDecoder::DecodeParts(char16_t* units, std::size_t count) const
{
    std::size_t in = 0;
    std::size_t out = 0;
    for (;;) {
        const std::size_t partEnd = static_cast<std::size_t>(FindZero(units + in, units + count) - units);
        DecodeText(units + in, mode_, kernel_);
        const std::size_t decoded = static_cast<std::size_t>(FindZero(units + in, units + partEnd) - (units + in));
        if (out != in)
            std::memmove(units + out, units + in, decoded * sizeof(char16_t));
        out += decoded;
        if (partEnd == count)
            return out;
        units[out++] = 0;  // the NUL that ended the part
        in = partEnd + 1;
    }
}
