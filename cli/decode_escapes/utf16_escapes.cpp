#include "utf16_escapes.h"

#include "escape_decoder.h"

#include <cstring>

namespace {

const char16_t PrefixFirst[2] = {u'&', u'\\'};
const char16_t PrefixSecond[2] = {u'#', u'u'};

// Units from a prefix's first to the last that its field reader may look
// at: "&#", a field of 5 and the unit after it; "\u" and a field of 4.
const std::size_t EscapeSpan[2] = {8, 6};

// How far back from the end of a block a safe place is looked for, before
// the escapes are followed from the start of the block instead.
const std::size_t CutWindow = 64;

bool PrefixAt(const char16_t* units, std::size_t at, std::int32_t mode)
{
    return units[at] == PrefixFirst[mode] && units[at + 1] == PrefixSecond[mode];
}

// True when no escape can look at both units[cut - 1] and units[cut].
bool IsSafeCut(const char16_t* units, std::size_t cut, std::int32_t mode)
{
    const char16_t last = units[cut - 1];
    if (last == 0)
        return true;  // a reader stops at a NUL
    // A ";" that is not a field's first unit is the last unit of any escape
    // that looks at it.
    if (mode == DecodeModeCharRef && last == u';' && !(cut >= 3 && PrefixAt(units, cut - 3, mode)))
        return true;
    if (last == PrefixFirst[mode])
        return false;
    const std::size_t reach = EscapeSpan[mode] - 1;
    for (std::size_t start = cut > reach ? cut - reach : 0; start + 2 <= cut; ++start) {
        if (PrefixAt(units, start, mode))
            return false;
    }
    return true;
}

// Where the escapes stand, followed from units[0] as the decoder's scan
// would: the first one that may reach past `count` is where to cut.
std::size_t FollowEscapes(const char16_t* units, std::size_t count, std::int32_t mode)
{
    std::size_t scan = 0;
    for (;;) {
        std::size_t start = scan;
        while (start + 1 < count && !PrefixAt(units, start, mode))
            ++start;
        if (start + 1 >= count)  // no whole prefix; a first unit at the end may begin one
            return start < count && units[start] == PrefixFirst[mode] ? start : count;
        if (start + EscapeSpan[mode] > count)
            return start;
        const char16_t* cursor = units + start + 2;
        if (mode == DecodeModeCharRef)
            ReadCharRefField(cursor);
        else
            ReadUcnField(cursor);
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

std::size_t FindSafeCut(const char16_t* units, std::size_t count, std::int32_t mode)
{
    const std::size_t lowest = count > CutWindow ? count - CutWindow : 1;
    for (std::size_t cut = count; cut >= lowest && cut > 0; --cut) {
        if (IsSafeCut(units, cut, mode))
            return cut;
    }
    return FollowEscapes(units, count, mode);
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
